#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

#include "common/native_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace krelt::native {
namespace {

// Fixed slots that a signal handler can read without locks or allocation.
// state: 0 free, 1 being filled, 2 holds a path to remove.
constexpr std::size_t kSlotCount = 32;
constexpr std::size_t kPathCapacity = 4096;
using PathChar = std::filesystem::path::value_type;

struct Slot {
  std::atomic<int> state{0};
  std::array<PathChar, kPathCapacity> path{};
};
static_assert(std::atomic<int>::is_always_lock_free);

std::array<Slot, kSlotCount> slots;

void RemoveFile(const PathChar* path) {
#ifdef _WIN32
  DeleteFileW(path);  // the file is open with delete sharing: goes at exit
#else
  unlink(path);
#endif
}

#ifdef _WIN32

// Runs on a thread of its own; returning FALSE lets the default handler
// end the process as usual.
BOOL WINAPI OnConsoleEvent(DWORD) {
  RemoveOpenTemporaryFiles();
  return FALSE;
}

void InstallHandlers() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

#else

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

// The handler is reset to the default on entry; the signal raised again is
// delivered when the handler returns and ends the process with its usual
// status.
void OnSignal(int signal) {
  RemoveOpenTemporaryFiles();
  raise(signal);
}

// Only signals left at their default are taken over: an ignored signal
// stays ignored, and a handler someone else installed stays in place.
void InstallHandlers() {
  for (const int signal : kSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
}

#endif

}  // namespace

void RemoveOpenTemporaryFiles() {
  for (Slot& slot : slots) {
    if (slot.state.load() == 2) RemoveFile(slot.path.data());
  }
}

int ListForRemovalOnInterrupt(const std::filesystem::path& path) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  const auto& native = path.native();
  if (native.size() >= kPathCapacity) return -1;
  for (std::size_t index = 0; index < kSlotCount; ++index) {
    Slot& slot = slots[index];
    int expected = 0;
    if (!slot.state.compare_exchange_strong(expected, 1)) continue;
    std::copy(native.begin(), native.end(), slot.path.begin());
    slot.path[native.size()] = PathChar{};
    slot.state.store(2);
    return static_cast<int>(index);
  }
  return -1;
}

void ReleaseFromRemovalOnInterrupt(int slot) {
  if (slot >= 0) slots[static_cast<std::size_t>(slot)].state.store(0);
}

}  // namespace krelt::native
