#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for FUZZ_SECONDS each (default
# 60) and fails when any of them finds a crash, leak, timeout or excessive
# allocation. Each target then runs FUZZ_SMALL_SECONDS more (default 10) on
# inputs of at most 1 KB, which may not allocate more than 8 MB at once.
# Usage: scripts/fuzz.sh BUILD_DIR [TARGET...]
#
# Corpora: the generated valid files (krelt-make-corpus, and for png the
# reference pictures of tests/data), the saved
# regression inputs of fuzz/regression/TARGET and the growing working
# corpus fuzz/corpus-work/TARGET (not committed). Findings are written to
# BUILD_DIR/fuzz-artifacts/TARGET/; fix them, then copy the input into
# fuzz/regression/TARGET/ so `make test` replays it.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [TARGET...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
small_seconds=${FUZZ_SMALL_SECONDS:-10}

# Largest input per target: a few times the size of the generated files,
# small enough that any legitimate picture or stream stays far below the
# allocation limit.
declare -A max_len=(
  [bmp]=65536
  [png]=65536
  [pcx]=32768
  [xsp]=16384
  [tfp_decode]=16384
  [tfp_round_trip]=131072
  [tfp_max_round_trip]=65536
  [conversion]=16384
  [gd_reader]=65536
)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(bmp png pcx xsp tfp_decode tfp_round_trip tfp_max_round_trip conversion gd_reader)
fi

seeds="$build/fuzz-corpus-seed"
rm -rf "$seeds"
"$build/fuzz/krelt-make-corpus" "$seeds"
# The reference PNG pictures of other tools: every colour type and depth.
mkdir -p "$seeds/png"
cp "$root"/tests/data/png_*.png "$seeds/png/"

# run_fuzzer TARGET SECONDS MAX_LEN MALLOC_LIMIT_MB: one libFuzzer run;
# false when it found something.
run_fuzzer() {
  local target=$1 time=$2 length=$3 malloc_limit=$4
  local work="$root/fuzz/corpus-work/$target"
  local artifacts="$build/fuzz-artifacts/$target"
  local log="$build/fuzz-$target-$length.log"
  mkdir -p "$work" "$artifacts"
  local options=(
    -max_total_time="$time"
    -max_len="$length"
    -rss_limit_mb=2048
    -malloc_limit_mb="$malloc_limit"
    -timeout=10
    -artifact_prefix="$artifacts/"
    -print_final_stats=1
  )
  if [ -f "$root/fuzz/$target.dict" ]; then
    options+=(-dict="$root/fuzz/$target.dict")
  fi
  local corpora=("$work")
  for corpus in "$seeds/$target" "$root/fuzz/regression/$target"; do
    if [ -d "$corpus" ]; then corpora+=("$corpus"); fi
  done
  echo "=== $target: ${time}s, max_len $length, malloc limit ${malloc_limit} MB"
  if ! "$build/fuzz/krelt-fuzz-$target" "${options[@]}" "${corpora[@]}" 2>"$log"; then
    tail -n 60 "$log" >&2
    return 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
}

failed=()
for target in "${targets[@]}"; do
  if [ ! -x "$build/fuzz/krelt-fuzz-$target" ] || [ -z "${max_len[$target]:-}" ]; then
    echo "fuzz.sh: unknown or unbuilt target '$target'" >&2
    exit 2
  fi
  if ! run_fuzzer "$target" "$seconds" "${max_len[$target]}" 64 ||
     ! run_fuzzer "$target" "$small_seconds" 1024 8; then
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]} (inputs under $build/fuzz-artifacts/)" >&2
  exit 1
fi
echo "fuzz.sh: no findings"
