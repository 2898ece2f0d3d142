#include "image/xsp_sprite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

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

XspFrame ReadFrame(const Bytes& file, std::int32_t n, bool flag1555 = false) {
  XspFrame frame;
  const Status status = ReadXspFrame(file, ReadOptions{flag1555}, n, frame);
  EXPECT_TRUE(status.ok()) << status.message();
  return frame;
}

TEST(XspSpriteTest, HasMagicLooksAtTheFirstThreeBytes) {
  EXPECT_TRUE(HasXspMagic(Bytes{'X', 'S', 'P'}));
  EXPECT_TRUE(HasXspMagic(MakeXsp(ThreeFrames())));
  EXPECT_FALSE(HasXspMagic(Bytes{'X', 'S'}));
  EXPECT_FALSE(HasXspMagic(Bytes{'x', 'S', 'P'}));
  EXPECT_FALSE(HasXspMagic(Bytes{0x0A, 5, 1}));
}

std::uint16_t ValueAt(const Picture& picture, std::size_t i) {
  return static_cast<std::uint16_t>(picture.pixels[2 * i] | (picture.pixels[2 * i + 1] << 8));
}

TEST(XspSpriteTest, ReadsOneBytePerPixelFramesThroughTheirPalette) {
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
    const Bytes file = MakeXsp(layout);
    XspFile sprite;
    ASSERT_TRUE(ReadXspFile(file, sprite).ok());
    EXPECT_EQ(sprite.frameCount, 1);
    const XspFrame frame = ReadFrame(file, 0, c.flag1555);
    const Picture& picture = frame.picture;
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(frame.x, 4);
    EXPECT_EQ(frame.y, -5);
    const Bytes& palette = c.ownPalette ? kOwnPalette : kDefaultPalette;
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), picture.palette.begin()));
    if (!c.flag1555) {
      EXPECT_EQ(picture.pixelFormat, kPixelFormatIndexed);
      EXPECT_EQ(picture.pixels, layout.frames[0].pixels);
    } else {
      EXPECT_EQ(picture.pixelFormat, kPixelFormat16Bit);
      ASSERT_EQ(picture.pixels.size(), 12u);
      EXPECT_EQ(ValueAt(picture, 0), 0);
      EXPECT_EQ(ValueAt(picture, 1), c.expectedOne);
      EXPECT_EQ(ValueAt(picture, 2), c.expectedTwo);
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
    const Picture picture = ReadFrame(MakeXsp(layout), 0, flag1555).picture;
    EXPECT_EQ(picture.pixelFormat, kPixelFormat16Bit);
    EXPECT_EQ(picture.pixels, Values16({0x7FFF, 0x7C00, 0x03E0, 0x001F, 0x0000}));
  }
}

TEST(XspSpriteTest, ReadsEveryFrameWithItsRecords) {
  const XspSpec layout = ThreeFrames();
  const Bytes file = MakeXsp(layout);
  XspFile sprite;
  ASSERT_TRUE(ReadXspFile(file, sprite).ok());
  ASSERT_EQ(sprite.frameCount, 3);
  EXPECT_EQ(sprite.records, layout.records);
  for (int n : {0, 1, 2}) {
    SCOPED_TRACE(n);
    const XspFrame read = ReadFrame(file, n);
    const XspFrameSpec& frame = layout.frames[n];
    EXPECT_EQ(read.picture.width, frame.width);
    EXPECT_EQ(read.picture.height, frame.height);
    EXPECT_EQ(read.x, frame.x);
    EXPECT_EQ(read.y, frame.y);
    EXPECT_EQ(read.picture.pixels, frame.pixels);
    const Bytes& palette = n == 1 ? kOwnPalette : kDefaultPalette;
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), read.picture.palette.begin()));
    EXPECT_EQ(read.records, frame.records);
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
  const XspFrame read = ReadFrame(file, 0);
  EXPECT_EQ(read.records, ownRecords);
  EXPECT_EQ(read.picture.palette[5], 63);
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

// The file is checked first, then the frame asked for, as a conversion
// reads them.
TEST(XspSpriteTest, RefusesMalformedFilesAndFrames) {
  const XspSpec good = ThreeFrames();
  struct Case {
    const char* name;
    Bytes file;
    std::int32_t frame;
    std::string message;
  };
  const Case cases[] = {
      {"no magic", Bytes{0x0A, 5, 1, 8}, 0, "not an XSP sprite file"},
      {"header cut", Bytes{'X', 'S', 'P', 0, 1}, 0, "the XSP header is cut short"},
      {"frame count 0", Damaged(good, [](Bytes& f) { PutLe32(f, 24, 0); }), 0,
       "invalid XSP frame count: 0"},
      {"frame count -1", Damaged(good, [](Bytes& f) { PutLe32(f, 24, 0xFFFFFFFF); }), 0,
       "invalid XSP frame count: -1"},
      {"frame count beyond the file", Damaged(good, [](Bytes& f) { PutLe32(f, 24, 0x7FFFFFFF); }), 0,
       "the frame table runs past the end of the file"},
      {"record count -2", Damaged(good, [](Bytes& f) { PutLe32(f, 796, 0xFFFFFFFE); }), 0,
       "invalid XSP record count: -2"},
      {"record table outside", Damaged(good, [](Bytes& f) { PutLe32(f, 804, static_cast<std::uint32_t>(f.size() - 40)); }), 0,
       "the record table lies outside the file"},
      {"record table at a negative offset", Damaged(good, [](Bytes& f) { PutLe32(f, 804, 0xFFFFFFF0); }), 0,
       "the record table lies outside the file"},
      {"frame -1", MakeXsp(good), -1, "frame -1: no such frame in the frame table"},
      {"frame 3 of 3", MakeXsp(good), 3, "frame 3: no such frame in the frame table"},
      {"frame 1000", MakeXsp(good), 1000, "frame 1000: no such frame in the frame table"},
      {"frame 0 beyond the end", Damaged(good, [](Bytes& f) { PutLe32(f, kFrameTable, static_cast<std::uint32_t>(f.size() - 79)); }), 0,
       "frame 0: the frame header lies outside the file"},
      {"frame 2 offset beyond the end", Damaged(good, [](Bytes& f) { PutLe32(f, kFrameTable + 8, 0x7FFFFFF0); }), 2,
       "frame 2: the frame header lies outside the file"},
      {"frame 2 at a negative offset", Damaged(good, [](Bytes& f) { PutLe32(f, kFrameTable + 8, 0xFFFFFF00); }), 2,
       "frame 2: the frame header lies outside the file"},
      {"frame 0 width 0", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0), 0); }), 0,
       "frame 0: invalid picture size: 0 x 2 pixels"},
      {"frame 0 height -4", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 4, 0xFFFFFFFC); }), 0,
       "frame 0: invalid picture size: 3 x -4 pixels"},
      {"frame 2 height 0", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 2) + 4, 0); }), 2,
       "frame 2: invalid picture size: 2 x 0 pixels"},
      {"frame 0 too large", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0), 40000); }), 0,
       "frame 0: picture too large: 40000 x 2 pixels"},
      {"frame 0 over 256 MiB", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0), 30000); PutLe32(f, FrameAt(f, 0) + 4, 30000); }), 0,
       "frame 0: picture too large: 30000 x 30000 pixels"},
      {"frame 0 pixels beyond the end", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 4, 3000); }), 0,
       "frame 0: the pixel data run past the end of the file"},
      {"frame 2 pixels cut", Damaged(good, [](Bytes& f) { f.pop_back(); }), 2,
       "frame 2: the pixel data run past the end of the file"},
      {"frame 0 palette outside", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 16, static_cast<std::uint32_t>(f.size() - 767)); }), 0,
       "frame 0: the frame palette lies outside the file"},
      {"frame 0 records beyond the end", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 24, 1000); }), 0,
       "frame 0: the frame records run past the end of the file"},
      {"frame 0 record count -1", Damaged(good, [](Bytes& f) { PutLe32(f, FrameAt(f, 0) + 24, 0xFFFFFFFF); }), 0,
       "frame 0: invalid frame record count: -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    XspFile sprite;
    XspFrame frame;
    Status status = ReadXspFile(c.file, sprite);
    if (status.ok()) status = ReadXspFrame(c.file, ReadOptions{}, c.frame, frame);
    EXPECT_EQ(status.message(), c.message);
  }
}

}  // namespace
}  // namespace krelt
