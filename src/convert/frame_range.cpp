#include "convert/frame_range.h"

#include <algorithm>
#include <limits>
#include <string>

namespace krelt {
namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

}  // namespace

std::int32_t ParseFrameNumber(std::string_view text) {
  std::size_t position = 0;
  while (position < text.size() && IsCSpace(text[position])) ++position;
  bool negative = false;
  if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
    negative = text[position] == '-';
    ++position;
  }
  // Accumulate the magnitude, stopping at a bound just beyond the 32-bit
  // range so that long digit strings cannot overflow.
  constexpr std::int64_t kBound = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (; position < text.size() && text[position] >= '0' && text[position] <= '9';
       ++position) {
    magnitude = std::min(kBound, magnitude * 10 + (text[position] - '0'));
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()));
}

Status ResolveFrameRange(std::string_view startText, std::string_view endText,
                         std::int32_t frameCount, std::int32_t& startFrame,
                         std::int32_t& endFrame) {
  const std::int32_t start = startText.empty() ? 0 : ParseFrameNumber(startText);
  std::int32_t end = endText.empty() ? kDefaultEndFrame : ParseFrameNumber(endText);
  if (start < 0) {
    return Status::Error(ErrorKind::kUsage, "the start frame " + std::to_string(start) +
                         " is negative; frames are numbered from 0");
  }
  if (end > frameCount - 1) end = frameCount - 1;
  if (start > end) {
    return Status::Error(ErrorKind::kUsage, "the frame range " + std::to_string(start) + " to " +
                         std::to_string(end) +
                         " is empty: the start frame is above the end frame "
                         "(the file has " + std::to_string(frameCount) +
                         " frames)");
  }
  startFrame = start;
  endFrame = end;
  return Status();
}

}  // namespace krelt
