// Mapping pictures onto colour tables and reducing them to N colours.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "image/png_image.h"
#include "image/reference_pictures.h"
#include "palette/colour_mapping.h"
#include "palette/colour_reduction.h"

namespace krelt {
namespace {

const ColourTable kTable{{{0, 0, 0}, {255, 255, 255}, {200, 16, 40}, {12, 140, 252}, {96, 96, 96}}};

Picture RgbPicture(const std::vector<Rgb>& colours, std::int32_t width) {
  Picture picture;
  picture.width = width;
  picture.height = static_cast<std::int32_t>(colours.size()) / width;
  picture.pixelFormat = kPixelFormatRgb;
  for (const Rgb& c : colours) picture.pixels.insert(picture.pixels.end(), {c.red, c.green, c.blue});
  return picture;
}

std::vector<std::uint8_t> Mapped(const Picture& picture, const ColourTable& table,
                                 const MappingOptions& options, MappingReport& report) {
  std::vector<std::uint8_t> indices;
  const Status status = MapPicture(picture, table, options, indices, report);
  EXPECT_TRUE(status.ok()) << status.message();
  return indices;
}

// Every pixel of a picture that uses only the table's colours keeps its
// colour exactly, whether the picture is indexed (in another order) or not.
TEST(ColourMappingTest, ColoursOfTheTableMapLosslessly) {
  const std::vector<std::uint8_t> wanted = {4, 2, 2, 0, 1, 3, 3, 4};
  std::vector<Rgb> colours;
  for (const std::uint8_t index : wanted) colours.push_back(kTable.entries[index]);
  Picture indexed = RgbPicture(colours, 4);
  indexed.pixelFormat = kPixelFormatIndexed;
  indexed.pixels.clear();
  // The picture's palette holds the table's colours reversed, at 6 bits.
  for (std::size_t k = 0; k < kTable.entries.size(); ++k) {
    const Rgb& c = kTable.entries[kTable.entries.size() - 1 - k];
    indexed.palette[3 * k] = c.red >> 2;
    indexed.palette[3 * k + 1] = c.green >> 2;
    indexed.palette[3 * k + 2] = c.blue >> 2;
  }
  for (const std::uint8_t index : wanted) indexed.pixels.push_back(4 - index);
  for (const Picture& picture : {RgbPicture(colours, 4), indexed}) {
    for (const Dithering dithering : {Dithering::kNone, Dithering::kDiffusion}) {
      MappingReport report;
      EXPECT_EQ(Mapped(picture, kTable, {dithering, std::nullopt}, report), wanted);
      EXPECT_EQ(report.missingColours, 0u);
      EXPECT_TRUE(MappingNotices(report, {}).empty());
    }
  }
}

TEST(ColourMappingTest, OtherColoursGoToTheNearestAndAreReported) {
  const struct {
    Rgb colour;
    std::uint8_t index;
  } cases[] = {{{10, 10, 10}, 0}, {{240, 250, 245}, 1}, {{180, 30, 50}, 2},
               {{30, 120, 230}, 3}, {{110, 100, 90}, 4},
               // Nearer to (96, 96, 96) than to black in lightness, though
               // not in RGB.
               {{40, 40, 40}, 4}};
  std::vector<Rgb> colours;
  std::vector<std::uint8_t> wanted;
  for (const auto& c : cases) {
    colours.push_back(c.colour);
    wanted.push_back(c.index);
  }
  MappingReport report;
  EXPECT_EQ(Mapped(RgbPicture(colours, 3), kTable, {}, report), wanted);
  EXPECT_EQ(report.missingColours, 6u);
  EXPECT_EQ(MappingNotices(report, {}),
            std::vector<std::string>{"6 colours are not in the colour table; the farthest, "
                                     "(40, 40, 40), is shown as (96, 96, 96)"});
}

TEST(ColourMappingTest, TransparentPixelsTakeTheIndexOrTheirColour) {
  Picture picture = RgbPicture({{255, 255, 255}, {200, 16, 40}, {0, 0, 0}, {96, 96, 96}}, 2);
  picture.alpha = {255, 127, 128, 0};
  MappingReport report;
  EXPECT_EQ(Mapped(picture, kTable, {Dithering::kNone, 3}, report),
            (std::vector<std::uint8_t>{1, 3, 0, 3}));
  EXPECT_TRUE(MappingNotices(report, {Dithering::kNone, 3}).empty());
  EXPECT_EQ(Mapped(picture, kTable, {}, report), (std::vector<std::uint8_t>{1, 2, 0, 4}));
  EXPECT_EQ(MappingNotices(report, {}),
            std::vector<std::string>{"2 pixels with alpha below 128 take the colour under them "
                                     "(--transparent-index N gives them an index)"});
  std::vector<std::uint8_t> indices;
  EXPECT_EQ(MapPicture(picture, kTable, {Dithering::kNone, 5}, indices, report).message(),
            "transparent index 5 is beyond the colour table's 5 entries");
}

// Mid grey between black and white: the nearest colour makes it one of
// them; diffusion mixes both about half and half.
TEST(ColourMappingTest, DiffusionMixesEntriesNearestColourDoesNot) {
  const ColourTable blackWhite{{{0, 0, 0}, {255, 255, 255}}};
  const Picture grey = RgbPicture(std::vector<Rgb>(64 * 64, {128, 128, 128}), 64);
  MappingReport report;
  const auto flat = Mapped(grey, blackWhite, {}, report);
  EXPECT_EQ(std::count(flat.begin(), flat.end(), flat[0]), 64 * 64);
  const auto dithered = Mapped(grey, blackWhite, {Dithering::kDiffusion, std::nullopt}, report);
  const auto white = std::count(dithered.begin(), dithered.end(), 1);
  EXPECT_NEAR(static_cast<double>(white) / (64 * 64), 0.5, 0.02);
}

Picture ReadPngFile(const std::string& name) {
  Picture picture;
  const Status status = ReadPng(test::ReadBytes(test::TestDataPath(name)), {}, picture);
  EXPECT_TRUE(status.ok()) << name << ": " << status.message();
  return picture;
}

double Psnr(const Picture& source, const std::vector<Rgb>& shown) {
  double squares = 0;
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const Rgb wanted = PixelColour(source, k);
    for (const auto& [a, b] : {std::pair{wanted.red, shown[k].red}, {wanted.green, shown[k].green},
                              {wanted.blue, shown[k].blue}}) {
      squares += (a - b) * (a - b);
    }
  }
  return 10 * std::log10(255.0 * 255.0 * 3 * static_cast<double>(shown.size()) / squares);
}

class ColourReductionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanReduceColours()) GTEST_SKIP() << "this build has no libimagequant";
  }

  static ColourTable Reduced(const std::vector<const Picture*>& pictures, std::int32_t colours,
                             const ColourTable& fixed = {}) {
    ColourHistogram histogram;
    for (const Picture* picture : pictures) histogram.AddPicture(*picture, true);
    ColourTable table;
    const Status status = ReduceColours(histogram, colours, fixed, table);
    EXPECT_TRUE(status.ok()) << status.message();
    return table;
  }
};

TEST_F(ColourReductionTest, PicturesOfFewColoursKeepEveryColour) {
  const Picture picture = RgbPicture({{1, 2, 3}, {250, 0, 0}, {1, 2, 3}, {7, 200, 9}, {90, 91, 92}, {0, 0, 255}}, 3);
  for (const std::int32_t colours : {5, 8, 256}) {
    const ColourTable table = Reduced({&picture}, colours);
    EXPECT_EQ(table.entries.size(), 5u);
    MappingReport report;
    const std::vector<std::uint8_t> indices = Mapped(picture, table, {}, report);
    EXPECT_EQ(report.missingColours, 0u) << colours;
  }
}

TEST_F(ColourReductionTest, SharedTableIgnoresPictureOrderAndKeepsFixedColours) {
  if (!KRELT_HAVE_PNG) GTEST_SKIP() << "this build reads no PNG pictures";
  const Picture photo = ReadPngFile("plasma_640x480.png");
  const Picture other = RgbPicture({{255, 0, 255}, {0, 255, 0}, {250, 250, 0}, {3, 3, 3}}, 2);
  const ColourTable fixed{{{0, 0, 0}, {255, 255, 255}, {255, 0, 255}}};
  const ColourTable forwards = Reduced({&photo, &other}, 16, fixed);
  EXPECT_EQ(forwards, Reduced({&other, &photo}, 16, fixed));
  ASSERT_EQ(forwards.entries.size(), 16u);
  EXPECT_TRUE(std::equal(fixed.entries.begin(), fixed.entries.end(), forwards.entries.begin()));
  ColourHistogram histogram;
  ColourTable table;
  EXPECT_EQ(ReduceColours(histogram, 2, fixed, table).message(),
            "3 fixed colours do not fit into a table of 2");
  EXPECT_EQ(ReduceColours(histogram, 257, {}, table).message(),
            "the colour count must be 2 to 256, not 257");
}

// At 256 colours without dithering the reduction is at least as close to
// the source as ImageMagick's `convert -dither None -colors 256`.
TEST_F(ColourReductionTest, QualityMatchesImageMagick) {
  if (!KRELT_HAVE_PNG) GTEST_SKIP() << "this build reads no PNG pictures";
  const Picture photo = ReadPngFile("plasma_640x480.png");
  const Picture magick = ReadPngFile("plasma_640x480.im256.png");
  const std::size_t count = static_cast<std::size_t>(photo.width) * photo.height;
  ASSERT_EQ(magick.pixels.size(), 3 * count);
  std::vector<Rgb> theirs(count);
  for (std::size_t k = 0; k < count; ++k) theirs[k] = PixelColour(magick, k);

  const ColourTable table = Reduced({&photo}, 256);
  MappingReport report;
  const std::vector<std::uint8_t> indices = Mapped(photo, table, {}, report);
  std::vector<Rgb> ours(count);
  for (std::size_t k = 0; k < count; ++k) ours[k] = table.entries[indices[k]];
  const double ourPsnr = Psnr(photo, ours);
  const double theirPsnr = Psnr(photo, theirs);
  std::printf("PSNR at 256 colours: Krelt %.2f dB, ImageMagick %.2f dB\n", ourPsnr, theirPsnr);
  EXPECT_GE(ourPsnr, theirPsnr);
}

}  // namespace
}  // namespace krelt
