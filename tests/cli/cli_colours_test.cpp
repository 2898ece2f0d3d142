// krelt-cli convert with colour tables: mapping pictures onto a table,
// reducing them to one shared table, writing it out, and the faults.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "common/utf8_path.h"
#include "gd/gd_test_support.h"
#include "image/reference_pictures.h"
#include "palette/colour_reduction.h"

namespace krelt {
namespace {

namespace fs = std::filesystem;

class CliColoursTest : public ::testing::Test {
 protected:
  test::CliRun Convert(std::vector<std::string> args) {
    args.insert(args.begin(), {"convert", "--quiet", "--output-dir", PathToUtf8(dir_.path())});
    return test::RunCli(args, dir_.path());
  }

  std::string Data(const std::string& name) { return PathToUtf8(test::kToolPictures / name); }

  test::TempDir dir_;
};

// The table's colours, as the .gpl file written gives them.
std::vector<std::vector<int>> GplColours(const std::string& text) {
  std::vector<std::vector<int>> colours;
  for (const std::string& line : test::Lines(text)) {
    std::vector<int> colour(3);
    if (std::sscanf(line.c_str(), "%d %d %d", &colour[0], &colour[1], &colour[2]) == 3) {
      colours.push_back(colour);
    }
  }
  return colours;
}

// Pictures drawn with the table's colours, with a palette of their own or
// none, show exactly the colours of the independent tools' dumps.
TEST_F(CliColoursTest, PicturesOfTheTablesColoursMapLosslessly) {
  if (!KRELT_HAVE_PNG) GTEST_SKIP() << "this build reads no PNG pictures";
  const std::string table = Data("png_palette8_13x6.png");
  const std::string gpl = PathToUtf8(dir_ / "table.gpl");
  for (const std::string file : {"png_rgb8_13x6.png", "bmp24_13x6.bmp", "bmp8_13x6.bmp",
                                 "pcx256_13x6.pcx", "png_palette8_13x6.png"}) {
    SCOPED_TRACE(file);
    const fs::path picture = test::kToolPictures / file;
    const std::string name = picture.stem().string();
    const test::CliRun run =
        Convert({"--map-palette", table, "--palette-out", gpl, PathToUtf8(picture)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto colours = GplColours(test::FileText(gpl));
    // The palette PNG's PLTE chunk holds 78 entries.
    ASSERT_EQ(colours.size(), 78u);
    const GdSource source = test::ParsedGdFile(dir_ / (std::string(name) + ".GD"));
    ASSERT_EQ(source.records.size(), 1u);
    EXPECT_EQ(source.records[0].dataFormat, DataFormat::kOsd256);
    const std::vector<std::uint8_t> indices = test::DecodedArray(source, source.records[0].dataName);
    const test::PlainPpm expected =
        test::ReadPlainPpm(test::kToolPictures / (std::string(name) + ".expected.ppm"));
    ASSERT_EQ(indices.size() * 3, expected.rgb.size());
    // Palette pictures carry six bits a component.
    for (std::size_t k = 0; k < expected.rgb.size(); ++k) {
      ASSERT_EQ(colours.at(indices[k / 3])[k % 3] >> 2, expected.rgb[k] >> 2) << k;
    }
  }
}

TEST_F(CliColoursTest, SharedTableIsTheSameForAnyOrderAndJobCount) {
  if (!KRELT_HAVE_PNG || !CanReduceColours()) GTEST_SKIP() << "needs libspng and libimagequant";
  const std::string a = Data("plasma_640x480.png");
  const std::string b = PathToUtf8(test::kSamples / "photo24.pcx");
  std::vector<std::string> tables, gdFiles;
  for (const auto& [first, second, jobs] :
       {std::tuple{a, b, "1"}, {b, a, "2"}, {a, b, "2"}}) {
    const std::string out = PathToUtf8(dir_ / "shared.pal");
    const test::CliRun run = Convert({"--colors", "64", "--dither", "diffusion", "-j", jobs,
                                      "--palette-out", out, first, second});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "2 converted, 0 failed\n");
    tables.push_back(test::FileText(out));
    gdFiles.push_back(test::FileText(dir_ / "plasma_640x480.GD") +
                      test::FileText(dir_ / "photo24.GD"));
  }
  EXPECT_EQ(tables[0].substr(0, 20), "JASC-PAL\r\n0100\r\n64\r\n");
  EXPECT_EQ(tables[1], tables[0]);
  EXPECT_EQ(tables[2], tables[0]);
  EXPECT_EQ(gdFiles[1], gdFiles[0]);
  EXPECT_EQ(gdFiles[2], gdFiles[0]);
}

TEST_F(CliColoursTest, FaultsAreNamed) {
  test::WriteBytes(dir_ / "menu.gpl",
                   std::vector<std::uint8_t>{'G', 'I', 'M', 'P', ' ', 'P', 'a', 'l', 'e', 't',
                                             't', 'e', '\n', '1', ' ', '2', '\n'});
  const std::string menu = PathToUtf8(dir_ / "menu.gpl");
  const std::string picture = PathToUtf8(test::kSamples / "badge.pcx");
  // Runs that reduce colours are refused by a build without libimagequant.
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string firstLine;
    bool reduces;
  } cases[] = {
      {{"--map-palette", menu, picture}, 1,
       "krelt-cli convert: menu.gpl: line 2: three numbers 0..255 expected", false},
      {{"--colors", "8", "--fixed-colors", menu, picture}, 1,
       "krelt-cli convert: menu.gpl: line 2: three numbers 0..255 expected", true},
      {{"--colors", "8", "--palette-out", PathToUtf8(dir_ / "t.txt"), picture}, 1,
       "krelt-cli convert: --palette-out: t.txt: a colour table file ends in .gpl, .pal, .png "
       "or .c", true},
      {{"--colors", "8", "--1555", picture}, 2,
       "krelt-cli convert: --colors writes palette indices, --1555 16-bit pixels: choose one",
       true},
      {{"--colors", "8", "--map-palette", menu, picture}, 2,
       "krelt-cli convert: --map-palette maps onto a table, --colors builds one: choose one",
       false},
      {{"--palette-out", "x.gpl", picture}, 2,
       "krelt-cli convert: --palette-out needs --map-palette or --colors", false},
      {{"--map-palette", menu, "--fixed-colors", menu, picture}, 2,
       "krelt-cli convert: --fixed-colors goes with --colors", false},
      {{"--colors", "8", "--dither", "ordered", picture}, 2,
       "krelt-cli convert: --dither takes none or diffusion, not 'ordered'", true},
  };
  for (const auto& c : cases) {
    const test::CliRun run = Convert(c.args);
    const bool refused = c.reduces && !CanReduceColours();
    EXPECT_EQ(run.exitCode, refused ? 2 : c.exitCode) << c.firstLine;
    EXPECT_EQ(test::Lines(run.err).at(0),
              refused ? "krelt-cli convert: --colors: this build can't reduce colours (it has no "
                        "libimagequant)"
                      : c.firstLine);
    EXPECT_FALSE(fs::exists(dir_ / "badge.GD")) << c.firstLine;
  }
}

TEST_F(CliColoursTest, ExtractShowsIndicesInTheColoursOfATableFile) {
  if (!KRELT_HAVE_PNG || !CanReduceColours()) GTEST_SKIP() << "needs libspng and libimagequant";
  ASSERT_EQ(Convert({"--colors", "4", "--palette-out", PathToUtf8(dir_ / "t.pal"),
                     PathToUtf8(test::kSamples / "badge.pcx")})
                .exitCode,
            0);
  fs::create_directories(dir_ / "x");
  fs::create_directories(dir_ / "y");
  const test::CliRun run = test::RunCli(
      {"extract", "--palette", PathToUtf8(dir_ / "t.pal"), "--output-dir",
       PathToUtf8(dir_ / "x"), PathToUtf8(dir_ / "badge.GD")},
      dir_.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const test::CliRun again = test::RunCli(
      {"convert", "--quiet", "--map-palette", PathToUtf8(dir_ / "x" / "badge.png"), "--output-dir",
       PathToUtf8(dir_ / "y"), PathToUtf8(dir_ / "x" / "badge.png")},
      dir_.path());
  ASSERT_EQ(again.exitCode, 0) << again.err;
  // The extracted picture holds the table's colours: mapped onto its own
  // palette it gives the same indices.
  EXPECT_EQ(test::FileText(dir_ / "y" / "badge.GD"), test::FileText(dir_ / "badge.GD"));
}

}  // namespace
}  // namespace krelt
