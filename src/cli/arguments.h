#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_pictures.h"

namespace krelt::cli {

// An option a command takes. One with a value stores it in `value`; `given`
// is set whenever the option appears. Either pointer may be null.
struct Option {
  std::string_view name;
  std::string* value = nullptr;
  bool* given = nullptr;
};

// Reads the arguments of a command that takes the options and exactly one
// operand (any argument not starting with '-'). Returns the text of a usage
// error: an unknown option, a missing value, a second operand
// (tooManyOperands) or none at all (noOperand).
std::optional<std::string> ParseArguments(const std::vector<std::string_view>& args,
                                          std::span<const Option> options,
                                          std::string& operand,
                                          std::string_view tooManyOperands,
                                          std::string_view noOperand);

// "high-first" or "low-first" into `order`; an error text for anything else.
std::optional<std::string> ParseByteOrder(std::string_view text, ByteOrder& order);

// "krelt-cli COMMAND: warning: message" on stderr.
void Warning(std::string_view command, const std::string& message);

// "krelt-cli COMMAND: message" and a pointer to the help on stderr; exit 2.
int UsageError(std::string_view command, const std::string& message);

// "krelt-cli COMMAND: message" on stderr; exit 1.
int Failure(std::string_view command, const std::string& message);

}  // namespace krelt::cli
