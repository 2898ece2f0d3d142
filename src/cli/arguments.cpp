#include "cli/arguments.h"

#include <cstdio>

#include "cli/commands.h"

namespace krelt::cli {
namespace {

const Option* FindOption(std::span<const Option> options, std::string_view name) {
  for (const Option& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> ParseArguments(const std::vector<std::string_view>& args,
                                          std::span<const Option> options,
                                          std::string& operand,
                                          std::string_view tooManyOperands,
                                          std::string_view noOperand) {
  bool haveOperand = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg.size() > 1 && arg[0] == '-') {
      const Option* option = FindOption(options, arg);
      if (option == nullptr) return "unknown option " + std::string(arg);
      if (option->value != nullptr) {
        if (i + 1 == args.size()) return "option " + std::string(arg) + " needs a value";
        *option->value = std::string(args[++i]);
      }
      if (option->given != nullptr) *option->given = true;
    } else if (haveOperand) {
      return std::string(tooManyOperands);
    } else {
      operand = std::string(arg);
      haveOperand = true;
    }
  }
  if (!haveOperand) return std::string(noOperand);
  return std::nullopt;
}

std::optional<std::string> ParseByteOrder(std::string_view text, ByteOrder& order) {
  if (text == "high-first") {
    order = ByteOrder::kHighFirst;
  } else if (text == "low-first") {
    order = ByteOrder::kLowFirst;
  } else {
    return "--byte-order takes high-first or low-first, not '" + std::string(text) + "'";
  }
  return std::nullopt;
}

void Warning(std::string_view command, const std::string& message) {
  std::fprintf(stderr, "krelt-cli %.*s: warning: %s\n", static_cast<int>(command.size()),
               command.data(), message.c_str());
}

int UsageError(std::string_view command, const std::string& message) {
  const int length = static_cast<int>(command.size());
  std::fprintf(stderr, "krelt-cli %.*s: %s\nTry 'krelt-cli %.*s --help'.\n", length,
               command.data(), message.c_str(), length, command.data());
  return kExitUsage;
}

int Failure(std::string_view command, const std::string& message) {
  std::fprintf(stderr, "krelt-cli %.*s: %s\n", static_cast<int>(command.size()),
               command.data(), message.c_str());
  return kExitFailure;
}

}  // namespace krelt::cli
