#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace krelt::test {

// Result of one krelt-cli run: exit code and what it printed.
struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Runs krelt-cli with the arguments, capturing stdout and stderr in files
// inside workDir.
inline CliRun RunCli(const std::vector<std::string>& args,
                     const std::filesystem::path& workDir) {
  const auto outPath = workDir / "cli.stdout";
  const auto errPath = workDir / "cli.stderr";
  std::string command = Quote(KRELT_CLI_PATH);
  // Appended piece by piece: GCC 12 gives a false -Wrestrict warning for
  // "literal" + std::string at -O3.
  for (const std::string& arg : args) {
    command += ' ';
    command += Quote(arg);
  }
  command += " >";
  command += Quote(outPath.string());
  command += " 2>";
  command += Quote(errPath.string());
  const int status = std::system(command.c_str());
  CliRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadText(outPath);
  run.err = ReadText(errPath);
  return run;
}

}  // namespace krelt::test
