// The preview without a window: screen pixels, where the picture goes,
// the frame box and failures.

#include "front/preview_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "recording_view.h"

namespace krelt::test {
namespace {

TEST(ScreenImageTest, PixelsArePremultipliedAarrggbb) {
  struct Case {
    PngColour colour;
    std::vector<std::uint8_t> pixels;  // one pixel
    std::uint32_t shown;
  };
  const Case cases[] = {
      {PngColour::kPalette, {2}, 0xFF102030},
      {PngColour::kRgb, {0x12, 0x34, 0x56}, 0xFF123456},
      {PngColour::kRgba, {0x12, 0x34, 0x56, 0xFF}, 0xFF123456},
      {PngColour::kRgba, {0xF8, 0x84, 0x10, 0x00}, 0x00000000},
      {PngColour::kRgba, {0xFF, 0x80, 0x00, 0x80}, 0x80804000},
  };
  for (const Case& c : cases) {
    PngPicture picture{1, 1, c.colour, c.pixels, {}};
    picture.palette[6] = 0x10;
    picture.palette[7] = 0x20;
    picture.palette[8] = 0x30;
    const ScreenImage image = ToScreenImage(picture);
    ASSERT_EQ(image.pixels.size(), 1u);
    EXPECT_EQ(image.pixels[0], c.shown) << std::hex << c.shown;
    EXPECT_EQ(image.hasAlpha, c.colour == PngColour::kRgba);
  }
  // Too few pixel bytes for the sides: nothing to show.
  EXPECT_TRUE(ToScreenImage(PngPicture{2, 1, PngColour::kRgb, {1, 2, 3}, {}}).pixels.empty());
}

TEST(PictureGeometryTest, ZoomedFromTheCornerOrFittedAndCentred) {
  struct Case {
    Extent image;
    std::int32_t zoom;
    Extent view;
    Placement placed;
    Extent asked;  // the size the view asks for
  };
  const Case cases[] = {
      {{80, 40}, 0, {240, 240}, {0, 60, {240, 120}}, {240, 240}},
      {{40, 80}, 0, {300, 240}, {90, 0, {120, 240}}, {240, 240}},
      {{3, 2}, 0, {10, 10}, {0, 2, {10, 6}}, {240, 240}},
      {{80, 40}, 1, {240, 240}, {0, 0, {80, 40}}, {80, 40}},
      {{80, 40}, 8, {240, 240}, {0, 0, {640, 320}}, {640, 320}},
      {{0, 0}, 2, {240, 240}, {}, {240, 240}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PictureRect(c.image, c.zoom, c.view), c.placed) << c.image.width << " " << c.zoom;
    EXPECT_EQ(PictureViewSize(c.image, c.zoom), c.asked) << c.image.width << " " << c.zoom;
  }
}

// A GD file that can't be read back leaves the pane without a picture and
// the frame box disabled; frames it does not hold are not shown.
TEST(PreviewModelTest, AFailedReadBackShowsItsReason) {
  RecordingView view;
  PreviewModel preview(view, view.Poster());
  EXPECT_EQ(preview.screen().title, "No picture");
  auto failed = std::make_shared<ConvertedPreview>();
  failed->status = Status::Error(ErrorKind::kIo, "can't read x.GD");
  preview.ShowConverted(failed);
  EXPECT_EQ(view.preview.title, "No preview");
  EXPECT_EQ(view.preview.figures, "can't read x.GD");
  EXPECT_EQ(view.preview.image, nullptr);
  EXPECT_FALSE(view.preview.frames.enabled);
  preview.ShowFrame(1);
  EXPECT_FALSE(preview.decoding());
}

}  // namespace
}  // namespace krelt::test
