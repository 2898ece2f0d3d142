#include "convert/gd_verify.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/frame_range.h"
#include "gd_test_support.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;


Bytes Ramp(std::size_t count, unsigned step) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * step);
  return bytes;
}

Bytes IndexedPcx(int width, int height, unsigned step) {
  test::PcxSpec layout;
  layout.width = width;
  layout.height = height;
  layout.pixels = Ramp(static_cast<std::size_t>(width * height), step);
  layout.palette.resize(256);
  for (std::size_t i = 0; i < 256; ++i) {
    layout.palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                       static_cast<std::uint8_t>(i * 3)};
  }
  return test::MakePcx(layout);
}

Bytes PlanarPcx() {
  test::PcxSpec layout;
  layout.bitsPerPixel = 1;
  layout.planes = 4;
  layout.width = 13;
  layout.height = 3;
  layout.pixels = Ramp(13 * 3, 5);
  for (std::uint8_t& pixel : layout.pixels) pixel &= 0x0F;
  return test::MakePcx(layout);
}

Bytes RgbBmp() {
  test::BmpSpec layout;
  layout.width = 7;
  layout.height = 5;
  layout.pixels = Ramp(7 * 5 * 3, 7);
  return test::MakeBmp(layout);
}

// A sprite file of four frames of different sizes; 16-bit or 8-bit.
Bytes Sprite(int pixelKind) {
  test::XspSpec layout;
  layout.pixelKind = pixelKind;
  layout.defaultPalette = Ramp(768, 1);
  for (std::uint8_t& component : layout.defaultPalette) component &= 0x3F;
  for (int frame = 0; frame < 4; ++frame) {
    test::XspFrameSpec frameSpec;
    frameSpec.width = 3 + frame;
    frameSpec.height = 2 + frame % 2;
    const int bytesPerPixel = pixelKind == 1 ? 1 : 2;
    frameSpec.pixels = Ramp(static_cast<std::size_t>(frameSpec.width * frameSpec.height *
                                                     bytesPerPixel),
                            static_cast<unsigned>(11 + frame));
    layout.frames.push_back(frameSpec);
  }
  return test::MakeXsp(layout);
}

struct PictureCase {
  std::string name;
  std::string fileName;
  Bytes file;
  bool flag1555 = false;
  std::string start;
  std::string end;
  std::size_t records = 1;
};

PictureCase Picture(std::string fileName, Bytes file, bool flag1555 = false) {
  return {"", std::move(fileName), std::move(file), flag1555, "", "", 1};
}

class GdVerifyTest : public ::testing::Test {
 protected:
  // Writes the picture, converts it with the case's settings and parses
  // the GD file written.
  GdSource Convert(const PictureCase& picture) {
    test::WriteBytes(dir_ / picture.fileName, picture.file);
    request_ = ConversionRequest();
    request_.sourcePath = PathToUtf8(dir_ / picture.fileName);
    request_.flag1555 = picture.flag1555;
    request_.startFrameText = picture.start;
    request_.endFrameText = picture.end;
    request_.outputDirectory = dir_.path();
    request_.outputBaseName = "out";
    const ConversionResult result = Converter().RunConversion(request_);
    EXPECT_TRUE(result.status.ok()) << result.status.message();
    return test::ParsedGdFile(result.writtenPath);
  }

  // The pictures of the last conversion's request.
  void OpenPictures(ConversionPictures& pictures) {
    const Status status = pictures.Open(request_);
    ASSERT_TRUE(status.ok()) << status.message();
  }

  test::TempDir dir_;
  ConversionRequest request_;
};

TEST_F(GdVerifyTest, ConvertedPicturesVerifyAndMatchTheirSource) {
  const std::vector<PictureCase> cases = {
      {"indexed pcx", "a.pcx", IndexedPcx(9, 4, 3), false, "", "", 1},
      {"indexed pcx 1555", "a.pcx", IndexedPcx(9, 4, 3), true, "", "", 1},
      {"16-colour pcx", "a.pcx", PlanarPcx(), false, "", "", 1},
      {"rgb bmp", "a.bmp", RgbBmp(), false, "", "", 1},
      {"rgb bmp 1555", "a.BMP", RgbBmp(), true, "", "", 1},
      {"16-bit sprite", "a.xsp", Sprite(2), false, "", "", 4},
      {"8-bit sprite 1555, frames 1 to 2", "a.xsp", Sprite(1), true, "1", "2", 2},
      {"8-bit sprite, frame 3", "a.xsp", Sprite(1), false, "3", "", 1},
  };

  for (const PictureCase& picture : cases) {
    SCOPED_TRACE(picture.name);
    const GdSource source = Convert(picture);
    std::size_t visited = 0;
    const Status verified = VerifyGdSource(
        source, [&](const VerifiedRecord& record, std::span<const std::uint8_t> pixels) {
          ++visited;
          EXPECT_EQ(record.rawBytes, pixels.size());
          return Status();
        });
    ASSERT_TRUE(verified.ok()) << verified.message();
    EXPECT_EQ(visited, picture.records);
    ConversionPictures pictures;
    OpenPictures(pictures);
    EXPECT_EQ(pictures.count(), picture.records);
    const Status compared = VerifyGdSourceAgainst(source, pictures, picture.fileName);
    EXPECT_TRUE(compared.ok()) << compared.message();
  }
}

TEST_F(GdVerifyTest, SixteenBitSpritePixelsAreFinishedForTheFirmware) {
  Convert(Picture("a.xsp", Sprite(2)));
  ConversionPictures pictures;
  OpenPictures(pictures);
  ASSERT_EQ(pictures.count(), 4u);
  XspFrame frame;
  ASSERT_TRUE(ReadXspFrame(Sprite(2), ReadOptions{}, 1, frame).ok());
  ConvertedPicture picture;
  ASSERT_TRUE(pictures.Load(1, picture).ok());
  EXPECT_EQ(picture.frame, 1);
  EXPECT_EQ(picture.pixels, test::FinishedHighColour(frame.picture.pixels));
  EXPECT_EQ(picture.format, kPixelFormat16Bit);
  EXPECT_FALSE(pictures.Load(4, picture).ok());
}

struct FaultCase {
  std::string name;
  std::function<void(GdSource&)> damage;
  std::string message;
};

TEST_F(GdVerifyTest, EachFaultIsNamed) {
  const std::vector<FaultCase> cases = {
      {"size above the sides", [](GdSource& s) { s.records[1].size += 1; },
       "size 25 does not match 4 x 3 x 2 = 24"},
      {"size and sides beyond the array",
       [](GdSource& s) {
         s.records[0].width *= 2;
         s.records[0].size *= 2;
       },
       "decodes to"},
      {"zero width", [](GdSource& s) { s.records[0].width = 0; }, "invalid size 0 x"},
      {"side above the limit",
       [](GdSource& s) {
         s.records[0].width = 40000;
         s.records[0].size = 40000 * 2 * 2;
       },
       "invalid size 40000 x 2"},
      {"stream of more chunks than the size needs",
       [](GdSource& s) { s.arrays[0].bytes[9] = 200; },
       "array _a0Cpm holds 200 chunks where a size of 12 needs 1"},
      {"height off by one", [](GdSource& s) { s.records[2].height += 1; },
       "does not match"},
      {"format of another depth", [](GdSource& s) { s.records[0].dataFormat = "OSD_256"; },
       "does not match"},
      {"unknown format", [](GdSource& s) { s.records[0].dataFormat = "OSD_4444"; },
       "unknown data format OSD_4444"},
      {"version", [](GdSource& s) { s.records[0].version = 2; }, "version 2"},
      {"reserved", [](GdSource& s) { s.records[0].reserved = 7; }, "reserved word 7"},
      {"method", [](GdSource& s) { s.records[0].compressMethod = "COMPRESS_None"; },
       "compression method COMPRESS_None"},
      {"missing array", [](GdSource& s) { s.arrays.erase(s.arrays.begin() + 1); },
       "_a1Cpm is not declared"},
      {"corrupted array byte",
       [](GdSource& s) { s.arrays[2].bytes[s.arrays[2].bytes.size() - 1] ^= 0x10; },
       "array _a2Cpm (line"},
      {"truncated array", [](GdSource& s) { s.arrays[0].bytes.resize(12); },
       "does not decode"},
      {"pointer to nothing", [](GdSource& s) { s.pointerTables[0].entries[3] = "_a9Gd"; },
       "names _a9Gd, which is not a declared record"},
      {"pointers out of order",
       [](GdSource& s) { std::swap(s.pointerTables[0].entries[0], s.pointerTables[0].entries[1]); },
       "does not list the 4 records in file order"},
      {"pointer missing", [](GdSource& s) { s.pointerTables[0].entries.pop_back(); },
       "does not list the 4 records"},
      {"no pointer table", [](GdSource& s) { s.pointerTables.clear(); },
       "4 records but no pointer table"},
      {"no records", [](GdSource& s) { s.records.clear(); },
       "declares no TYPE_GrData record"},
  };
  const GdSource good = Convert(Picture("a.xsp", Sprite(2)));
  for (const FaultCase& fault : cases) {
    SCOPED_TRACE(fault.name);
    GdSource damaged = good;
    fault.damage(damaged);
    const Status status = VerifyGdSource(damaged);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.kind(), ErrorKind::kDamaged);  // a fault of the file itself
    EXPECT_NE(status.message().find(fault.message), std::string::npos)
        << status.message();
  }
}

TEST_F(GdVerifyTest, ComparisonNamesTheFirstDifference) {
  struct CompareCase {
    std::string name;
    PictureCase against;
    std::string message;
  };
  const std::vector<CompareCase> cases = {
      {"other pixels", Picture("b.pcx", IndexedPcx(9, 4, 5)), "differ from pixel byte 1 on"},
      {"other size", Picture("b.pcx", IndexedPcx(4, 9, 3)), "differ in size: 9 x 4 and 4 x 9"},
      {"other depth", Picture("b.pcx", IndexedPcx(9, 4, 3), true),
       "differ in pixel format: 36 and 72 bytes"},
      {"other record count", Picture("b.xsp", Sprite(1)),
       "the file has 1 record, the conversion of b.xsp gives 4 pictures"},
  };
  const GdSource source = Convert(Picture("a.pcx", IndexedPcx(9, 4, 3)));
  for (const CompareCase& compare : cases) {
    SCOPED_TRACE(compare.name);
    test::WriteBytes(dir_ / compare.against.fileName, compare.against.file);
    ConversionRequest request;
    request.sourcePath = PathToUtf8(dir_ / compare.against.fileName);
    request.flag1555 = compare.against.flag1555;
    ConversionPictures pictures;
    ASSERT_TRUE(pictures.Open(request).ok());
    const Status status = VerifyGdSourceAgainst(source, pictures, compare.against.fileName);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.kind(), ErrorKind::kMismatch);  // a sound file, other pixels
    EXPECT_NE(status.message().find(compare.message), std::string::npos)
        << status.message();
  }
}

TEST_F(GdVerifyTest, AnUnreadablePictureIsNamed) {
  test::WriteBytes(dir_ / "broken.pcx", Bytes{0x0A, 0x05, 0x01});
  ConversionRequest request;
  request.sourcePath = PathToUtf8(dir_ / "broken.pcx");
  ConversionPictures pictures;
  const Status status = pictures.Open(request);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "broken.pcx: the PCX header is cut short");
  EXPECT_EQ(pictures.count(), 0u);
}

ConversionRequest RequestFor(const test::TempDir& dir, const std::string& fileName,
                             const Bytes& file, bool flag1555 = false,
                             std::string start = "", std::string end = "") {
  test::WriteBytes(dir / fileName, file);
  ConversionRequest request;
  request.sourcePath = PathToUtf8(dir / fileName);
  request.flag1555 = flag1555;
  request.startFrameText = std::move(start);
  request.endFrameText = std::move(end);
  return request;
}

TEST_F(GdVerifyTest, PicturesGiveTheRangeAndTheDeclaredFormat) {
  struct Case {
    std::string name;
    ConversionRequest request;
    std::size_t count;
    std::int32_t frameCount;
    std::int32_t startFrame;
    std::int32_t endFrame;
    PixelFormat declared;
  };
  const std::vector<Case> cases = {
      {"24-bit bmp", RequestFor(dir_, "a.bmp", RgbBmp()), 1, 1, 0, kDefaultEndFrame,
       kPixelFormatRgb},
      {"24-bit bmp, 1555", RequestFor(dir_, "b.BMP", RgbBmp(), true), 1, 1, 0,
       kDefaultEndFrame, kPixelFormat16Bit},
      {"16-colour pcx", RequestFor(dir_, "c.pcx", PlanarPcx()), 1, 1, 0, 0,
       kPixelFormatIndexed},
      {"16-colour pcx, 1555", RequestFor(dir_, "d.pcx", PlanarPcx(), true), 1, 1, 0, 0,
       kPixelFormatIndexed},
      {"256-colour pcx, 1555", RequestFor(dir_, "e.pcx", IndexedPcx(9, 4, 3), true), 1,
       1, 0, 0, kPixelFormat16Bit},
      {"sprite range clamped", RequestFor(dir_, "g.xsp", Sprite(1), true, "1", "9"), 3,
       4, 1, 3, kPixelFormat16Bit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConversionPictures pictures;
    const Status status = pictures.Open(c.request);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(pictures.count(), c.count);
    EXPECT_EQ(pictures.frameCount(), c.frameCount);
    EXPECT_EQ(pictures.startFrame(), c.startFrame);
    EXPECT_EQ(pictures.endFrame(), c.endFrame);
    EXPECT_EQ(pictures.perFrameRecords(), c.frameCount > 1);
    EXPECT_EQ(pictures.declaredFormat(), c.declared);
    ConvertedPicture picture;
    ASSERT_TRUE(pictures.Load(c.count - 1, picture).ok());
    EXPECT_EQ(picture.frame, c.frameCount > 1 ? c.endFrame : 0);
    EXPECT_EQ(picture.format, c.declared);
    EXPECT_EQ(picture.pixels.size(),
              static_cast<std::size_t>(picture.width * picture.height * picture.format));
  }
}

TEST_F(GdVerifyTest, SinglePicturesAreHandedOverOnceFramesReload) {
  ConversionPictures pcx;
  ASSERT_TRUE(pcx.Open(RequestFor(dir_, "a.pcx", IndexedPcx(9, 4, 3))).ok());
  ConvertedPicture picture;
  ASSERT_TRUE(pcx.Load(0, picture).ok());
  EXPECT_EQ(picture.pixels, Ramp(9 * 4, 3));
  EXPECT_EQ(pcx.Load(0, picture).message(), "a.pcx: the picture was loaded before");
  // Asking twice, or for a picture past the count, is the caller's mistake.
  EXPECT_EQ(pcx.Load(0, picture).kind(), ErrorKind::kUsage);
  EXPECT_EQ(pcx.Load(1, picture).kind(), ErrorKind::kUsage);

  ConversionPictures sprite;
  ASSERT_TRUE(sprite.Open(RequestFor(dir_, "s.xsp", Sprite(1))).ok());
  for (const std::int32_t frame : {0, 2, 0, 2}) {
    ASSERT_TRUE(sprite.Load(static_cast<std::size_t>(frame), picture).ok());
    EXPECT_EQ(picture.frame, frame);
    EXPECT_EQ(picture.pixels, Ramp(static_cast<std::size_t>((3 + frame) * (2 + frame % 2)),
                                   static_cast<unsigned>(11 + frame)));
  }
}

TEST_F(GdVerifyTest, AFrameThatFailsToLoadIsNamedOnce) {
  Bytes file = Sprite(1);
  file.pop_back();  // the last frame's pixels are cut short
  ConversionPictures pictures;
  ASSERT_TRUE(pictures.Open(RequestFor(dir_, "cut.xsp", file)).ok());
  ConvertedPicture picture;
  ASSERT_TRUE(pictures.Load(2, picture).ok());
  EXPECT_EQ(pictures.Load(3, picture).message(),
            "cut.xsp: frame 3: the pixel data run past the end of the file");
}

TEST(DescribeRecordTest, ShowsSizeFormatAndRatio) {
  const VerifiedRecord indexed{"_logoGd", 40, 20, "OSD_256", 30, 800};
  EXPECT_EQ(DescribeRecord(indexed),
            "_logoGd: 40 x 20, OSD_256, 30 bytes compressed, 800 bytes raw (3.8%)");
  const VerifiedRecord rgb{"_p2Gd", 2, 2, "", 22, 12};
  EXPECT_EQ(DescribeRecord(rgb),
            "_p2Gd: 2 x 2, 24-bit RGB, 22 bytes compressed, 12 bytes raw (183.3%)");
}

}  // namespace
}  // namespace krelt
