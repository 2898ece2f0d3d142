#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "cli/commands.h"
#include "common/utf8_path.h"

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
      "       krelt-cli COMMAND --help\n"
      "       krelt-cli -h|--help\n"
      "       krelt-cli --version\n\nCommands:\n",
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

// Runs krelt-cli on the arguments after the program name, all UTF-8.
int Run(const std::vector<std::string_view>& args) {
  if (args.empty()) {
    PrintUsage(stderr);
    return krelt::cli::kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(stdout);
    return krelt::cli::kExitOk;
  }
  if (args[0] == "--version") {
    std::puts("krelt-cli " KRELT_VERSION);
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

}  // namespace

#ifdef _WIN32

// Windows hands the arguments over in UTF-16 only through wmain; they are
// turned into UTF-8 like every path in Krelt. Output is UTF-8 with plain
// '\n' line ends, so it reads the same as on other systems, and the console
// is told to show it as UTF-8.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> utf8;
  for (int i = 1; i < argc; ++i) utf8.push_back(krelt::PathToUtf8(argv[i]));
  return Run(std::vector<std::string_view>(utf8.begin(), utf8.end()));
}

#else

int main(int argc, char** argv) {
  return Run(std::vector<std::string_view>(argv + 1, argv + argc));
}

#endif
