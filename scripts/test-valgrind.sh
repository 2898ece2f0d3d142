#!/usr/bin/env bash
# Runs the Linux tests of the core libraries and krelt-cli under valgrind
# memcheck, which finds reads of uninitialised memory that AddressSanitizer
# does not see. Each test program runs under valgrind, and so does each
# program it starts (krelt-cli, the slow writer); a memcheck error makes the
# process exit with status 99, which fails its test, and every report with
# an error is printed at the end.
# Usage: scripts/test-valgrind.sh BUILD_DIR
# BUILD_DIR: a build without sanitizers (make test-valgrind uses
# build-valgrind, RelWithDebInfo, without the dialog).
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "Usage: $0 BUILD_DIR" >&2
  exit 2
fi
build="$(cd "$1" && pwd)"
logs="$build/valgrind"
rm -rf "$logs"
mkdir -p "$logs"

# One log per process (%p): with ctest's single log file, each child's
# valgrind would truncate the file its parent writes to. lhasa is another
# project's tool; a shell that sets `ulimit -v` runs natively, as valgrind
# does not fit in that address space. No option may contain a space:
# ctest splits them there.
options=(
  --error-exitcode=99
  --track-origins=yes
  --trace-children=yes
  "--trace-children-skip=*/lhasa"
  "--trace-children-skip-by-arg=*ulimit*"
  "--log-file=$logs/%p.log"
)
# Left out: the address space limit test (as above) and the install tests,
# which build whole projects with cmake and the compiler.
excluded='^(cli_memory_limit|man_page_.*|krelt_add_assets_arguments|firmware_example_.*)$'

# ctest looks for its own log file of each test in vain: that line is
# left out.
status=0
if ! ctest --test-dir "$build" -T memcheck --output-on-failure -j "$(nproc)" --timeout 3000 \
    --overwrite "MemoryCheckCommand=$(command -v valgrind)" \
    --overwrite "MemoryCheckCommandOptions=${options[*]}" \
    -E "$excluded" 2>&1 | grep -v '^Cannot find memory tester output file'; then
  status=${PIPESTATUS[0]}
fi

# A process that runs a skipped program leaves a log without a summary.
reports=$(grep -l 'ERROR SUMMARY: [1-9]' "$logs"/*.log || true)
for report in $reports; do
  echo "=== $report" >&2
  cat "$report" >&2
done
processes=$(find "$logs" -name '*.log' | wc -l)
if [ -n "$reports" ] || [ "$status" -ne 0 ]; then
  echo "$0: memcheck found errors (reports above) or a test failed" >&2
  exit 1
fi
echo "valgrind memcheck: no errors in $processes processes"
