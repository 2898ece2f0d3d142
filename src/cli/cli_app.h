#pragma once

#include <string>
#include <vector>

namespace krelt::cli {

// Runs krelt-cli on the arguments after the program name, all UTF-8; the
// exit status.
int Run(const std::vector<std::string>& args);

// For each command, its help text and the names of the options it reads
// ("--start", "-j", ...; not -h and --help), so that tests can hold the two
// together.
struct CommandOptions {
  std::string command;
  std::string help;
  std::vector<std::string> optionNames;
};
std::vector<CommandOptions> ListCommandOptions();

}  // namespace krelt::cli
