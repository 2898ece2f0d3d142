#include "gd/gd_verify.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "gd/gd_test_support.h"

namespace krelt {
namespace {

class GdVerifyTest : public ::testing::Test {
 protected:
  // The GD file of a sprite file of four frames of 16-bit pixels, read back.
  GdSource ConvertedSprite() {
    test::WriteBytes(dir_ / "a.xsp", test::FourFrameSprite(2));
    ConversionRequest request;
    request.sourcePath = PathToUtf8(dir_ / "a.xsp");
    request.outputDirectory = dir_.path();
    request.outputBaseName = "out";
    const ConversionResult result = Converter().RunConversion(request);
    EXPECT_TRUE(result.status.ok()) << result.status.message();
    return test::ParsedGdFile(result.writtenPath);
  }

  test::TempDir dir_;
};

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
      {"format of another depth",
       [](GdSource& s) { s.records[0].dataFormat = DataFormat::kOsd256; }, "does not match"},
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
  const GdSource good = ConvertedSprite();
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

TEST(DescribeRecordTest, ShowsSizeFormatAndRatio) {
  const VerifiedRecord indexed{NewRecord("logo", DataFormat::kOsd256, 800, 40, 20), 30, 800};
  EXPECT_EQ(DescribeRecord(indexed),
            "_logoGd: 40 x 20, OSD_256, 30 bytes compressed, 800 bytes raw (3.8%)");
  const VerifiedRecord rgb{NewRecord("p2", DataFormat::kNone, 12, 2, 2), 22, 12};
  EXPECT_EQ(DescribeRecord(rgb),
            "_p2Gd: 2 x 2, 24-bit RGB, 22 bytes compressed, 12 bytes raw (183.3%)");
}

}  // namespace
}  // namespace krelt
