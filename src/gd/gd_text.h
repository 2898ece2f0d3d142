#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "gd/gd_record.h"

namespace krelt {

enum class LineEnding { kCrlf, kLf };

// One compressed picture or frame of a GD source file: its record and the
// stream of the array the record names.
struct GdPicture {
  GdRecord record;
  std::vector<std::uint8_t> stream;  // the COMPRESS_Tfp bytes
  // The index of an earlier picture of the document whose stream this one
  // has (identical pixel bytes), -1 when `stream` is its own.
  std::int32_t sameStreamAs = -1;
};

// Everything a GD source file declares.
struct GdDocument {
  std::string identifierName;
  // Frames of a sprite file of several frames: a pointer table named after
  // the identifier follows the records.
  bool perFrameRecords = false;
  std::vector<GdPicture> pictures;
};

// Told how far the items of one stream are formatted: (0, length) first,
// then in steps of about a hundredth, ending with (length, length).
using StreamProgress =
    std::function<void(std::size_t formatted, std::size_t length)>;

// The stream a picture's array holds: its own or the one it shares.
const std::vector<std::uint8_t>& StreamOf(const GdDocument& document,
                                          const GdPicture& picture);

// Receives the GD text piece by piece, in order; an error stops the text.
using TextSink = std::function<Status(std::string_view piece)>;

// The GD source text: the include line, one byte array per picture, one
// record per picture and, with per-frame records, the pointer table; the
// arrays and records take the names the records give. Every line ends
// with lineEnding. The text goes to sink in pieces of up to about 64 KiB
// as it is formatted; the first error the sink returns is returned.
Status WriteGdText(const GdDocument& document, LineEnding lineEnding,
                   const TextSink& sink, const StreamProgress& progress = nullptr);

// The same text as one string.
std::string FormatGdText(const GdDocument& document, LineEnding lineEnding,
                         const StreamProgress& progress = nullptr);

// The length FormatGdText's text has, counted without building it.
std::size_t GdTextLength(const GdDocument& document, LineEnding lineEnding);

}  // namespace krelt
