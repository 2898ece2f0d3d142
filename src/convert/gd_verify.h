#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"
#include "convert/conversion.h"
#include "convert/gd_reader.h"
#include "image/bmp_image.h"
#include "image/pcx_image.h"
#include "image/raster_image.h"
#include "image/xsp_sprite.h"

namespace krelt {

// One record of a GD source file that passed every check.
struct VerifiedRecord {
  std::string name;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string dataFormat;  // "OSD_256", "OSD_1555", or "" for 24-bit RGB
  std::size_t compressedBytes = 0;
  std::size_t rawBytes = 0;
};

// Told of each record that passed, with the pixel bytes its array decodes
// to (valid during the call only). An error it returns ends the check.
using VerifiedRecordVisitor = std::function<Status(
    const VerifiedRecord& record, std::span<const std::uint8_t> pixels)>;

// Checks what a GD source file declares, one record at a time: each record
// is version 1, reserved 0, COMPRESS_Tfp, at most kMaxImageDimension pixels
// a side, names an array that exists and decodes (every length and CRC-16
// checked), and its size equals both the decoded length and width x height
// x bytes per pixel of its data format. Then a file of several records must
// have a pointer table, and every pointer table must name the records in
// file order. Returns the first fault, naming it.
Status VerifyGdSource(const GdSource& source,
                      const VerifiedRecordVisitor& visit = nullptr);

// "_logoGd: 40 x 20, OSD_256, 30 bytes compressed, 800 bytes raw (3.8%)".
std::string DescribeRecord(const VerifiedRecord& record);

// One picture or frame exactly as a conversion hands it to the encoder.
struct ConvertedPicture {
  std::int32_t frame = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat format = kPixelFormatIndexed;
  std::vector<std::uint8_t> pixels;
};

// The pictures a conversion with a request's settings compresses (road,
// "1555" flag, frame fields), loaded one at a time.
class ConversionPictures {
 public:
  // Reads and checks request.sourcePath; errors name the file.
  Status Open(const ConversionRequest& request);

  // How many pictures the conversion writes.
  std::size_t count() const { return count_; }

  // Picture `index` (0 .. count() - 1, in file order) as the conversion
  // compresses it: 16-colour indices as 8-bit indices, 16-bit pixels of
  // the PCX and sprite road with bit 15 on non-zero pixels, high byte first.
  Status Load(std::size_t index, ConvertedPicture& picture);

 private:
  enum class Road { kBmp, kPcx, kSprite };

  Status OpenFile(const ConversionRequest& request);

  Road road_ = Road::kPcx;
  std::size_t count_ = 0;
  std::int32_t startFrame_ = 0;
  BmpImage bmp_;
  PcxImage pcx_;
  XspSprite sprite_;
};

// Checks a GD source file as VerifyGdSource does and that its records are,
// one for one and byte for byte, the pictures of `pictures`.
Status VerifyGdSourceAgainst(const GdSource& source, ConversionPictures& pictures,
                             const std::string& pictureName,
                             const VerifiedRecordVisitor& visit = nullptr);

}  // namespace krelt
