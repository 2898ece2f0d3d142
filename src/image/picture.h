#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace krelt {

// Layout of a picture's pixel bytes; for 1 to 3 also the bytes per pixel.
// Pixel buffers are row-major, top row first, without row padding.
using PixelFormat = std::int32_t;
inline constexpr PixelFormat kPixelFormat16Colour = 0;  // one index 0..15 per byte
inline constexpr PixelFormat kPixelFormatIndexed = 1;   // one palette index per byte
inline constexpr PixelFormat kPixelFormat16Bit = 2;     // 16-bit little-endian values
inline constexpr PixelFormat kPixelFormatRgb = 3;       // red, green, blue bytes

// Limits every reader enforces before it allocates anything.
inline constexpr std::int32_t kMaxImageDimension = 32768;
inline constexpr std::size_t kMaxPixelBytes = std::size_t{256} << 20;

// What a reader is asked for.
struct ReadOptions {
  // 16-bit pixels wanted. Readers turn palette pictures (and pictures whose
  // stored fields are already five bits wide, or that carry alpha) into
  // 16-bit values themselves, as only they know the palette or the fields;
  // RGB pictures stay RGB for the conversion to finish.
  bool flag1555 = false;
  // Largest pixel buffer the reader may produce.
  std::size_t maxPixelBytes = kMaxPixelBytes;
};

// A decoded picture as one reader function delivers it.
struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat pixelFormat = kPixelFormatIndexed;
  std::vector<std::uint8_t> pixels;
  // Indexed pictures: 256 entries of red, green, blue as 6-bit values.
  std::array<std::uint8_t, 768> palette{};
  // One alpha value a pixel when the file carries transparency (PNG alpha
  // or tRNS) and the pixels are not 16-bit; empty otherwise. Only mapping
  // onto a colour table reads it.
  std::vector<std::uint8_t> alpha;
  // Things the reader accepted but the user should be told about.
  std::vector<std::string> notices;
};

}  // namespace krelt
