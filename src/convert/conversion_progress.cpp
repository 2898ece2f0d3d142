#include "convert/conversion_progress.h"

#include <algorithm>
#include <cmath>

namespace krelt {

void ConversionProgress::Start() {
  const std::lock_guard lock(mutex_);
  Show(0);
}

void ConversionProgress::SetPictureCount(std::size_t count) {
  const std::lock_guard lock(mutex_);
  pictureShare_ = count == 0 ? 0.0 : 1.0 / static_cast<double>(count);
}

void ConversionProgress::PictureLoaded() {
  const std::lock_guard lock(mutex_);
  Advance(kLoadShare * pictureShare_);
}

void ConversionProgress::Compressed(std::size_t inputLength, std::size_t pictureLength) {
  if (pictureLength == 0) return;
  const std::lock_guard lock(mutex_);
  Advance(kCompressShare * pictureShare_ * static_cast<double>(inputLength) /
          static_cast<double>(pictureLength));
}

void ConversionProgress::CompressionSkipped() {
  const std::lock_guard lock(mutex_);
  Advance(kCompressShare * pictureShare_);
}

void ConversionProgress::StartText(std::size_t streamBytes) {
  const std::lock_guard lock(mutex_);
  // What loading and compressing left of the bar goes to the text.
  done_ = std::max(done_, kLoadShare + kCompressShare);
  textShare_ = streamBytes == 0 ? 0.0 : kTextShare / static_cast<double>(streamBytes);
  streamFormatted_ = 0;
}

void ConversionProgress::Formatted(std::size_t formatted) {
  const std::lock_guard lock(mutex_);
  // formatted restarts at 0 with every stream; only its growth counts.
  if (formatted < streamFormatted_) streamFormatted_ = 0;
  const std::size_t added = formatted - streamFormatted_;
  streamFormatted_ = formatted;
  Advance(textShare_ * static_cast<double>(added));
}

void ConversionProgress::Finish() {
  const std::lock_guard lock(mutex_);
  done_ = 1.0;
  if (shown_ != kRange) {
    shown_ = kRange;
    Show(kRange);
  }
}

// The end of the bar is left to Finish, so that rounding never shows a
// full bar before the GD file is there. Called with mutex_ held.
void ConversionProgress::Advance(double share) {
  done_ += share;
  const auto position = std::min(
      static_cast<std::int32_t>(std::floor(done_ * kRange)), kRange - 1);
  if (position <= shown_) return;
  shown_ = position;
  Show(position);
}

void ConversionProgress::Show(std::int32_t position) const {
  if (sink_) sink_(position);
}

}  // namespace krelt
