#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace krelt {

// What went wrong, for callers that act on the cause rather than show it.
enum class ErrorKind {
  kNone,         // success
  kUsage,        // the request itself is wrong (bad option, empty path)
  kNotFound,     // a file, folder, record or frame that is not there
  kUnsupported,  // a valid input of a kind Krelt does not handle
  kDamaged,      // an input that breaks its own format
  kTooLarge,     // an input or result beyond Krelt's limits
  kIo,           // the operating system refused a read or write
  kMismatch,     // a check found different bytes than expected
  kCancelled,    // the caller asked the operation to stop
  kOutOfMemory,  // memory for the work ran out; the input itself may be fine
};

// Outcome of an operation that can fail: success, or a kind and a message
// for the user.
class [[nodiscard]] Status {
 public:
  Status() = default;

  static Status Error(ErrorKind kind, std::string message) {
    Status status;
    status.kind_ = kind;
    status.message_ = std::move(message);
    return status;
  }

  bool ok() const { return kind_ == ErrorKind::kNone; }
  ErrorKind kind() const { return kind_; }
  const std::string& message() const { return message_; }

  // The same kind with a new message, for adding context on the way up.
  Status WithMessage(std::string message) const {
    return Error(kind_, std::move(message));
  }

 private:
  ErrorKind kind_ = ErrorKind::kNone;
  std::string message_;
};

// Runs body (returning Status) and turns the exceptions the standard library
// throws when memory runs out or a size is beyond what a container can hold
// into a failed status, so no caller of the core sees an exception.
template <typename Body>
Status CatchAllocationFailure(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Status::Error(ErrorKind::kTooLarge, "out of memory");
  } catch (const std::length_error&) {
    return Status::Error(ErrorKind::kTooLarge,
                         "a size beyond what this system can hold");
  }
}

}  // namespace krelt
