#include "cli/cli_app.h"

#include <array>
#include <cstdio>
#include <exception>
#include <functional>
#include <new>
#include <utility>
#include <string_view>

#include <CLI/CLI.hpp>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "common/message_text.h"

namespace krelt::cli {
namespace {

const std::array<const Command*, 5> kCommands = {
    &kCompressCommand,
    &kDecompressCommand,
    &kConvertCommand,
    &kVerifyCommand,
    &kExtractCommand,
};

std::string Usage() {
  std::string usage =
      "Usage: krelt-cli COMMAND [OPTIONS] ARGS...\n"
      "       krelt-cli COMMAND --help\n"
      "       krelt-cli -h|--help\n"
      "       krelt-cli --version\n\nCommands:\n";
  for (const Command* command : kCommands) {
    char line[128];
    std::snprintf(line, sizeof line, "  %-12.*s %.*s\n", static_cast<int>(command->name.size()),
                  command->name.data(), static_cast<int>(command->summary.size()),
                  command->summary.data());
    usage += line;
  }
  return usage;
}

const Command* FindCommand(std::string_view name) {
  for (const Command* command : kCommands) {
    if (command->name == name) return command;
  }
  return nullptr;
}

// The command whose arguments were being read when parsing stopped.
const Command* ParsedCommand(const CLI::App& app) {
  for (const CLI::App* sub : app.get_subcommands()) {
    if (const Command* command = FindCommand(sub->get_name())) return command;
  }
  return nullptr;
}

// krelt-cli with one subcommand per command; each command's help is its
// own text. Fills runners with what runs each command.
void DefineApp(CLI::App& app, std::array<std::function<int()>, kCommands.size()>& runners) {
  app.set_help_flag("-h,--help");
  app.set_version_flag("--version", "krelt-cli " KRELT_VERSION);
  app.require_subcommand(1);
  app.formatter_fn([](const CLI::App*, std::string, CLI::AppFormatMode) { return Usage(); });
  for (std::size_t i = 0; i < kCommands.size(); ++i) {
    const Command& command = *kCommands[i];
    CLI::App* sub = app.add_subcommand(std::string(command.name), std::string(command.summary));
    const std::string help(command.help);
    sub->formatter_fn(
        [help](const CLI::App*, std::string, CLI::AppFormatMode) { return help; });
    runners[i] = command.define(*sub);
  }
}

// Runs a command; anything it throws ends krelt-cli with a message and exit
// 1 rather than an abort.
int RunCaught(const Command& command, const std::function<int()>& run) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    return Failure(command, "out of memory");
  } catch (const std::exception& error) {
    return Failure(command, std::string("unexpected failure: ") + error.what());
  } catch (...) {
    return Failure(command, "unexpected failure");
  }
}

}  // namespace

int Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fputs(Usage().c_str(), stderr);
    return kExitUsage;
  }
  if (args[0] == "help") {
    std::fputs(Usage().c_str(), stdout);
    return kExitOk;
  }
  if (!args[0].starts_with('-') && FindCommand(args[0]) == nullptr) {
    std::fprintf(stderr, "krelt-cli: unknown command '%s'\n%s",
                 EscapeUnprintable(args[0]).c_str(), Usage().c_str());
    return kExitUsage;
  }
  CLI::App app("", "krelt-cli");
  std::array<std::function<int()>, kCommands.size()> runners;
  DefineApp(app, runners);
  try {
    // CLI11 takes the arguments last first.
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return kExitOk;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    if (const Command* command = ParsedCommand(app)) {
      return UsageError(*command, error.what());
    }
    std::fprintf(stderr, "krelt-cli: %s\n%s", error.what(), Usage().c_str());
    return kExitUsage;
  }
  for (std::size_t i = 0; i < kCommands.size(); ++i) {
    if (app.got_subcommand(std::string(kCommands[i]->name))) {
      return RunCaught(*kCommands[i], runners[i]);
    }
  }
  return kExitUsage;
}

std::vector<CommandOptions> ListCommandOptions() {
  CLI::App app("", "krelt-cli");
  std::array<std::function<int()>, kCommands.size()> runners;
  DefineApp(app, runners);
  std::vector<CommandOptions> list;
  for (const Command* command : kCommands) {
    CommandOptions entry{std::string(command->name), std::string(command->help), {}};
    const CLI::App* sub = app.get_subcommand(std::string(command->name));
    for (const CLI::Option* option : sub->get_options()) {
      if (option == sub->get_help_ptr()) continue;  // every command's, told once
      for (const std::string& name : option->get_lnames()) entry.optionNames.push_back("--" + name);
      for (const std::string& name : option->get_snames()) entry.optionNames.push_back("-" + name);
    }
    list.push_back(std::move(entry));
  }
  return list;
}

}  // namespace krelt::cli
