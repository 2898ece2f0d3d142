#include "image/xsp_sprite.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "image/reference_pictures.h"
#include "support/picture_writers.h"

namespace krelt {

namespace {

using Bytes = std::vector<std::uint8_t>;
using test::GetLe32;
using test::MakeXsp;
using test::PutLe32;
using test::XspFrameSpec;
using test::XspSpec;

constexpr std::size_t kFrameTable = test::kXspHeaderSize;

Bytes Palette(std::initializer_list<std::array<std::uint8_t, 3>> entries) {
  Bytes palette(768, 0);
  std::size_t k = 0;
  for (const auto& entry : entries) {
    std::copy(entry.begin(), entry.end(), palette.begin() + 3 * k++);
  }
  return palette;
}

const Bytes kDefaultPalette = Palette({{0, 0, 0}, {63, 63, 63}, {62, 0, 0}});
const Bytes kOwnPalette = Palette({{0, 0, 0}, {0, 0, 63}, {0, 62, 0}});

XspFrameSpec IndexedFrame(int width, int height, int x = 0, int y = 0) {
  XspFrameSpec frame;
  frame.width = width;
  frame.height = height;
  frame.x = x;
  frame.y = y;
  for (int i = 0; i < width * height; ++i) {
    frame.pixels.push_back(static_cast<std::uint8_t>(i % 3));
  }
  return frame;
}

Bytes Values16(std::initializer_list<std::uint16_t> values) {
  Bytes bytes;
  for (std::uint16_t value : values) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  return bytes;
}

XspSpec IndexedSprite(std::vector<XspFrameSpec> frames) {
  XspSpec layout;
  layout.pixelKind = 1;
  layout.defaultPalette = kDefaultPalette;
  layout.frames = std::move(frames);
  return layout;
}

// Three frames of mixed sizes with records; frame 1 has its own palette.
XspSpec ThreeFrames() {
  XspSpec layout = IndexedSprite(
      {IndexedFrame(3, 2, -1, -2), IndexedFrame(5, 1, 10, 20), IndexedFrame(2, 4, 7, 8)});
  layout.frames[0].records = Bytes(16, 0x71);  // after the pixels
  layout.frames[1].ownPalette = kOwnPalette;
  layout.frames[1].records = Bytes(32, 0x5A);  // after the own palette
  layout.records = Bytes(64, 0x33);
  return layout;
}

TEST(XspSpriteTest, HasMagicLooksAtTheFirstThreeBytes) {
  EXPECT_TRUE(HasXspMagic(Bytes{'X', 'S', 'P'}));
  EXPECT_TRUE(HasXspMagic(MakeXsp(ThreeFrames())));
  EXPECT_FALSE(HasXspMagic(Bytes{'X', 'S'}));
  EXPECT_FALSE(HasXspMagic(Bytes{'x', 'S', 'P'}));
  EXPECT_FALSE(HasXspMagic(Bytes{0x0A, 5, 1}));
}

std::uint16_t ValueAt(const XspSprite& sprite, std::size_t i) {
  return static_cast<std::uint16_t>(sprite.pixels[2 * i] | (sprite.pixels[2 * i + 1] << 8));
}

TEST(XspSpriteTest, LoadsOneBytePerPixelFramesThroughTheirPalette) {
  struct Case {
    bool ownPalette, flag1555;
    std::uint16_t expectedOne, expectedTwo;  // 5-5-5 values of indices 1, 2
  };
  const Case cases[] = {
      {false, false, 0, 0},
      {true, false, 0, 0},
      {false, true, 0x7FFF, 0x7C00},
      {true, true, 0x001F, 0x03E0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ownPalette ? "own" : "default") + " palette, flag " +
                 (c.flag1555 ? "on" : "off"));
    XspSpec layout = IndexedSprite({IndexedFrame(3, 2, 4, -5)});
    if (c.ownPalette) layout.frames[0].ownPalette = kOwnPalette;
    XspSprite sprite;
    ASSERT_TRUE(sprite.OpenFromBytes(MakeXsp(layout), c.flag1555).ok());
    XspFrame frame;
    ASSERT_TRUE(ReadXspFrame(MakeXsp(layout), ReadOptions{c.flag1555}, 0, frame).ok());
    EXPECT_EQ(sprite.frameCount, 1);
    EXPECT_EQ(sprite.width, 3);
    EXPECT_EQ(sprite.height, 2);
    EXPECT_EQ(sprite.x, 4);
    EXPECT_EQ(sprite.y, -5);
    const Bytes& palette = c.ownPalette ? kOwnPalette : kDefaultPalette;
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), frame.picture.palette.begin()));
    if (!c.flag1555) {
      EXPECT_EQ(sprite.pixelFormat, kPixelFormatIndexed);
      EXPECT_EQ(sprite.pixels, layout.frames[0].pixels);
      EXPECT_TRUE(std::equal(palette.begin(), palette.end(), sprite.palette.begin()));
      EXPECT_EQ(sprite.palette16[1], c.ownPalette ? 0x001F : 0xFFFF);
    } else {
      EXPECT_EQ(sprite.pixelFormat, kPixelFormat16Bit);
      ASSERT_EQ(sprite.pixels.size(), 12u);
      EXPECT_EQ(ValueAt(sprite, 0), 0);
      EXPECT_EQ(ValueAt(sprite, 1), c.expectedOne);
      EXPECT_EQ(ValueAt(sprite, 2), c.expectedTwo);
    }
  }
}

TEST(XspSpriteTest, RepacksTwoBytePerPixelFramesTo555) {
  for (bool flag1555 : {false, true}) {
    XspSpec layout;
    layout.pixelKind = 2;
    XspFrameSpec frame;
    frame.width = 5;
    frame.height = 1;
    frame.pixels = Values16({0xFFFF, 0xF800, 0x07E0, 0x001F, 0x0020});
    layout.frames = {frame};
    XspSprite sprite;
    ASSERT_TRUE(sprite.OpenFromBytes(MakeXsp(layout), flag1555).ok());
    EXPECT_EQ(sprite.pixelFormat, kPixelFormat16Bit);
    EXPECT_EQ(sprite.pixels, Values16({0x7FFF, 0x7C00, 0x03E0, 0x001F, 0x0000}));
  }
}

TEST(XspSpriteTest, LoadFrameMovesBetweenFramesKeepingTheirRecords) {
  const XspSpec layout = ThreeFrames();
  const Bytes file = MakeXsp(layout);
  XspSprite sprite;
  ASSERT_TRUE(sprite.OpenFromBytes(file, false).ok());
  ASSERT_EQ(sprite.frameCount, 3);
  XspFile tables;
  ASSERT_TRUE(ReadXspFile(file, tables).ok());
  EXPECT_EQ(tables.records, layout.records);
  for (int n : {0, 1, 2, 1, 0}) {
    SCOPED_TRACE(n);
    ASSERT_TRUE(sprite.LoadFrame(n).ok());
    const XspFrameSpec& frame = layout.frames[n];
    EXPECT_EQ(sprite.width, frame.width);
    EXPECT_EQ(sprite.height, frame.height);
    EXPECT_EQ(sprite.x, frame.x);
    EXPECT_EQ(sprite.y, frame.y);
    EXPECT_EQ(sprite.pixels, frame.pixels);
    const Bytes& palette = n == 1 ? kOwnPalette : kDefaultPalette;
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), sprite.palette.begin()));
    XspFrame read;
    ASSERT_TRUE(ReadXspFrame(file, ReadOptions{}, n, read).ok());
    EXPECT_EQ(read.records, frame.records);
  }
  ASSERT_TRUE(sprite.LoadFrame(2).ok());
  for (int n : {-1, 3, 1000}) {
    EXPECT_TRUE(sprite.LoadFrame(n).ok());
    EXPECT_EQ(sprite.width, 2);
    EXPECT_EQ(sprite.pixels, layout.frames[2].pixels);
  }
}

TEST(XspSpriteTest, FrameRecordsFollowTheOwnPaletteWhereverItLies) {
  // Frame 0's palette is moved to the end of the file, its records after it;
  // the bytes after the pixels are no records.
  XspSpec layout = IndexedSprite({IndexedFrame(2, 2)});
  layout.frames[0].records = Bytes(16, 0xEE);
  Bytes file = MakeXsp(layout);
  const std::size_t frame = GetLe32(file, kFrameTable);
  const Bytes ownRecords(16, 0x42);
  PutLe32(file, frame + 16, static_cast<std::uint32_t>(file.size()));
  file.insert(file.end(), kOwnPalette.begin(), kOwnPalette.end());
  file.insert(file.end(), ownRecords.begin(), ownRecords.end());
  XspSprite sprite;
  ASSERT_TRUE(sprite.OpenFromBytes(file, false).ok());
  XspFrame read;
  ASSERT_TRUE(ReadXspFrame(file, ReadOptions{}, 0, read).ok());
  EXPECT_EQ(read.records, ownRecords);
  EXPECT_EQ(sprite.palette[5], 63);
}

using Damage = std::function<void(Bytes&)>;

Bytes Damaged(const XspSpec& layout, const Damage& damage) {
  Bytes file = MakeXsp(layout);
  damage(file);
  return file;
}

// Offset of frame n's header, read from the frame table.
std::size_t FrameAt(const Bytes& file, std::size_t n) {
  return GetLe32(file, kFrameTable + 4 * n);
}

TEST(XspSpriteTest, OpenRefusesMalformedFilesAndClosesTheEarlierOne) {
  const XspSpec good = ThreeFrames();
  struct Case {
    const char* name;
    Bytes file;
    std::string message;
  };
  const Case cases[] = {
      {"no magic", Bytes{0x0A, 5, 1, 8}, "not an XSP sprite file"},
      {"header cut", Bytes{'X', 'S', 'P', 0, 1}, "the XSP header is cut short"},
      {"frame count 0", Damaged(good, [](Bytes& f) { PutLe32(f, 24, 0); }),
       "invalid XSP frame count: 0"},
      {"frame count -1", Damaged(good, [](Bytes& f) { PutLe32(f, 24, 0xFFFFFFFF); }),
       "invalid XSP frame count: -1"},
      {"frame count beyond the file", Damaged(good, [](Bytes& f) { PutLe32(f, 24, 0x7FFFFFFF); }),
       "the frame table runs past the end of the file"},
      {"record count -2", Damaged(good, [](Bytes& f) { PutLe32(f, 796, 0xFFFFFFFE); }),
       "invalid XSP record count: -2"},
      {"record table outside", Damaged(good, [](Bytes& f) { PutLe32(f, 804, static_cast<std::uint32_t>(f.size() - 40)); }),
       "the record table lies outside the file"},
      {"record table at a negative offset", Damaged(good, [](Bytes& f) { PutLe32(f, 804, 0xFFFFFFF0); }),
       "the record table lies outside the file"},
      {"frame 0 beyond the end", Damaged(good, [](Bytes& f) { PutLe32(f, kFrameTable, static_cast<std::uint32_t>(f.size() - 79)); }),
       "frame 0: the frame header lies outside the file"},
      {"frame 0 width 0", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0), 0); }),
       "frame 0: invalid picture size: 0 x 2 pixels"},
      {"frame 0 height -4", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 4, 0xFFFFFFFC); }),
       "frame 0: invalid picture size: 3 x -4 pixels"},
      {"frame 0 too large", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0), 40000); }),
       "frame 0: picture too large: 40000 x 2 pixels"},
      {"frame 0 over 256 MiB", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0), 30000); PutLe32(f, FrameAt(f, 0) + 4, 30000); }),
       "frame 0: picture too large: 30000 x 30000 pixels"},
      {"frame 0 pixels beyond the end", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 4, 3000); }),
       "frame 0: the pixel data run past the end of the file"},
      {"frame 0 palette outside", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 16, static_cast<std::uint32_t>(f.size() - 767)); }),
       "frame 0: the frame palette lies outside the file"},
      {"frame 0 records beyond the end", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 24, 1000); }),
       "frame 0: the frame records run past the end of the file"},
      {"frame 0 record count -1", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 24, 0xFFFFFFFF); }),
       "frame 0: invalid frame record count: -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    XspSprite sprite;
    ASSERT_TRUE(sprite.OpenFromBytes(MakeXsp(good), false).ok());
    ASSERT_TRUE(sprite.LoadFrame(1).ok());
    const Status status = sprite.OpenFromBytes(c.file, false);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), c.message);
    // The earlier file is closed; the record still holds its last frame.
    EXPECT_EQ(sprite.frameCount, 0);
    EXPECT_TRUE(sprite.LoadFrame(0).ok());
    EXPECT_EQ(sprite.width, 5);
    EXPECT_EQ(sprite.pixels, good.frames[1].pixels);
  }
}

TEST(XspSpriteTest, LoadFrameRefusesDamagedFramesAndKeepsTheCurrentOne) {
  const XspSpec good = ThreeFrames();
  struct Case {
    const char* name;
    Damage damage;
    std::string message;
  };
  const Case cases[] = {
      {"offset beyond the end", [](Bytes& f) { PutLe32(f, kFrameTable + 8, 0x7FFFFFF0); },
       "frame 2: the frame header lies outside the file"},
      {"negative offset", [](Bytes& f) { PutLe32(f, kFrameTable + 8, 0xFFFFFF00); },
       "frame 2: the frame header lies outside the file"},
      {"pixels cut", [](Bytes& f) { f.pop_back(); }, "frame 2: the pixel data run past the end of the file"},
      {"height 0", [](Bytes& f) { PutLe32(f, FrameAt(f, 2) + 4, 0); },
       "frame 2: invalid picture size: 2 x 0 pixels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    XspSprite sprite;
    ASSERT_TRUE(sprite.OpenFromBytes(Damaged(good, c.damage), true).ok());
    const Bytes frame0 = sprite.pixels;
    const Status status = sprite.LoadFrame(2);
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(sprite.pixels, frame0);
    EXPECT_EQ(sprite.width, 3);
    EXPECT_EQ(sprite.x, -1);
    EXPECT_TRUE(sprite.LoadFrame(1).ok());  // the file stays usable
  }
}

TEST(XspSpriteTest, OpeningAnotherFileReplacesTheFirst) {
  XspSprite sprite;
  ASSERT_TRUE(sprite.OpenFromBytes(MakeXsp(ThreeFrames()), false).ok());
  const XspSpec second = IndexedSprite({IndexedFrame(4, 4, 1, 1)});
  ASSERT_TRUE(sprite.OpenFromBytes(MakeXsp(second), false).ok());
  EXPECT_EQ(sprite.frameCount, 1);
  XspFile tables;
  ASSERT_TRUE(ReadXspFile(MakeXsp(second), tables).ok());
  EXPECT_TRUE(tables.records.empty());
  EXPECT_TRUE(sprite.LoadFrame(1).ok());
  EXPECT_EQ(sprite.width, 4);
  EXPECT_EQ(sprite.pixels, second.frames[0].pixels);
}

TEST(XspSpriteTest, OpenNamesTheFileInItsMessages) {
  const test::ScratchDirectory directory("krelt_xsp_test");
  XspSprite sprite;
  EXPECT_EQ(sprite.Open(directory.Write("Logo.pcx", {0x0A, 5, 1}), false).message(),
            "Logo.pcx: not an XSP sprite file");
  EXPECT_EQ(sprite.Open(directory.path() / "None.xsp", false).message(),
            "can't open '" + PathToUtf8(directory.path() / "None.xsp") +
                "': no such file");
  ASSERT_TRUE(sprite.Open(directory.Write("Spin.xsp", MakeXsp(ThreeFrames())), false).ok());
  EXPECT_EQ(sprite.frameCount, 3);
  // A failed open closes the file opened before.
  EXPECT_FALSE(sprite.Open(directory.path() / "None.xsp", false).ok());
  EXPECT_EQ(sprite.frameCount, 0);
}

TEST(XspSpriteTest, Repack565To555MovesRedAndGreenDown) {
  struct Case {
    std::uint16_t in, out;
  };
  const Case cases[] = {{0xFFFF, 0x7FFF}, {0xF800, 0x7C00}, {0x07E0, 0x03E0},
                        {0x001F, 0x001F}, {0x0020, 0x0000}, {0x0840, 0x0420}};
  for (const Case& c : cases) {
    Bytes pixels = Values16({c.in, c.in});
    Repack565To555(pixels.data(), 2, 1);
    EXPECT_EQ(pixels, Values16({c.out, c.out})) << std::hex << c.in;
  }
}

TEST(XspSpriteTest, IndexedTo555UsesStoredValuesAndChecksTheBuffer) {
  const Bytes palette = Palette({{63, 63, 63}, {62, 0, 0}, {0, 0, 1}, {1, 3, 0}});
  Bytes pixels = {0, 1, 2, 3};
  IndexedTo555(pixels, 2, 2, palette.data());
  EXPECT_EQ(pixels, Values16({0x7FFF, 0x7C00, 0x0000, 0x0020}));

  Bytes tooShort = {0, 1, 2};
  IndexedTo555(tooShort, 2, 2, palette.data());
  EXPECT_EQ(tooShort, (Bytes{0, 1, 2}));
}

}  // namespace
}  // namespace krelt
