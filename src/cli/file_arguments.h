#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"

namespace krelt::cli {

// IN and OUT of compress and decompress: a file name in UTF-8, or "-" for
// standard input or output (a file called "-" is named "./-").

Status ReadInputFile(const std::string& name, std::vector<std::uint8_t>& bytes);
Status WriteOutputFile(const std::string& name, std::span<const std::uint8_t> bytes);

// Gives its bytes to the sink in order; a failure leaves OUT as it was.
using OutputSink = std::function<void(std::span<const std::uint8_t>)>;
using OutputProducer = std::function<Status(const OutputSink& sink)>;

// Writes what produce gives to OUT as it comes, through a temporary file,
// or gathered first where OUT is written in place (standard output, a
// device, a FIFO), so that OUT is touched only when produce succeeds. A
// failure of produce is reported before one of writing.
Status WriteOutputFileFrom(const std::string& name, const OutputProducer& produce);

// Refuses an OUT that is IN itself: the same path, a link to it or a hard
// link of it. The message names both.
Status CheckNotSameFile(const std::string& inName, const std::string& outName);

}  // namespace krelt::cli
