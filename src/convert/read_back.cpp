#include "convert/read_back.h"

#include <algorithm>
#include <span>
#include <vector>

namespace krelt {
namespace {

// "1 record", "4 records".
std::string CountOf(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// One verified record against the picture the conversion compresses.
Status CompareRecord(const GdRecord& record, std::span<const std::uint8_t> pixels,
                     const ConvertedPicture& picture,
                     const std::string& pictureName, bool namesFrame) {
  const std::string what =
      "record " + record.name + " and " + pictureName +
      (namesFrame ? " frame " + std::to_string(picture.frame) : std::string());
  if (record.width != picture.width || record.height != picture.height) {
    return Status::Error(ErrorKind::kMismatch, what + " differ in size: " +
                         SizeText(record.width, record.height) + " and " +
                         SizeText(picture.width, picture.height));
  }
  if (pixels.size() != picture.pixels.size()) {
    return Status::Error(ErrorKind::kMismatch, what + " differ in pixel format: " +
                         std::to_string(pixels.size()) + " and " +
                         std::to_string(picture.pixels.size()) + " bytes");
  }
  const auto difference =
      std::mismatch(pixels.begin(), pixels.end(), picture.pixels.begin());
  if (difference.first != pixels.end()) {
    return Status::Error(ErrorKind::kMismatch, what + " differ from pixel byte " +
                         std::to_string(difference.first - pixels.begin()) +
                         " on");
  }
  return Status();
}

}  // namespace

Status VerifyGdSourceAgainst(const GdSource& source, ConversionPictures& pictures,
                             const std::string& pictureName,
                             const VerifiedRecordVisitor& visit) {
  if (source.records.size() != pictures.count()) {
    return Status::Error(ErrorKind::kMismatch, "the file has " + CountOf(source.records.size(), "record") +
                         ", the conversion of " + pictureName + " gives " +
                         CountOf(pictures.count(), "picture"));
  }
  std::size_t index = 0;
  ConvertedPicture picture;
  return VerifyGdSource(
      source, [&](const VerifiedRecord& verified, std::span<const std::uint8_t> pixels) {
        if (Status status = pictures.Load(index++, picture); !status.ok()) {
          return status;  // names the picture file
        }
        if (Status status = CompareRecord(verified.record, pixels, picture, pictureName,
                                          pictures.count() > 1);
            !status.ok()) {
          return status;
        }
        return visit ? visit(verified, pixels) : Status();
      });
}

ExtractOptions ConversionExtractOptions(const ConversionResult& result) {
  ExtractOptions options;
  options.lowByteFirst = result.byteOrder == ByteOrder::kLowFirst;
  if (result.palette) options.palette = WidenedPalette(*result.palette);
  return options;
}

}  // namespace krelt
