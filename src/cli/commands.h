#pragma once

#include <functional>
#include <string_view>

namespace CLI {
class App;
}

namespace krelt::cli {

// Exit codes of krelt-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// One subcommand: its name, a one-line summary, its full help text (usage
// lines first), what its messages start with, and the function that adds
// its options to its CLI11 subcommand and returns what runs it once they
// are read.
struct Command {
  std::string_view name;
  std::string_view summary;
  std::string_view help;
  std::string_view messagePrefix;
  std::function<int()> (*define)(CLI::App& command);
};

extern const Command kCompressCommand;
extern const Command kDecompressCommand;
extern const Command kConvertCommand;
extern const Command kVerifyCommand;
extern const Command kExtractCommand;

}  // namespace krelt::cli
