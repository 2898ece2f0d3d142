#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "image/bmp_image.h"
#include "image/pcx_image.h"
#include "image/raster_image.h"
#include "image/xsp_sprite.h"

namespace krelt {

struct ConversionRequest;

// True when the path ends in ".bmp" in any case: such files take the BMP
// road, every other file is read as an XSP sprite file or a PCX picture.
bool IsBmpPath(std::string_view path);

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
  // Reads and checks request.sourcePath. Errors name the file, except those
  // of reading it (they quote the path) and the two classic BMP refusals.
  Status Open(const ConversionRequest& request);

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
  // the PCX and sprite road with bit 15 on non-zero pixels, high byte first.
  // The pixels of a BMP or PCX picture are handed over, so that picture
  // loads once; sprite frames load as often as asked.
  Status Load(std::size_t index, ConvertedPicture& picture);

  // `message` about `picture` as the conversion reports it: with the file
  // name and, for a sprite frame, the frame number.
  Status PictureFault(const ConvertedPicture& picture,
                      const std::string& message) const;

 private:
  enum class Road { kBmp, kPcx, kSprite };

  Status OpenBmp(std::span<const std::uint8_t> file, bool flag1555);
  Status OpenPcx(std::span<const std::uint8_t> file, bool flag1555);
  Status OpenSprite(std::vector<std::uint8_t> file,
                    const ConversionRequest& request);
  void SetSinglePicture(PixelFormat format, std::int32_t endFrame);
  Status LoadSpriteFrame(std::int32_t frame, ConvertedPicture& picture);
  Status Finish(ConvertedPicture& picture) const;
  Status InFile(Status status) const;

  Road road_ = Road::kPcx;
  std::string fileName_;
  std::size_t count_ = 0;
  std::int32_t frameCount_ = 0;
  std::int32_t startFrame_ = 0;
  std::int32_t endFrame_ = 0;
  PixelFormat declaredFormat_ = kPixelFormatIndexed;
  // The frame (0 for a BMP or PCX picture) whose pixels the reader holds,
  // or -1 once they are handed over.
  std::int32_t heldFrame_ = -1;
  BmpImage bmp_;
  PcxImage pcx_;
  XspSprite sprite_;
};

}  // namespace krelt
