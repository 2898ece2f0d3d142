#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion.h"

namespace krelt {

// One compressed picture or frame of a GD source file.
struct GdPicture {
  std::int32_t frame = 0;            // part of its names with per-frame records
  std::vector<std::uint8_t> stream;  // the COMPRESS_Tfp bytes
  std::int32_t size = 0;             // uncompressed byte count
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Everything a GD source file declares.
struct GdDocument {
  std::string identifierName;
  // Frames of a sprite file of several frames: names carry frame numbers
  // and a pointer table follows the records.
  bool perFrameRecords = false;
  int dataFormatCode = 0;  // for every record; see DataFormatName
  std::vector<GdPicture> pictures;
};

// Told how far the items of one stream are formatted: (0, length) first,
// then in steps of about a hundredth, ending with (length, length).
using StreamProgress =
    std::function<void(std::size_t formatted, std::size_t length)>;

// The GD source text: the include line, one byte array per picture, one
// record per picture and, with per-frame records, the pointer table. Every
// line ends with lineEnding.
std::string FormatGdText(const GdDocument& document, LineEnding lineEnding,
                         const StreamProgress& progress = nullptr);

// The length FormatGdText's text has, counted without building it.
std::size_t GdTextLength(const GdDocument& document, LineEnding lineEnding);

}  // namespace krelt
