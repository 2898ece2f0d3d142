#include "convert/conversion_progress.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>


namespace krelt {
namespace {

// Keeps the positions a progress bar is told of.
struct PositionLog {
  std::vector<std::int32_t> positions;
  ProgressSink Sink() {
    return [this](std::int32_t position) { positions.push_back(position); };
  }
};

constexpr std::int32_t kRange = ConversionProgress::kRange;

// Each position above the one before it.
void ExpectRising(const std::vector<std::int32_t>& positions) {
  for (std::size_t k = 1; k < positions.size(); ++k) {
    EXPECT_GT(positions[k], positions[k - 1]) << k;
  }
}

TEST(ConversionProgressTest, EveryPartMovesTheBarAndOnlyFinishFillsIt) {
  PositionLog bar;
  ConversionProgress progress(bar.Sink());
  progress.Start();
  EXPECT_EQ(bar.positions, std::vector<std::int32_t>{0});
  progress.SetPictureCount(2);
  progress.PictureLoaded();
  const std::int32_t loaded = bar.positions.back();
  EXPECT_GT(loaded, 0);
  progress.Compressed(50, 100);
  const std::int32_t halfCompressed = bar.positions.back();
  EXPECT_GT(halfCompressed, loaded);
  progress.Compressed(50, 100);
  progress.PictureLoaded();
  progress.CompressionSkipped();
  const std::int32_t compressed = bar.positions.back();
  EXPECT_LT(compressed, kRange);
  // Half a picture's compression weighs more than loading it.
  EXPECT_GT(halfCompressed - loaded, loaded);

  progress.StartText(200);
  progress.Formatted(0);
  progress.Formatted(100);
  const std::int32_t halfText = bar.positions.back();
  EXPECT_GT(halfText, compressed);
  // A second stream starts at 0 again: no step back, then the rest.
  progress.Formatted(0);
  progress.Formatted(100);
  EXPECT_EQ(bar.positions.back(), kRange - 1);
  progress.Finish();
  EXPECT_EQ(bar.positions.back(), kRange);
  ExpectRising(bar.positions);
}

TEST(ConversionProgressTest, EmptyPicturesAndTextStillEndFull) {
  PositionLog bar;
  ConversionProgress progress(bar.Sink());
  progress.Start();
  progress.SetPictureCount(1);
  progress.Compressed(0, 0);
  progress.StartText(0);
  progress.Formatted(0);
  progress.Finish();
  EXPECT_EQ(bar.positions.back(), kRange);
  ExpectRising(bar.positions);
}

// Chunks of one picture coded on several threads at once.
TEST(ConversionProgressTest, CallsFromSeveralThreadsStillRise) {
  PositionLog bar;
  ConversionProgress progress(bar.Sink());
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
  ExpectRising(bar.positions);
  progress.StartText(0);
  progress.Finish();
  // 1000 chunks make most of 770 compression steps show.
  EXPECT_GT(bar.positions.size(), 700u);
}

}  // namespace
}  // namespace krelt
