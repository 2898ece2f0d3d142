#!/usr/bin/env bash
# Times krelt-cli compress and decompress against the LHA tools on this
# machine, on the same bytes: a 3840x2160 OSD-like RGB page (24,883,200
# bytes) and a 1920x1080 noisy photo-like RGB picture (6,220,800 bytes),
# both written by krelt_bench. Krelt runs with -j 1 and with -j THREADS.
# Peers, each only where installed:
#   LHa for UNIX  `lha cqo5 x.lzh IN` (only when `lha` is LHa for UNIX, not
#                 lhasa under that name)
#   jlha          `jlha ao5 x.lzh IN` (Debian package jlha-utils; Java)
#   lhasa         `lhasa -pq x.lzh > OUT`, decompression only, of the archive
#                 LHa or jlha made
# Runs are interleaved; the table shows medians of REPETITIONS runs (wall
# and user + system CPU seconds per process, start-up included) and each
# run's speed against Krelt's: the other's median time over Krelt's.
# Usage: scripts/bench-vs-peers.sh [BUILD_DIR] [REPETITIONS] [THREADS]
set -euo pipefail

build=${1:-build}
repetitions=${2:-5}
threads=${3:-$(nproc)}

cli=$build/krelt-cli
bench=$build/bench/krelt_bench
for tool in "$cli" "$bench"; do
  [ -x "$tool" ] || { echo "missing $tool: build it first" >&2; exit 1; }
done
cli=$(realpath "$cli")
bench=$(realpath "$bench")

have_lha=0
if command -v lha >/dev/null && lha --version 2>&1 | grep -q 'LHa for UNIX'; then have_lha=1; fi
have_jlha=0
if command -v jlha >/dev/null; then have_jlha=1; fi
have_lhasa=0
if command -v lhasa >/dev/null; then have_lhasa=1; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Runs a command with its output discarded; appends "wall cpu" to FILE.
measure() {
  local file=$1 TIMEFORMAT='%R %U %S' timing
  shift
  timing=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%s %.3f\n", $1, $2 + $3 }' <<<"$timing" >>"$file"
}

median() {  # column of a timing file
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

krelt_compress() { "$cli" compress -j "$1" "$2" "k$1.tfp"; }
krelt_decompress() { "$cli" decompress -j "$1" "$2.tfp" "k$1.out"; }
lha_compress() { rm -f lha.lzh; lha cqo5 lha.lzh "$1"; }
jlha_compress() { rm -f jlha.lzh; jlha ao5 jlha.lzh "$1"; }
lhasa_decompress() { lhasa -pq "$1" >lhasa.out; }

# Prints one table row per timing file: name, medians, bytes, speed ratio
# against the first file's (Krelt -j 1).
report() {
  local reference=$1 name file bytes
  shift
  printf '%-28s %9s %9s %12s %14s %14s\n' tool "wall" "cpu" "out bytes" "krelt/this" "krelt/this cpu"
  while [ $# -gt 0 ]; do
    name=$1 file=$2 bytes=$3
    shift 3
    awk -v name="$name" -v w="$(median "$file" 1)" -v c="$(median "$file" 2)" \
        -v rw="$(median "$reference" 1)" -v rc="$(median "$reference" 2)" -v bytes="$bytes" '
      BEGIN { printf "%-28s %8.3fs %8.3fs %12s %13.2fx %13.2fx\n", name, w, c, bytes, w / rw, c / rc }'
  done
}

size() { stat -c %s "$1"; }

printf 'machine: %s, %s CPUs; load average at start: %s\n' \
  "$(lscpu | sed -n 's/^Model name: *//p')" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
[ "$have_lha" = 1 ] || echo "LHa for UNIX: not installed (the lha command is missing or is another tool)"
[ "$have_jlha" = 1 ] || echo "jlha: not installed (Debian package jlha-utils)"
[ "$have_lhasa" = 1 ] || echo "lhasa: not installed (Debian package lhasa)"
echo "krelt/this: the run's median time (wall, CPU) over Krelt -j 1's; above 1, Krelt -j 1 is faster"

for input in osd_3840x2160x24 noisy_1920x1080x24; do
  "$bench" --write-input "$input" "$input"
  rm -f ./*.time
  for _ in $(seq "$repetitions"); do
    measure kc1.time krelt_compress 1 "$input"
    measure kcn.time krelt_compress "$threads" "$input"
    [ "$have_lha" = 0 ] || measure lha.time lha_compress "$input"
    [ "$have_jlha" = 0 ] || measure jlha.time jlha_compress "$input"
  done
  cmp -s k1.tfp "k$threads.tfp" || { echo "krelt -j 1 and -j $threads streams differ" >&2; exit 1; }
  cp k1.tfp "$input.tfp"
  archive=
  if [ "$have_lha" = 1 ]; then archive=lha.lzh; elif [ "$have_jlha" = 1 ]; then archive=jlha.lzh; fi
  for _ in $(seq "$repetitions"); do
    measure kd1.time krelt_decompress 1 "$input"
    measure kdn.time krelt_decompress "$threads" "$input"
    if [ "$have_lhasa" = 1 ] && [ -n "$archive" ]; then measure lhasa.time lhasa_decompress "$archive"; fi
  done
  cmp -s k1.out "$input" && cmp -s "k$threads.out" "$input" ||
    { echo "krelt decompress did not give the input back" >&2; exit 1; }

  printf '\n== compress %s (%d bytes), %d runs\n' "$input" "$(size "$input")" "$repetitions"
  rows=("krelt-cli compress -j 1" kc1.time "$(size k1.tfp)"
        "krelt-cli compress -j $threads" kcn.time "$(size "k$threads.tfp")")
  [ "$have_lha" = 0 ] || rows+=("lha cqo5" lha.time "$(size lha.lzh)")
  [ "$have_jlha" = 0 ] || rows+=("jlha ao5" jlha.time "$(size jlha.lzh)")
  report kc1.time "${rows[@]}"

  printf '\n== decompress %s\n' "$input"
  rows=("krelt-cli decompress -j 1" kd1.time "$(size k1.out)"
        "krelt-cli decompress -j $threads" kdn.time "$(size "k$threads.out")")
  [ ! -f lhasa.time ] || rows+=("lhasa -pq ($archive)" lhasa.time "$(size lhasa.out)")
  report kd1.time "${rows[@]}"
done
