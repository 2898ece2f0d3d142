#pragma once

#include <string>
#include <vector>

namespace krelt::cli {

// Runs krelt-cli on the arguments after the program name, all UTF-8; the
// exit status.
int Run(const std::vector<std::string>& args);

}  // namespace krelt::cli
