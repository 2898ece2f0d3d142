#include "convert/read_back.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/frame_range.h"
#include "gd/gd_test_support.h"
#include "support/picture_writers.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;


Bytes IndexedPcx(int width, int height, unsigned step) {
  test::PcxSpec layout;
  layout.width = width;
  layout.height = height;
  layout.pixels = test::Ramp(static_cast<std::size_t>(width * height), step);
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
  layout.pixels = test::Ramp(13 * 3, 5);
  for (std::uint8_t& pixel : layout.pixels) pixel &= 0x0F;
  return test::MakePcx(layout);
}

Bytes RgbBmp() {
  test::BmpSpec layout;
  layout.width = 7;
  layout.height = 5;
  layout.pixels = test::Ramp(7 * 5 * 3, 7);
  return test::MakeBmp(layout);
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

class ReadBackTest : public ::testing::Test {
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

TEST_F(ReadBackTest, ConvertedPicturesVerifyAndMatchTheirSource) {
  const std::vector<PictureCase> cases = {
      {"indexed pcx", "a.pcx", IndexedPcx(9, 4, 3), false, "", "", 1},
      {"indexed pcx 1555", "a.pcx", IndexedPcx(9, 4, 3), true, "", "", 1},
      {"16-colour pcx", "a.pcx", PlanarPcx(), false, "", "", 1},
      {"rgb bmp", "a.bmp", RgbBmp(), false, "", "", 1},
      {"rgb bmp 1555", "a.BMP", RgbBmp(), true, "", "", 1},
      {"16-bit sprite", "a.xsp", test::FourFrameSprite(2), false, "", "", 4},
      {"8-bit sprite 1555, frames 1 to 2", "a.xsp", test::FourFrameSprite(1), true, "1", "2", 2},
      {"8-bit sprite, frame 3", "a.xsp", test::FourFrameSprite(1), false, "3", "", 1},
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

TEST_F(ReadBackTest, SixteenBitSpritePixelsAreFinishedForTheFirmware) {
  Convert(Picture("a.xsp", test::FourFrameSprite(2)));
  ConversionPictures pictures;
  OpenPictures(pictures);
  ASSERT_EQ(pictures.count(), 4u);
  XspFrame frame;
  ASSERT_TRUE(ReadXspFrame(test::FourFrameSprite(2), ReadOptions{}, 1, frame).ok());
  ConvertedPicture picture;
  ASSERT_TRUE(pictures.Load(1, picture).ok());
  EXPECT_EQ(picture.frame, 1);
  EXPECT_EQ(picture.pixels, test::FinishedHighColour(frame.picture.pixels));
  EXPECT_EQ(picture.format, kPixelFormat16Bit);
  EXPECT_FALSE(pictures.Load(4, picture).ok());
}

TEST_F(ReadBackTest, ComparisonNamesTheFirstDifference) {
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
      {"other record count", Picture("b.xsp", test::FourFrameSprite(1)),
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

TEST_F(ReadBackTest, AnUnreadablePictureIsNamed) {
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

TEST_F(ReadBackTest, PicturesGiveTheRangeAndTheDeclaredFormat) {
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
      {"sprite range clamped", RequestFor(dir_, "g.xsp", test::FourFrameSprite(1), true, "1", "9"), 3,
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

TEST_F(ReadBackTest, SinglePicturesAreHandedOverOnceFramesReload) {
  ConversionPictures pcx;
  ASSERT_TRUE(pcx.Open(RequestFor(dir_, "a.pcx", IndexedPcx(9, 4, 3))).ok());
  ConvertedPicture picture;
  ASSERT_TRUE(pcx.Load(0, picture).ok());
  EXPECT_EQ(picture.pixels, test::Ramp(9 * 4, 3));
  EXPECT_EQ(pcx.Load(0, picture).message(), "a.pcx: the picture was loaded before");
  // Asking twice, or for a picture past the count, is the caller's mistake.
  EXPECT_EQ(pcx.Load(0, picture).kind(), ErrorKind::kUsage);
  EXPECT_EQ(pcx.Load(1, picture).kind(), ErrorKind::kUsage);

  ConversionPictures sprite;
  ASSERT_TRUE(sprite.Open(RequestFor(dir_, "s.xsp", test::FourFrameSprite(1))).ok());
  for (const std::int32_t frame : {0, 2, 0, 2}) {
    ASSERT_TRUE(sprite.Load(static_cast<std::size_t>(frame), picture).ok());
    EXPECT_EQ(picture.frame, frame);
    EXPECT_EQ(picture.pixels, test::Ramp(static_cast<std::size_t>((3 + frame) * (2 + frame % 2)),
                                   static_cast<unsigned>(11 + frame)));
  }
}

TEST_F(ReadBackTest, AFrameThatFailsToLoadIsNamedOnce) {
  Bytes file = test::FourFrameSprite(1);
  file.pop_back();  // the last frame's pixels are cut short
  ConversionPictures pictures;
  ASSERT_TRUE(pictures.Open(RequestFor(dir_, "cut.xsp", file)).ok());
  ConvertedPicture picture;
  ASSERT_TRUE(pictures.Load(2, picture).ok());
  EXPECT_EQ(pictures.Load(3, picture).message(),
            "cut.xsp: frame 3: the pixel data run past the end of the file");
}

}  // namespace
}  // namespace krelt
