#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace {

using krelt::cli::Command;

const std::array<const Command*, 4> kCommands = {
    &krelt::cli::kCompressCommand,
    &krelt::cli::kDecompressCommand,
    &krelt::cli::kConvertCommand,
    &krelt::cli::kVerifyCommand,
};

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: krelt-cli COMMAND [OPTIONS] ARGS...\n"
      "       krelt-cli COMMAND --help\n\nCommands:\n",
      out);
  for (const Command* command : kCommands) {
    std::fprintf(out, "  %-12.*s %.*s\n", static_cast<int>(command->name.size()),
                 command->name.data(), static_cast<int>(command->summary.size()),
                 command->summary.data());
  }
}

const Command* FindCommand(std::string_view name) {
  for (const Command* command : kCommands) {
    if (command->name == name) return command;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(stderr);
    return krelt::cli::kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(stdout);
    return krelt::cli::kExitOk;
  }
  const Command* command = FindCommand(args[0]);
  if (command == nullptr) {
    std::fprintf(stderr, "krelt-cli: unknown command '%.*s'\n",
                 static_cast<int>(args[0].size()), args[0].data());
    PrintUsage(stderr);
    return krelt::cli::kExitUsage;
  }
  const std::vector<std::string_view> rest(args.begin() + 1, args.end());
  for (std::string_view arg : rest) {
    if (arg == "--help" || arg == "-h") {
      std::fwrite(command->help.data(), 1, command->help.size(), stdout);
      return krelt::cli::kExitOk;
    }
  }
  return command->run(rest);
}
