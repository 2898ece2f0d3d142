#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"

namespace krelt::cli {

// IN and OUT of compress and decompress: a file name in UTF-8, or "-" for
// standard input or output (a file called "-" is named "./-").

Status ReadInputFile(const std::string& name, std::vector<std::uint8_t>& bytes);
Status WriteOutputFile(const std::string& name, std::span<const std::uint8_t> bytes);

// Refuses an OUT that is IN itself: the same path, a link to it or a hard
// link of it. The message names both.
Status CheckNotSameFile(const std::string& inName, const std::string& outName);

}  // namespace krelt::cli
