#include "gd/gd_extract.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "image/colour_table.h"
#include "image/high_colour.h"
#include "image/picture_formats.h"
#include "image/xsp_sprite.h"

namespace krelt {
namespace {

constexpr std::uint16_t kOpaqueBit = 0x8000;

// A 6-bit palette component widened to 8 bits by repeating its top bits.
Palette8 GreyRamp() {
  Palette8 palette{};
  for (std::size_t index = 0; index < 256; ++index) {
    std::fill_n(palette.begin() + 3 * index, 3, static_cast<std::uint8_t>(index));
  }
  return palette;
}

void Expand1555(std::span<const std::uint8_t> pixels, bool lowFirst,
                std::vector<std::uint8_t>& rgba) {
  rgba.resize(pixels.size() * 2);
  for (std::size_t in = 0, out = 0; in + 1 < pixels.size(); in += 2, out += 4) {
    const unsigned first = pixels[in];
    const unsigned second = pixels[in + 1];
    const unsigned value = lowFirst ? (second << 8 | first) : (first << 8 | second);
    rgba[out] = Widen5To8(value >> 10 & 0x1F);
    rgba[out + 1] = Widen5To8(value >> 5 & 0x1F);
    rgba[out + 2] = Widen5To8(value & 0x1F);
    rgba[out + 3] = (value & kOpaqueBit) != 0 ? 255 : 0;
  }
}

// "walk" for _walkGds; the record names of its frames are _walk<N>Gd.
std::string_view FramePrefix(const GdSource& source) {
  if (source.pointerTables.empty()) return {};
  return IdentifierOfPointerTable(source.pointerTables.front().name);
}

// "walk_3" for _walk3Gd under the prefix "walk"; "logo" for _logoGd.
std::string PngBaseName(const std::string& record, std::string_view prefix) {
  const std::string_view base = PictureNameOfRecord(record);
  if (prefix.empty() || !base.starts_with(prefix) || base.size() == prefix.size()) {
    return std::string(base);
  }
  const std::string_view frame = base.substr(prefix.size());
  const bool digits = std::all_of(frame.begin(), frame.end(), [](unsigned char c) {
    return std::isdigit(c) != 0;
  });
  return digits ? std::string(prefix) + "_" + std::string(frame) : std::string(base);
}

}  // namespace

Palette8 WidenedPalette(const std::array<std::uint8_t, 768>& palette) {
  Palette8 widened{};
  std::transform(palette.begin(), palette.end(), widened.begin(), Widen6To8);
  return widened;
}

Status RecordPicture(const VerifiedRecord& verified,
                     std::span<const std::uint8_t> pixels,
                     const ExtractOptions& options, PngPicture& picture) {
  const GdRecord& record = verified.record;
  picture.width = record.width;
  picture.height = record.height;
  switch (record.dataFormat) {
    case DataFormat::kOsd256:
      picture.colour = PngColour::kPalette;
      picture.palette = options.palette.value_or(GreyRamp());
      picture.pixels.assign(pixels.begin(), pixels.end());
      break;
    case DataFormat::kOsd1555:
      picture.colour = PngColour::kRgba;
      Expand1555(pixels, options.lowByteFirst, picture.pixels);
      break;
    case DataFormat::kNone:
      picture.colour = PngColour::kRgb;
      picture.pixels.assign(pixels.begin(), pixels.end());
      break;
  }
  const std::size_t expected = static_cast<std::size_t>(record.width) *
                               static_cast<std::size_t>(record.height) *
                               PngBytesPerPixel(picture.colour);
  if (picture.pixels.size() != expected) {
    return Status::Error(ErrorKind::kDamaged,
                         std::to_string(pixels.size()) +
                             " pixel bytes do not fill " +
                             std::to_string(record.width) + " x " +
                             std::to_string(record.height));
  }
  return Status();
}

PngPicture ShownPicture(const Picture& picture) {
  PngPicture shown;
  shown.width = picture.width;
  shown.height = picture.height;
  const std::size_t count = static_cast<std::size_t>(picture.width) *
                            static_cast<std::size_t>(picture.height);
  switch (picture.pixelFormat) {
    case kPixelFormat16Bit: {
      shown.colour = PngColour::kRgba;
      std::vector<std::uint8_t> opaque(picture.pixels.begin(),
                                       picture.pixels.begin() +
                                           std::min(2 * count, picture.pixels.size()));
      for (std::size_t i = 1; i < opaque.size(); i += 2) opaque[i] |= 0x80;
      Expand1555(opaque, true, shown.pixels);
      break;
    }
    case kPixelFormatRgb:
      shown.colour = PngColour::kRgb;
      shown.pixels.assign(picture.pixels.begin(),
                          picture.pixels.begin() +
                              std::min(3 * count, picture.pixels.size()));
      break;
    default:
      shown.colour = PngColour::kPalette;
      shown.palette = WidenedPalette(picture.palette);
      shown.pixels.assign(picture.pixels.begin(),
                          picture.pixels.begin() + std::min(count, picture.pixels.size()));
  }
  return shown;
}

Status ReadPicturePalette(const std::filesystem::path& path, Palette8& palette) {
  std::vector<std::uint8_t> file;
  if (Status status = ReadFileBytes(path, file); !status.ok()) return status;
  const std::string name = PathToUtf8(path.filename());
  if (DetectPictureFormat(file) == nullptr) {
    ColourTable table;
    if (Status status = ParseColourTable(file, table); !status.ok()) {
      return status.WithMessage(name + ": " + status.message());
    }
    palette = Palette8{};
    for (std::size_t k = 0; k < table.entries.size(); ++k) {
      palette[3 * k] = table.entries[k].red;
      palette[3 * k + 1] = table.entries[k].green;
      palette[3 * k + 2] = table.entries[k].blue;
    }
    return Status();
  }
  Picture picture;
  if (Status status = ReadFirstPicture(file, ReadOptions{}, picture); !status.ok()) {
    return status.WithMessage(name + ": " + status.message());
  }
  if (picture.pixelFormat != kPixelFormatIndexed &&
      picture.pixelFormat != kPixelFormat16Colour) {
    return Status::Error(ErrorKind::kUnsupported, name + ": the picture has no palette");
  }
  palette = WidenedPalette(picture.palette);
  return Status();
}

Status PngFileNames(const GdSource& source, std::vector<std::string>& names) {
  names.clear();
  const std::string_view prefix = FramePrefix(source);
  std::set<std::string> seen;
  for (const GdRecord& record : source.records) {
    std::string name = PngBaseName(record.name, prefix) + ".png";
    if (!seen.insert(name).second) {
      names.clear();
      return Status::Error(ErrorKind::kDamaged, "record " + record.name +
                                                     ": a second picture named " + name);
    }
    names.push_back(std::move(name));
  }
  return Status();
}

Status ExtractPngFiles(const GdSource& source, const ExtractOptions& options,
                       std::vector<NamedFile>& files) {
  files.clear();
  std::vector<std::string> names;
  if (Status status = PngFileNames(source, names); !status.ok()) return status;
  std::size_t index = 0;
  PngPicture picture;
  Status status = VerifyGdSource(
      source, [&](const VerifiedRecord& record, std::span<const std::uint8_t> pixels) {
        NamedFile file{names[index++], {}};
        Status encoded = RecordPicture(record, pixels, options, picture);
        if (encoded.ok()) encoded = EncodePng(picture, file.bytes);
        if (!encoded.ok()) {
          return encoded.WithMessage("record " + record.record.name + ": " + encoded.message());
        }
        files.push_back(std::move(file));
        return Status();
      });
  if (!status.ok()) files.clear();
  return status;
}

Status WriteFilesTogether(const std::filesystem::path& folder,
                          const std::vector<NamedFile>& files,
                          std::vector<std::filesystem::path>& written) {
  written.clear();
  std::vector<FileToWrite> group;
  for (const NamedFile& file : files) {
    group.push_back({folder / PathFromUtf8(file.name), file.bytes});
  }
  if (Status status = WriteFilesAtomically(group); !status.ok()) return status;
  for (const FileToWrite& file : group) written.push_back(file.target);
  return Status();
}

Status ExtractGdFile(const std::filesystem::path& gdFile,
                     const std::filesystem::path& folder,
                     const ExtractOptions& options,
                     std::vector<std::filesystem::path>& written) {
  written.clear();
  GdSource source;
  if (Status status = ReadGdSource(gdFile, source); !status.ok()) return status;
  std::vector<NamedFile> files;
  if (Status status = ExtractPngFiles(source, options, files); !status.ok()) {
    return status;
  }
  return WriteFilesTogether(folder, files, written);
}

}  // namespace krelt
