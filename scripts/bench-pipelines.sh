#!/usr/bin/env bash
# Times krelt-cli convert on one thread and on two: one 1920x1080 24-bit
# image-like picture, a batch of 200 pictures of 640x480, and the peak
# memory of a 4000x4000 24-bit picture. Checks that -j 1 and -j 2 write the
# same bytes. With BEFORE_BUILD (a build of an older krelt-cli, which takes
# one picture a run and no -j) its single-picture time, its batch time as
# one process per picture, and its peak memory are shown too, and its GD
# files are compared with the new ones.
# Usage: scripts/bench-pipelines.sh [BUILD_DIR] [REPETITIONS] [BEFORE_BUILD]
set -euo pipefail

build=${1:-build}
repetitions=${2:-5}
before=${3:-}

cli=$(realpath "$build/krelt-cli")
bench=$(realpath "$build/bench/krelt_bench")
for tool in "$cli" "$bench"; do
  [ -x "$tool" ] || { echo "missing $tool: build it first" >&2; exit 1; }
done
old_cli=
if [ -n "$before" ]; then
  old_cli=$(realpath "$before/krelt-cli")
  [ -x "$old_cli" ] || { echo "missing $old_cli" >&2; exit 1; }
fi
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (Debian package time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir pictures
"$bench" --write-bmp osd1080.bmp 1920 1080 1
"$bench" --write-bmp big4000.bmp 4000 4000 2
"$bench" --write-bmp noise4000.bmp 4000 4000 3 noise
for i in $(seq 1 200); do "$bench" --write-bmp "pictures/p$i.bmp" 640 480 "$i"; done

# Best and median wall seconds of REPETITIONS runs of a command.
timed() {
  local TIMEFORMAT=%R times=()
  for _ in $(seq 1 "$repetitions"); do
    times+=("$({ time "$@" >/dev/null 2>&1; } 2>&1)")
  done
  printf '%s\n' "${times[@]}" | sort -n |
    awk '{ t[NR] = $1 } END { printf "best %.3f s, median %.3f s", t[1], t[int((NR + 1) / 2)] }'
}

# Peak resident memory in MB of one run.
peak_mb() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { printf "%.1f MB", $2 / 1024 }'
}

old_batch() {
  for picture in pictures/*.bmp; do "$old_cli" convert --quiet --output-dir old-batch "$picture"; done
}

same_folders() {
  diff -rq "$1" "$2" >/dev/null && echo "identical bytes" || echo "FILES DIFFER"
}

mkdir -p j1 j2 old j1-batch j2-batch old-batch
printf 'machine: %s, %s CPUs\n' "$(lscpu | sed -n 's/^Model name: *//p')" "$(nproc)"
printf 'load average at start: %s\n\n' "$(cut -d' ' -f1-3 /proc/loadavg)"

echo "== 1920x1080 24-bit picture, $repetitions runs each"
echo "-j 1: $(timed "$cli" convert --quiet -j 1 --output-dir j1 osd1080.bmp)"
echo "-j 2: $(timed "$cli" convert --quiet -j 2 --output-dir j2 osd1080.bmp)"
echo "-j 1 and -j 2: $(same_folders j1 j2)"
if [ -n "$old_cli" ]; then
  echo "before: $(timed "$old_cli" convert --quiet --output-dir old osd1080.bmp)"
  echo "before and now: $(same_folders old j1)"
fi

echo
echo "== 200 pictures of 640x480, one run of krelt-cli, $repetitions runs each"
echo "-j 1: $(timed "$cli" convert --quiet -j 1 --output-dir j1-batch pictures/*.bmp)"
echo "-j 2: $(timed "$cli" convert --quiet -j 2 --output-dir j2-batch pictures/*.bmp)"
echo "-j 1 and -j 2: $(same_folders j1-batch j2-batch)"
if [ -n "$old_cli" ]; then
  echo "before, one process per picture: $(timed old_batch)"
  echo "before and now: $(same_folders old-batch j1-batch)"
fi

for picture in big4000 noise4000; do
  echo
  echo "== peak memory, 4000x4000 24-bit picture $picture.bmp ($(stat -c %s $picture.bmp) bytes)"
  echo "-j 1: $(peak_mb "$cli" convert --quiet -j 1 --output-dir j1 $picture.bmp)," \
       "GD file $(stat -c %s j1/$picture.GD) bytes"
  echo "-j 2: $(peak_mb "$cli" convert --quiet -j 2 --output-dir j2 $picture.bmp)"
  if [ -n "$old_cli" ]; then
    echo "before: $(peak_mb "$old_cli" convert --quiet --output-dir old $picture.bmp)"
    echo "before and now: $(same_folders old j1)"
  fi
done
printf '\nload average at end: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
