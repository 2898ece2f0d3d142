#include "cli/interrupt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace krelt::cli {
namespace {

CancellationToken interruptToken;

#ifdef _WIN32

// Ctrl-C is handled; Ctrl-Break and closing the console go on to the
// handlers registered before this one.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT) return FALSE;
  interruptToken.Cancel();
  return TRUE;
}

void InstallHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

#else

void OnInterrupt(int) { interruptToken.Cancel(); }

// An ignored SIGINT (a background job of a shell) stays ignored.
// SA_RESTART: reads and writes the signal interrupts go on by themselves.
void InstallHandler() {
  struct sigaction current {};
  if (sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

#endif

}  // namespace

void CancelOnInterrupt() { InstallHandler(); }

const CancellationToken& InterruptToken() { return interruptToken; }

}  // namespace krelt::cli
