#include <gtest/gtest.h>

#include <string>

#include "cli/cli_app.h"

namespace krelt {
namespace {

// Each command's own help names every option its parser reads, positional
// arguments aside.
TEST(CliOptionsTest, HelpNamesEveryOptionTheParserReads) {
  const std::vector<cli::CommandOptions> commands = cli::ListCommandOptions();
  ASSERT_EQ(commands.size(), 5u);
  for (const cli::CommandOptions& command : commands) {
    EXPECT_EQ(command.help.rfind("Usage: krelt-cli " + command.command, 0), 0u);
    for (const std::string& name : command.optionNames) {
      EXPECT_NE(command.help.find(name), std::string::npos) << command.command << " " << name;
    }
  }
  EXPECT_GE(commands[2].optionNames.size(), 9u);  // convert
}

}  // namespace
}  // namespace krelt
