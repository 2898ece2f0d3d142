#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "image/colour_table.h"
#include "image/picture.h"
#include "image/picture_formats.h"
#include "image/xsp_sprite.h"
#include "palette/colour_mapping.h"

namespace krelt {

struct ConversionRequest;

// How 16-bit pixels are stored: as each road stores them (BMP pictures low
// byte first, the others high byte first), or one order for every input.
enum class ByteOrder { kAsRoad, kHighFirst, kLowFirst };

// One picture or frame exactly as a conversion hands it to the encoder.
struct ConvertedPicture {
  std::int32_t frame = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat format = kPixelFormatIndexed;
  std::vector<std::uint8_t> pixels;
};

// The pictures a conversion with a request's settings compresses (road,
// "1555" flag, frame fields), loaded one at a time. The conversion driver
// and the check of a GD file against its picture both read them here.
class ConversionPictures {
 public:
  // Reads and checks request.sourcePath, whose format is found by its
  // content. Errors name the file, except those of reading it (they quote
  // the path).
  Status Open(const ConversionRequest& request);

  // BMP pictures take the BMP road: bit 15 on every 16-bit pixel, stored
  // low byte first, and the frame fields unused. Every
  // other picture takes the PCX and sprite road.
  bool bmpRoad() const { return kind_ == PictureKind::kBmp; }
  // How 16-bit pixels are stored: the request's byte order, or the road's.
  ByteOrder storedByteOrder() const;
  // What the reader accepted but the user should be told, each prefixed
  // with the file name.
  const std::vector<std::string>& notices() const { return notices_; }
  // The 6-bit palette of the picture (frame 0 of a sprite file) when its
  // pixels are written as palette indices.
  const std::optional<std::array<std::uint8_t, 768>>& palette() const { return palette_; }

  // The picture file's name, as errors give it.
  const std::string& fileName() const { return fileName_; }
  // How many pictures the conversion writes.
  std::size_t count() const { return count_; }
  // Frames in the file: 1 for a BMP or PCX picture.
  std::int32_t frameCount() const { return frameCount_; }
  // The frame range converted. A BMP picture keeps the default end frame,
  // a PCX picture or a sprite file of one frame the range 0 to 0.
  std::int32_t startFrame() const { return startFrame_; }
  std::int32_t endFrame() const { return endFrame_; }
  // A file of several frames gets one array and record per frame, with the
  // frame number in their names, and a pointer table.
  bool perFrameRecords() const { return frameCount_ > 1; }
  // The pixel format every record declares (16-colour as indexed).
  PixelFormat declaredFormat() const { return declaredFormat_; }

  // Picture `index` (0 .. count() - 1, in file order) as the conversion
  // compresses it: 16-colour indices as 8-bit indices, 16-bit pixels of
  // the PCX and sprite road with bit 15 on non-zero pixels, high byte first
  // (or in the request's byte order). The pixels of a single picture are
  // handed over, so that picture loads once; sprite frames load as often as
  // asked.
  Status Load(std::size_t index, ConvertedPicture& picture);

  // Picture `index` as read, before Load finishes it: with its palette and
  // alpha, mapped onto the request's colour table when it has one.
  Status Read(std::size_t index, Picture& picture);

  // `message` about `picture` as the conversion reports it: with the file
  // name and, for a sprite frame, the frame number.
  Status PictureFault(const ConvertedPicture& picture,
                      const std::string& message) const;

 private:
  Status OpenSingle(const PictureFormat& format, std::span<const std::uint8_t> file,
                    const ReadOptions& options);
  Status OpenSprite(std::vector<std::uint8_t> file,
                    const ConversionRequest& request);
  void SetSinglePicture(PixelFormat format, std::int32_t endFrame);
  Status ReadSpriteFrame(std::int32_t frame);
  Status MapOntoTable(std::string_view where);
  Status Finish(ConvertedPicture& picture) const;
  ByteOrder RoadByteOrder() const;
  Status InFile(Status status) const;

  PictureKind kind_ = PictureKind::kPcx;
  ByteOrder byteOrder_ = ByteOrder::kAsRoad;
  std::string fileName_;
  std::vector<std::string> notices_;
  std::optional<std::array<std::uint8_t, 768>> palette_;
  std::size_t count_ = 0;
  std::int32_t frameCount_ = 0;
  std::int32_t startFrame_ = 0;
  std::int32_t endFrame_ = 0;
  PixelFormat declaredFormat_ = kPixelFormatIndexed;
  // The frame (0 for a single picture) whose pixels are held, or -1 once
  // they are handed over.
  std::int32_t heldFrame_ = -1;
  // The picture, or the sprite frame, read last.
  Picture single_;
  // What mapping the held picture onto the colour table noticed.
  std::vector<std::string> heldNotices_;
  std::shared_ptr<const ColourTable> colourTable_;
  MappingOptions mapping_;
  bool reportMissingColours_ = false;
  std::vector<std::uint8_t> spriteFile_;
  ReadOptions options_;
};

}  // namespace krelt
