#pragma once

#include <string>
#include <utility>

namespace krelt {

// Outcome of an operation that can fail: success, or a message for the user.
class [[nodiscard]] Status {
 public:
  Status() = default;

  static Status Error(std::string message) {
    Status status;
    status.failed_ = true;
    status.message_ = std::move(message);
    return status;
  }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }

 private:
  bool failed_ = false;
  std::string message_;
};

}  // namespace krelt
