#!/usr/bin/env bash
# Times `krelt-cli compress` against `jlha ao5` (LHA, lh5 method) on the same
# bytes: the 1920x1080 24-bit image-like input of the benchmark suite.
# Usage: scripts/bench-vs-jlha.sh [BUILD_DIR] [REPETITIONS]
set -euo pipefail

build=${1:-build}
repetitions=${2:-5}

cli=$build/krelt-cli
bench=$build/bench/krelt_bench
for tool in "$cli" "$bench"; do
  [ -x "$tool" ] || { echo "missing $tool: build it first" >&2; exit 1; }
done
command -v jlha >/dev/null || { echo "jlha not found (Debian package jlha-utils)" >&2; exit 1; }
cli=$(realpath "$cli")
bench=$(realpath "$bench")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$bench" --write-image image.rgb
printf 'x' > one.bin
input_size=$(stat -c %s image.rgb)

krelt_run() { "$cli" compress "$1" out.tfp; }
jlha_run() { rm -f x.lzh; jlha ao5 x.lzh "$1"; }

# Runs a command, discarding its output; prints wall and CPU (user + system)
# seconds.
measure() {
  local TIMEFORMAT='%R %U %S' timing
  timing=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%s %.3f\n", $1, $2 + $3 }' <<<"$timing"
}

printf 'input: %d bytes (1920x1080, 24-bit image-like), %d repetitions\n' "$input_size" "$repetitions"
printf 'machine: %s, %s CPUs\n\n' "$(lscpu | sed -n 's/^Model name: *//p')" "$(nproc)"
printf '%-6s %8s %8s %8s %9s %8s %10s %8s\n' \
  tool "best" "median" "cpu" "1-byte" "MB/s" "output" "ratio"
for tool in krelt jlha; do
  runs=$(for _ in $(seq "$repetitions"); do measure "${tool}_run" image.rgb; done)
  startup=$(measure "${tool}_run" one.bin | cut -d' ' -f1)
  "${tool}_run" image.rgb >/dev/null 2>&1
  output=$(if [ "$tool" = krelt ]; then stat -c %s out.tfp; else stat -c %s x.lzh; fi)
  sort -n <<<"$runs" | awk -v tool="$tool" -v size="$input_size" -v startup="$startup" \
      -v output="$output" '
    { wall[NR] = $1; cpu[NR] = $2 }
    END {
      median = (NR % 2) ? wall[(NR + 1) / 2] : (wall[NR / 2] + wall[NR / 2 + 1]) / 2
      printf "%-6s %7.3fs %7.3fs %7.3fs %8.3fs %8.1f %10d %8.4f\n",
             tool, wall[1], median, cpu[1], startup, size / wall[1] / 1e6, output, output / size
    }'
done
echo
echo "best/median: wall-clock seconds per process, start-up included (1-byte column);"
echo "cpu: user + system seconds of the best run; MB/s: input bytes / best wall time."
