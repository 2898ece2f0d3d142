#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "gd/gd_record.h"

namespace krelt {

// `byte _NAMECpm[] = { 0x.., ... };`
struct GdArray {
  std::string name;  // as declared, with its leading underscore
  std::vector<std::uint8_t> bytes;
  std::size_t line = 0;
};

// `TYPE_GrData *_NAMEGds[] = { &_NAME0Gd, ... };`
struct GdPointerTable {
  std::string name;
  std::vector<std::string> entries;  // record names, without the '&'
  std::size_t line = 0;
};

// What a GD source file declares, in file order per kind.
struct GdSource {
  std::vector<std::string> includes;
  std::vector<GdArray> arrays;
  std::vector<GdRecord> records;
  std::vector<GdPointerTable> pointerTables;

  const GdArray* FindArray(std::string_view name) const;
  const GdRecord* FindRecord(std::string_view name) const;
};

// Parses GD source text as Krelt writes it (CRLF or LF line ends; comments
// and white space are free). Malformed text gives an error naming the line.
Status ParseGdSource(std::string_view text, GdSource& source);

// Reads and parses a GD source file.
Status ReadGdSource(const std::filesystem::path& path, GdSource& source);

}  // namespace krelt
