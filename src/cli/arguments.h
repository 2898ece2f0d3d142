#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "convert/conversion.h"

namespace krelt::cli {

// The value of decimal text: an optional '-' and then digits only, within
// [minimum, maximum]. Anything else (white space, a '+', hexadecimal or
// exponent forms, a number out of range) gives nothing.
std::optional<std::int32_t> ParseDecimal(std::string_view text, std::int32_t minimum,
                                         std::int32_t maximum);

// A CLI11 check that lets only such decimal text through.
CLI::Validator Decimal(std::int32_t minimum, std::int32_t maximum);

// --start N and --end N: the frame fields of a conversion, decimal only.
void AddFrameOptions(CLI::App& command, ConversionRequest& request);

// --byte-order high-first|low-first, read into `text`; its option, for
// telling whether it was given.
CLI::Option* AddByteOrderOption(CLI::App& command, std::string& text);

// "high-first" or "low-first" into `order`; an error text for anything else.
std::optional<std::string> ParseByteOrder(std::string_view text, ByteOrder& order);

// -j N, --jobs N: the threads a command shares its work with, decimal 1 to
// 256, read into `text`.
void AddJobsOption(CLI::App& command, std::string& text);

// The thread count of a --jobs value: one per core when it was not given.
unsigned JobCount(const std::string& text);

// The command's message prefix, "warning: " and the message on stderr.
void Warning(const Command& command, const std::string& message);

// --level default|max: how hard the encoder works.
void AddLevelOption(CLI::App& command, CompressionLevel& level);

// The command's message prefix and message, its usage lines and a pointer
// to its help on stderr; exit 2.
int UsageError(const Command& command, const std::string& message);

// The command's message prefix and message on stderr; exit 1.
int Failure(const Command& command, const std::string& message);

}  // namespace krelt::cli
