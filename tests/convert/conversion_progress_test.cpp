#include "convert/conversion_progress.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "convert/conversion.h"

namespace krelt {
namespace {

class PositionHost : public ConversionHost {
 public:
  void ClearReport() override {}
  void SetProgressRange(std::int32_t maximum) override { ranges.push_back(maximum); }
  void SetProgressPosition(std::int32_t position) override { positions.push_back(position); }
  void EnableOpen() override {}
  void ShowMessage(const std::string&, const std::string&) override {}
  void ShowReport(const std::vector<ReportRow>&) override {}

  std::vector<std::int32_t> ranges;
  std::vector<std::int32_t> positions;
};

constexpr std::int32_t kRange = ConversionProgress::kRange;

// Each position above the one before it.
void ExpectRising(const std::vector<std::int32_t>& positions) {
  for (std::size_t k = 1; k < positions.size(); ++k) {
    EXPECT_GT(positions[k], positions[k - 1]) << k;
  }
}

TEST(ConversionProgressTest, EveryPartMovesTheBarAndOnlyFinishFillsIt) {
  PositionHost host;
  ConversionProgress progress(host);
  progress.Start();
  EXPECT_EQ(host.ranges, std::vector<std::int32_t>{kRange});
  EXPECT_EQ(host.positions, std::vector<std::int32_t>{0});
  progress.SetPictureCount(2);
  progress.PictureLoaded();
  const std::int32_t loaded = host.positions.back();
  EXPECT_GT(loaded, 0);
  progress.Compressed(50, 100);
  const std::int32_t halfCompressed = host.positions.back();
  EXPECT_GT(halfCompressed, loaded);
  progress.Compressed(50, 100);
  progress.PictureLoaded();
  progress.CompressionSkipped();
  const std::int32_t compressed = host.positions.back();
  EXPECT_LT(compressed, kRange);
  // Half a picture's compression weighs more than loading it.
  EXPECT_GT(halfCompressed - loaded, loaded);

  progress.StartText(200);
  progress.Formatted(0);
  progress.Formatted(100);
  const std::int32_t halfText = host.positions.back();
  EXPECT_GT(halfText, compressed);
  // A second stream starts at 0 again: no step back, then the rest.
  progress.Formatted(0);
  progress.Formatted(100);
  EXPECT_EQ(host.positions.back(), kRange - 1);
  progress.Finish();
  EXPECT_EQ(host.positions.back(), kRange);
  ExpectRising(host.positions);
}

TEST(ConversionProgressTest, EmptyPicturesAndTextStillEndFull) {
  PositionHost host;
  ConversionProgress progress(host);
  progress.Start();
  progress.SetPictureCount(1);
  progress.Compressed(0, 0);
  progress.StartText(0);
  progress.Formatted(0);
  progress.Finish();
  EXPECT_EQ(host.positions.back(), kRange);
  ExpectRising(host.positions);
}

// Chunks of one picture coded on several threads at once.
TEST(ConversionProgressTest, CallsFromSeveralThreadsStillRise) {
  PositionHost host;
  ConversionProgress progress(host);
  progress.Start();
  progress.SetPictureCount(1);
  progress.PictureLoaded();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&progress] {
      for (int chunk = 0; chunk < 250; ++chunk) progress.Compressed(1, 1000);
    });
  }
  for (std::thread& thread : threads) thread.join();
  ExpectRising(host.positions);
  progress.StartText(0);
  progress.Finish();
  // 1000 chunks make most of 770 compression steps show.
  EXPECT_GT(host.positions.size(), 700u);
}

}  // namespace
}  // namespace krelt
