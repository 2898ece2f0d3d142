#include "cli/arguments.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "common/message_text.h"
#include "common/worker_pool.h"

namespace krelt::cli {
namespace {

// The most threads -j takes.
constexpr std::int32_t kMaxJobs = 256;

// The help text up to its first empty line: the usage lines.
std::string_view UsageLines(std::string_view help) {
  const std::size_t end = help.find("\n\n");
  return end == std::string_view::npos ? help : help.substr(0, end + 1);
}

}  // namespace

std::optional<std::int32_t> ParseDecimal(std::string_view text, std::int32_t minimum,
                                         std::int32_t maximum) {
  const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
  if (digits.empty() ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < minimum ||
      value > maximum) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

CLI::Validator Decimal(std::int32_t minimum, std::int32_t maximum) {
  return CLI::Validator(
      [minimum, maximum](const std::string& text) -> std::string {
        if (ParseDecimal(text, minimum, maximum)) return {};
        const std::string range = std::to_string(minimum) + " to " + std::to_string(maximum);
        if (ParseDecimal(text, INT32_MIN, INT32_MAX) ||
            (!text.empty() && text.find_first_not_of("-0123456789") == std::string::npos)) {
          return "'" + text + "' is out of range (" + range + ")";
        }
        return "'" + text + "' is not a decimal number (" + range + ")";
      },
      "N");
}

void AddJobsOption(CLI::App& command, std::string& text) {
  command.add_option("-j,--jobs", text)->check(Decimal(1, kMaxJobs));
}

unsigned JobCount(const std::string& text) {
  return text.empty() ? WorkerPool::HardwareThreads()
                      : static_cast<unsigned>(*ParseDecimal(text, 1, kMaxJobs));
}

void AddLevelOption(CLI::App& command, CompressionLevel& level) {
  command
      .add_option_function<std::string>(
          "--level",
          [&level](const std::string& name) {
            level = name == "max" ? CompressionLevel::kMax : CompressionLevel::kDefault;
          })
      ->check(CLI::Validator(
          [](const std::string& name) -> std::string {
            if (name == "default" || name == "max") return {};
            return "'" + name + "' is not a level (default or max)";
          },
          "LEVEL"));
}

void AddFrameOptions(CLI::App& command, ConversionRequest& request) {
  constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();
  command.add_option("--start", request.startFrameText)->check(Decimal(kLowest, kHighest));
  command.add_option("--end", request.endFrameText)->check(Decimal(kLowest, kHighest));
}

CLI::Option* AddByteOrderOption(CLI::App& command, std::string& text) {
  return command.add_option("--byte-order", text)->option_text("high-first|low-first");
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

void Warning(const Command& command, const std::string& message) {
  std::fprintf(stderr, "%.*swarning: %s\n", static_cast<int>(command.messagePrefix.size()),
               command.messagePrefix.data(), EscapeUnprintable(message).c_str());
}

int UsageError(const Command& command, const std::string& message) {
  const std::string_view usage = UsageLines(command.help);
  std::fprintf(stderr, "%.*s%s\n%.*sTry 'krelt-cli %.*s --help'.\n",
               static_cast<int>(command.messagePrefix.size()), command.messagePrefix.data(),
               EscapeUnprintable(message).c_str(), static_cast<int>(usage.size()),
               usage.data(), static_cast<int>(command.name.size()), command.name.data());
  return kExitUsage;
}

int Failure(const Command& command, const std::string& message) {
  std::fprintf(stderr, "%.*s%s\n", static_cast<int>(command.messagePrefix.size()),
               command.messagePrefix.data(), EscapeUnprintable(message).c_str());
  return kExitFailure;
}

}  // namespace krelt::cli
