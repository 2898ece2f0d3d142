#include "image/png_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "image/high_colour.h"
#include "image/reader_support.h"

#if KRELT_HAVE_PNG
#include <spng.h>
#include <zlib.h>

#include <memory>
#endif

namespace krelt {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G',
                                                     '\r', '\n', 0x1A, '\n'};

#if KRELT_HAVE_PNG

constexpr std::size_t kMaxChunkBytes = std::size_t{64} << 20;

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

Status Damaged(int code) {
  return Status::Error(ErrorKind::kDamaged,
                       std::string("the PNG data are damaged: ") + spng_strerror(code));
}

std::uint8_t Round16To8(std::uint16_t value) {
  return static_cast<std::uint8_t>((std::uint32_t{value} * 255 + 32767) / 65535);
}

// Sample `channel` of a pixel of RGBA of 8 or 16 bits a sample, as 8 bits.
std::uint8_t RgbaSample(const std::vector<std::uint8_t>& rgba, bool wide, std::size_t pixel,
                        std::size_t channel) {
  const std::size_t at = (4 * pixel + channel) * (wide ? 2 : 1);
  if (!wide) return rgba[at];
  std::uint16_t value = 0;
  std::memcpy(&value, &rgba[at], sizeof value);  // libspng gives host order
  return Round16To8(value);
}

std::vector<std::uint8_t> AlphaOfRgba(const std::vector<std::uint8_t>& rgba, bool wide) {
  std::vector<std::uint8_t> alpha(rgba.size() / (wide ? 8 : 4));
  for (std::size_t i = 0; i < alpha.size(); ++i) alpha[i] = RgbaSample(rgba, wide, i, 3);
  return alpha;
}

// RGBA of 8 or 16 bits a sample to red, green, blue or 1-5-5-5 values.
std::vector<std::uint8_t> FromRgba(const std::vector<std::uint8_t>& rgba, bool wide,
                                   bool flag1555) {
  const std::size_t count = rgba.size() / (wide ? 8 : 4);
  std::vector<std::uint8_t> out(count * (flag1555 ? 2 : 3));
  const auto sample = [&](std::size_t pixel, std::size_t channel) {
    return RgbaSample(rgba, wide, pixel, channel);
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t red = sample(i, 0), green = sample(i, 1), blue = sample(i, 2);
    if (flag1555) {
      image_detail::StoreLe16(&out[2 * i], RgbaTo1555(red, green, blue, sample(i, 3)));
    } else {
      out[3 * i] = red;
      out[3 * i + 1] = green;
      out[3 * i + 2] = blue;
    }
  }
  return out;
}

// Packed palette indices of `depth` bits to one index per byte.
std::vector<std::uint8_t> UnpackIndices(const std::vector<std::uint8_t>& packed,
                                        std::size_t width, std::size_t height,
                                        unsigned depth) {
  const std::size_t rowBytes = (width * depth + 7) / 8;
  std::vector<std::uint8_t> out(width * height);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* row = &packed[y * rowBytes];
    for (std::size_t x = 0; x < width; ++x) {
      out[y * width + x] = static_cast<std::uint8_t>(image_detail::PackedValue(row, x, depth));
    }
  }
  return out;
}

Status Decode(spng_ctx* context, int format, int flags, std::vector<std::uint8_t>& out) {
  std::size_t length = 0;
  if (int code = spng_decoded_image_size(context, format, &length); code != 0) {
    return Damaged(code);
  }
  out.resize(length);
  if (int code = spng_decode_image(context, out.data(), out.size(), format, flags);
      code != 0) {
    return Damaged(code);
  }
  return Status();
}

// The CRCs of chunks and the check value of the image data are left
// unchecked in fuzzing builds, so that fuzzers reach the decoder behind them.
#ifdef KRELT_FUZZ_SKIP_CRC
constexpr bool kCheckCrcs = false;
#else
constexpr bool kCheckCrcs = true;
#endif

constexpr std::size_t kChunkFrame = 12;  // length, type and CRC

std::string PngDamaged(const std::string& what) {
  return "the PNG data are damaged: " + what;
}

// "chunk IDAT at byte 57", with anything but letters in the type shown as '?'.
std::string ChunkName(std::span<const std::uint8_t> file, std::size_t offset) {
  std::string type;
  for (std::size_t k = 4; k < 8; ++k) {
    const char c = static_cast<char>(file[offset + k]);
    type += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? c : '?';
  }
  return "chunk " + type + " at byte " + std::to_string(offset);
}

// Walks every chunk from the signature to IEND, checking each CRC, and
// gathers the image data. A file must end with its IEND chunk.
Status ReadChunks(std::span<const std::uint8_t> file,
                  std::vector<std::span<const std::uint8_t>>& imageData) {
  constexpr std::string_view kIdat = "IDAT";
  constexpr std::string_view kIend = "IEND";
  std::size_t offset = kSignature.size();
  while (true) {
    if (file.size() - offset < kChunkFrame) {
      return Status::Error(ErrorKind::kDamaged,
                           PngDamaged("the file ends before its IEND chunk"));
    }
    const std::uint32_t length = image_detail::LoadBe32(&file[offset]);
    if (length > file.size() - offset - kChunkFrame) {
      return Status::Error(ErrorKind::kDamaged, PngDamaged(ChunkName(file, offset) +
                                                           " runs past the end of the file"));
    }
    const std::span<const std::uint8_t> typeAndData = file.subspan(offset + 4, 4 + length);
    const std::uint32_t stored = image_detail::LoadBe32(&file[offset + 8 + length]);
    const auto computed = static_cast<std::uint32_t>(
        crc32(0, typeAndData.data(), static_cast<uInt>(typeAndData.size())));
    if (kCheckCrcs && stored != computed) {
      return Status::Error(ErrorKind::kDamaged,
                           PngDamaged(ChunkName(file, offset) + " has a wrong CRC"));
    }
    const std::string_view type(reinterpret_cast<const char*>(typeAndData.data()), 4);
    if (type == kIdat) imageData.push_back(typeAndData.subspan(4));
    const std::size_t next = offset + kChunkFrame + length;
    if (type == kIend) {
      if (next == file.size()) return Status();
      const std::size_t extra = file.size() - next;
      return Status::Error(ErrorKind::kDamaged,
                           PngDamaged(extra == 1 ? "1 byte follows the IEND chunk"
                                                 : std::to_string(extra) +
                                                       " bytes follow the IEND chunk"));
    }
    offset = next;
  }
}

// The bytes of filtered rows the image data inflate to: every row, or for
// interlaced pictures the rows of the seven passes, with a filter byte each.
std::uint64_t FilteredBytes(const spng_ihdr& header) {
  std::uint64_t channels = 1;
  if (header.color_type == SPNG_COLOR_TYPE_TRUECOLOR) channels = 3;
  if (header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA) channels = 2;
  if (header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA) channels = 4;
  const std::uint64_t bits = channels * header.bit_depth;
  const auto bytes = [bits](std::uint64_t width, std::uint64_t height) {
    return width == 0 ? 0 : height * (1 + (width * bits + 7) / 8);
  };
  if (header.interlace_method == SPNG_INTERLACE_NONE) return bytes(header.width, header.height);
  struct Pass { std::uint64_t x, y, dx, dy; };
  constexpr Pass kPasses[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  std::uint64_t total = 0;
  for (const Pass& pass : kPasses) {
    const auto count = [](std::uint64_t size, std::uint64_t start, std::uint64_t step) {
      return size > start ? (size - start + step - 1) / step : 0;
    };
    total += bytes(count(header.width, pass.x, pass.dx), count(header.height, pass.y, pass.dy));
  }
  return total;
}

struct InflateEnd {
  void operator()(z_stream* stream) const { inflateEnd(stream); }
};

// Inflates the image data again, counting, to find data past the last row:
// more filtered bytes than the picture holds, or bytes after the end of
// the compressed stream. The decoder stops reading at the last row.
Status CheckImageDataEnd(const std::vector<std::span<const std::uint8_t>>& imageData,
                         std::uint64_t expected) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) {
    return Status::Error(ErrorKind::kOutOfMemory, "out of memory for the PNG decoder");
  }
  const std::unique_ptr<z_stream, InflateEnd> owner(&stream);
  if (!kCheckCrcs) inflateValidate(&stream, 0);
  const Status pastTheEnd = Status::Error(
      ErrorKind::kDamaged, PngDamaged("the image data go on past the last row"));
  std::vector<std::uint8_t> sink(std::size_t{64} << 10);
  bool ended = false;
  for (const std::span<const std::uint8_t> piece : imageData) {
    if (ended && !piece.empty()) return pastTheEnd;
    stream.next_in = const_cast<Bytef*>(piece.data());
    stream.avail_in = static_cast<uInt>(piece.size());
    while (stream.avail_in > 0 && !ended) {
      stream.next_out = sink.data();
      stream.avail_out = static_cast<uInt>(sink.size());
      const int code = inflate(&stream, Z_NO_FLUSH);
      if (stream.total_out > expected) return pastTheEnd;
      if (code == Z_STREAM_END) {
        ended = true;
      } else if (code == Z_BUF_ERROR) {
        break;
      } else if (code != Z_OK) {
        return Status::Error(ErrorKind::kDamaged,
                             PngDamaged(std::string("the image data: ") +
                                        (stream.msg != nullptr ? stream.msg : zError(code))));
      }
    }
    if (ended && stream.avail_in > 0) return pastTheEnd;
  }
  return Status();
}

// What the decoder leaves unread once it has the last row: the chunks up
// to IEND and the end of the compressed image data.
Status CheckRestOfFile(std::span<const std::uint8_t> file, const spng_ihdr& header) {
  std::vector<std::span<const std::uint8_t>> imageData;
  if (Status status = ReadChunks(file, imageData); !status.ok()) return status;
  return CheckImageDataEnd(imageData, FilteredBytes(header));
}

Status ReadPalettePicture(spng_ctx* context, const spng_ihdr& header,
                          const ReadOptions& options, Picture& picture) {
  spng_plte palette{};
  if (int code = spng_get_plte(context, &palette); code != 0) return Damaged(code);
  spng_trns transparency{};
  const bool hasAlpha = spng_get_trns(context, &transparency) == 0;
  std::vector<std::uint8_t> packed;
  if (Status status = Decode(context, SPNG_FMT_PNG, 0, packed); !status.ok()) return status;
  std::vector<std::uint8_t> indices =
      UnpackIndices(packed, header.width, header.height, header.bit_depth);
  for (std::uint32_t k = 0; k < palette.n_entries; ++k) {
    const spng_plte_entry& entry = palette.entries[k];
    picture.palette[3 * k] = static_cast<std::uint8_t>(entry.red >> 2);
    picture.palette[3 * k + 1] = static_cast<std::uint8_t>(entry.green >> 2);
    picture.palette[3 * k + 2] = static_cast<std::uint8_t>(entry.blue >> 2);
  }
  if (!options.flag1555) {
    if (hasAlpha) {
      picture.alpha.resize(indices.size(), 255);
      for (std::size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] < transparency.n_type3_entries) {
          picture.alpha[i] = transparency.type3_alpha[indices[i]];
        }
      }
    }
    picture.pixels = std::move(indices);
    picture.pixelFormat = kPixelFormatIndexed;
    return Status();
  }
  std::array<std::uint16_t, 256> table{};
  for (std::uint32_t k = 0; k < palette.n_entries; ++k) {
    const spng_plte_entry& entry = palette.entries[k];
    const std::uint8_t alpha =
        hasAlpha && k < transparency.n_type3_entries ? transparency.type3_alpha[k] : 255;
    table[k] = RgbaTo1555(entry.red, entry.green, entry.blue, alpha);
  }
  picture.pixels.resize(indices.size() * 2);
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (indices[i] >= palette.n_entries) {
      return Status::Error(ErrorKind::kDamaged,
                           "pixel index " + std::to_string(indices[i]) +
                               " beyond the palette of " +
                               std::to_string(palette.n_entries) + " entries");
    }
    image_detail::StoreLe16(&picture.pixels[2 * i], table[indices[i]]);
  }
  picture.pixelFormat = kPixelFormat16Bit;
  return Status();
}

Status ReadColourPicture(spng_ctx* context, const spng_ihdr& header,
                         const ReadOptions& options, Picture& picture) {
  const bool wide = header.bit_depth == 16;
  std::vector<std::uint8_t> rgba;
  if (Status status = Decode(context, wide ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8,
                             SPNG_DECODE_TRNS, rgba);
      !status.ok()) {
    return status;
  }
  picture.pixels = FromRgba(rgba, wide, options.flag1555);
  spng_trns transparency{};
  const bool hasAlpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                        header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                        spng_get_trns(context, &transparency) == 0;
  if (hasAlpha && !options.flag1555) {
    picture.alpha = AlphaOfRgba(rgba, wide);
  }
  picture.pixelFormat = options.flag1555 ? kPixelFormat16Bit : kPixelFormatRgb;
  return Status();
}

#endif  // KRELT_HAVE_PNG

}  // namespace

bool HasPngSignature(std::span<const std::uint8_t> file) {
  return file.size() >= kSignature.size() &&
         std::equal(kSignature.begin(), kSignature.end(), file.begin());
}

#if KRELT_HAVE_PNG

namespace {

// A decoder over the file's bytes that checks every CRC.
Status OpenDecoder(std::span<const std::uint8_t> file, Context& context) {
  if (!HasPngSignature(file)) {
    return Status::Error(ErrorKind::kUnsupported, "not a PNG picture");
  }
  context.reset(spng_ctx_new(kCheckCrcs ? 0 : SPNG_CTX_IGNORE_ADLER32));
  if (!context) return Status::Error(ErrorKind::kIo, "out of memory for the PNG decoder");
  const int crcAction = kCheckCrcs ? SPNG_CRC_ERROR : SPNG_CRC_USE;
  spng_set_crc_action(context.get(), crcAction, crcAction);
  spng_set_chunk_limits(context.get(), kMaxChunkBytes, kMaxChunkBytes);
  spng_set_png_buffer(context.get(), file.data(), file.size());
  return Status();
}

}  // namespace

Status ReadPng(std::span<const std::uint8_t> file, const ReadOptions& options,
               Picture& picture) {
  Context context;
  if (Status status = OpenDecoder(file, context); !status.ok()) return status;
  spng_ihdr header{};
  if (int code = spng_get_ihdr(context.get(), &header); code != 0) return Damaged(code);
  const bool indexed = header.color_type == SPNG_COLOR_TYPE_INDEXED;
  // The decoder's buffer: packed indices, or RGBA of 8 or 16 bits a sample.
  const std::int64_t decodedBytes = indexed ? 1 : header.bit_depth == 16 ? 8 : 4;
  if (Status status = image_detail::CheckPictureSize(header.width, header.height,
                                                     decodedBytes, options.maxPixelBytes);
      !status.ok()) {
    return status;
  }
  Picture decoded;
  decoded.width = static_cast<std::int32_t>(header.width);
  decoded.height = static_cast<std::int32_t>(header.height);
  const Status status = indexed
                            ? ReadPalettePicture(context.get(), header, options, decoded)
                            : ReadColourPicture(context.get(), header, options, decoded);
  if (!status.ok()) return status;
  if (Status rest = CheckRestOfFile(file, header); !rest.ok()) return rest;
  picture = std::move(decoded);
  return Status();
}

Status ReadPngPalette(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& rgb) {
  Context context;
  if (Status status = OpenDecoder(file, context); !status.ok()) return status;
  spng_plte palette{};
  if (int code = spng_get_plte(context.get(), &palette); code != 0) {
    return code == SPNG_ECHUNKAVAIL
               ? Status::Error(ErrorKind::kUnsupported, "the PNG picture has no palette")
               : Damaged(code);
  }
  rgb.clear();
  for (std::uint32_t k = 0; k < palette.n_entries; ++k) {
    const spng_plte_entry& entry = palette.entries[k];
    rgb.insert(rgb.end(), {entry.red, entry.green, entry.blue});
  }
  return Status();
}

#else

Status ReadPngPalette(std::span<const std::uint8_t>, std::vector<std::uint8_t>&) {
  return Status::Error(ErrorKind::kUnsupported,
                       "PNG pictures are not supported in this build");
}

Status ReadPng(std::span<const std::uint8_t>, const ReadOptions&, Picture&) {
  return Status::Error(ErrorKind::kUnsupported,
                       "PNG pictures are not supported in this build");
}

#endif  // KRELT_HAVE_PNG

}  // namespace krelt
