#pragma once

#include <cstdint>
#include <string_view>

#include "common/status.h"

namespace krelt {

// End frame used when the end frame field is empty.
inline constexpr std::int32_t kDefaultEndFrame = 512;

// Reads a frame field as atoi does: leading white space, an optional sign,
// then digits up to the first other character; no digits gives 0. Values
// beyond the 32-bit range saturate instead of overflowing.
std::int32_t ParseFrameNumber(std::string_view text);

// The frames of a sprite file of frameCount frames that the two frame fields
// select (an empty field: 0, or kDefaultEndFrame). The end is clamped to the
// last frame; a negative start or a start above the end is refused.
Status ResolveFrameRange(std::string_view startText, std::string_view endText,
                         std::int32_t frameCount, std::int32_t& startFrame,
                         std::int32_t& endFrame);

}  // namespace krelt
