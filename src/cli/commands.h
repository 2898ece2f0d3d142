#pragma once

#include <string_view>
#include <vector>

namespace krelt::cli {

// Exit codes of krelt-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// One subcommand: its name, a one-line summary, its full help text and the
// function that runs it on the arguments after the command name.
struct Command {
  std::string_view name;
  std::string_view summary;
  std::string_view help;
  int (*run)(const std::vector<std::string_view>& args);
};

extern const Command kCompressCommand;
extern const Command kDecompressCommand;
extern const Command kConvertCommand;
extern const Command kVerifyCommand;

}  // namespace krelt::cli
