#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>

namespace krelt {

// Told of each new position of a conversion's progress bar, 0 to
// ConversionProgress::kRange.
using ProgressSink = std::function<void(std::int32_t position)>;

// One progress bar over a whole conversion: loading the pictures,
// compressing them chunk by chunk and formatting the GD text, each part
// given the share of the bar it roughly takes of the time. Every picture
// counts the same; within a picture the chunks count by their length, and
// the text counts by stream byte. Positions only grow, and the sink hears
// of each new one, from whichever thread made it, one call at a time.
class ConversionProgress {
 public:
  // The bar's range: 0 to kRange.
  static constexpr std::int32_t kRange = 1000;
  // Shares of the bar, from the time each part takes on a photo-like
  // 24-bit picture of 27 MB (75 ms, 3.26 s and 0.24 s of 3.57 s).
  static constexpr double kLoadShare = 0.03;
  static constexpr double kCompressShare = 0.87;
  static constexpr double kTextShare = 1.0 - kLoadShare - kCompressShare;
  // Where the text begins: the bar goes no further before formatting.
  static constexpr auto kTextStart =
      static_cast<std::int32_t>((kLoadShare + kCompressShare) * kRange);

  // A null sink is told nothing.
  explicit ConversionProgress(ProgressSink sink) : sink_(std::move(sink)) {}

  // Shows position 0.
  void Start();
  // The pictures the conversion loads and compresses.
  void SetPictureCount(std::size_t count);
  void PictureLoaded();
  // inputLength bytes of a picture of pictureLength bytes were compressed.
  void Compressed(std::size_t inputLength, std::size_t pictureLength);
  // A picture with nothing to compress: empty, or sharing a stream.
  void CompressionSkipped();
  // The text of streams totalling streamBytes begins.
  void StartText(std::size_t streamBytes);
  // Items of the current stream formatted so far; 0 starts the next stream.
  void Formatted(std::size_t formatted);
  // Moves to the end of the bar.
  void Finish();

 private:
  void Advance(double share);  // with mutex_ held
  void Show(std::int32_t position) const;  // with mutex_ held

  ProgressSink sink_;
  std::mutex mutex_;
  double pictureShare_ = 0;  // of the whole bar, per picture
  double done_ = 0;          // of the whole bar
  std::int32_t shown_ = 0;
  double textShare_ = 0;     // of the whole bar, per stream byte
  std::size_t streamFormatted_ = 0;
};

}  // namespace krelt
