#pragma once

#include "common/cancellation.h"

namespace krelt::cli {

// Ctrl-C (SIGINT) cancels the token that InterruptToken gives instead of
// ending the process, so a conversion stops at its next chunk and removes
// its temporary file itself. Later Ctrl-Cs cancel again. Other signals keep
// their handling. Call once, before the work starts.
void CancelOnInterrupt();

// The token Ctrl-C cancels.
const CancellationToken& InterruptToken();

// The exit status of a run a Ctrl-C stopped: 128 + SIGINT, as shells report
// a process SIGINT ended.
inline constexpr int kExitInterrupted = 130;

}  // namespace krelt::cli
