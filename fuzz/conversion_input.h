#pragma once

// Layout of a conversion fuzz input: one byte of settings, then the picture
// file. Shared by the fuzz target and the corpus generator.

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/utf8_path.h"
#include "convert/conversion.h"

namespace krelt::fuzz {

struct ConversionOptions {
  static constexpr std::uint8_t kFlag1555 = 0x01;
  static constexpr std::uint8_t kBmpRoad = 0x02;  // named .bmp; the content decides
  // Bits 2-3: the start frame field: empty, "0", "1" or "-1".
  static constexpr int kStartShift = 2;
  // Bits 4-6: the end frame field: empty, or the value minus 1 ("0".."5").
  static constexpr int kEndShift = 4;
  static constexpr std::uint8_t kLfLineEnding = 0x80;

  // The settings byte for frame fields start (0 or 1) and end (0..5).
  static constexpr std::uint8_t Range(int start, int end) {
    return static_cast<std::uint8_t>((start + 1) << kStartShift |
                                     (end + 1) << kEndShift);
  }

  // The request converting `folder`/picture.bmp (or .pcx) into `folder`.
  static ConversionRequest Request(std::uint8_t options,
                                   const std::filesystem::path& folder) {
    static const char* const kStartTexts[] = {"", "0", "1", "-1"};
    ConversionRequest request;
    const char* extension = (options & kBmpRoad) ? ".bmp" : ".pcx";
    request.sourcePath = PathToUtf8(folder / ("picture" + std::string(extension)));
    request.flag1555 = (options & kFlag1555) != 0;
    request.startFrameText = kStartTexts[(options >> kStartShift) & 3];
    const int end = (options >> kEndShift) & 7;
    request.endFrameText = end == 0 ? "" : std::to_string(end - 1);
    request.lineEnding = (options & kLfLineEnding) ? LineEnding::kLf : LineEnding::kCrlf;
    request.outputDirectory = folder;
    request.outputBaseName = "picture";
    // Small inputs stay small: run-length coded BMP and PNG pictures could
    // otherwise describe pictures of up to 256 MiB.
    request.maxPixelBytes = std::size_t{4} << 20;
    return request;
  }
};

}  // namespace krelt::fuzz
