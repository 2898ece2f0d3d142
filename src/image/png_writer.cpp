#include "image/png_writer.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "image/picture.h"

#if KRELT_HAVE_PNG
#include <spng.h>
#endif

namespace krelt {

std::size_t PngBytesPerPixel(PngColour colour) {
  switch (colour) {
    case PngColour::kPalette: return 1;
    case PngColour::kRgb: return 3;
    case PngColour::kRgba: return 4;
  }
  return 0;
}

namespace {

Status CheckPicture(const PngPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.width > kMaxImageDimension || picture.height > kMaxImageDimension) {
    return Status::Error(ErrorKind::kUnsupported,
                         "can't write a PNG picture of " +
                             std::to_string(picture.width) + " x " +
                             std::to_string(picture.height) + " pixels");
  }
  const std::size_t expected = static_cast<std::size_t>(picture.width) *
                               static_cast<std::size_t>(picture.height) *
                               PngBytesPerPixel(picture.colour);
  if (picture.pixels.size() != expected) {
    return Status::Error(ErrorKind::kMismatch,
                         "the picture holds " + std::to_string(picture.pixels.size()) +
                             " pixel bytes where its sides need " +
                             std::to_string(expected));
  }
  return Status();
}

}  // namespace

#if KRELT_HAVE_PNG

namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
struct BufferDeleter {
  void operator()(void* buffer) const { std::free(buffer); }
};

Status EncodeFailure(int code) {
  return Status::Error(ErrorKind::kIo,
                       std::string("can't encode the PNG picture: ") + spng_strerror(code));
}

std::uint8_t ColourType(PngColour colour) {
  switch (colour) {
    case PngColour::kPalette: return SPNG_COLOR_TYPE_INDEXED;
    case PngColour::kRgb: return SPNG_COLOR_TYPE_TRUECOLOR;
    case PngColour::kRgba: return SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  }
  return SPNG_COLOR_TYPE_TRUECOLOR;
}

int SetPalette(spng_ctx* context, const PngPicture& picture) {
  spng_plte palette{};
  palette.n_entries = 256;
  for (std::size_t k = 0; k < 256; ++k) {
    palette.entries[k].red = picture.palette[3 * k];
    palette.entries[k].green = picture.palette[3 * k + 1];
    palette.entries[k].blue = picture.palette[3 * k + 2];
  }
  return spng_set_plte(context, &palette);
}

}  // namespace

bool CanWritePng() { return true; }

Status EncodePng(const PngPicture& picture, std::vector<std::uint8_t>& file) {
  file.clear();
  if (Status status = CheckPicture(picture); !status.ok()) return status;
  std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) return EncodeFailure(SPNG_EMEM);
  spng_ihdr header{};
  header.width = static_cast<std::uint32_t>(picture.width);
  header.height = static_cast<std::uint32_t>(picture.height);
  header.bit_depth = 8;
  header.color_type = ColourType(picture.colour);
  int code = spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  if (code == 0) code = spng_set_ihdr(context.get(), &header);
  if (code == 0 && picture.colour == PngColour::kPalette) {
    code = SetPalette(context.get(), picture);
  }
  if (code == 0) {
    code = spng_encode_image(context.get(), picture.pixels.data(),
                             picture.pixels.size(), SPNG_FMT_PNG,
                             SPNG_ENCODE_FINALIZE);
  }
  if (code != 0) return EncodeFailure(code);
  std::size_t length = 0;
  std::unique_ptr<void, BufferDeleter> buffer(
      spng_get_png_buffer(context.get(), &length, &code));
  if (!buffer || code != 0) return EncodeFailure(code);
  const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
  file.assign(bytes, bytes + length);
  return Status();
}

#else

bool CanWritePng() { return false; }

Status EncodePng(const PngPicture& picture, std::vector<std::uint8_t>& file) {
  file.clear();
  if (Status status = CheckPicture(picture); !status.ok()) return status;
  return Status::Error(ErrorKind::kUnsupported,
                       "this build of Krelt can't write PNG pictures (no libspng)");
}

#endif

}  // namespace krelt
