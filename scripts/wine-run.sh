#!/usr/bin/env bash
# Runs a Windows program under wine for the Windows tests. ctest uses it as
# the emulator (cmake/mingw-w64-x86_64.cmake), compare-windows-samples.sh as
# its WINE, and test-windows.sh to start the prefix.
# Usage: scripts/wine-run.sh PROGRAM [ARGUMENT...]
#
# Address space randomisation is off for wine and every process it starts.
# Debian's wine64 comes without wine's preloader, which would reserve the
# low address space before anything else is mapped. wine64 is linked at
# 0x7d000000, and the kernel (Linux 6.18 here) puts the brk heap of such a
# 64-bit program at a random place up to 1 GiB above its end. That range
# holds 0x7ffe0000, where wine must map the shared user data: when the heap
# lands just below it (about one start in several thousand), wine dies
# before the program runs, printing "failed to map the shared user data:
# c0000018" and exiting with status 1, and a random test fails. Without
# randomisation the heap starts right after wine64, 47 MiB below.
#
# Wine's error messages are shown (WINEDEBUG, unless set, is -all,err+all)
# and a failing exit status is reported on stderr, so that a test that
# fails under wine always shows what wine said and how the program ended.
set -uo pipefail  # no -e: the program's status is reported, then returned

export WINEDEBUG="${WINEDEBUG:--all,err+all}"
setarch "$(uname -m)" --addr-no-randomize wine "$@"
status=$?
if [ "$status" -ne 0 ]; then
  echo "wine-run.sh: $1 exited with status $status" >&2
fi
exit "$status"
