#!/usr/bin/env bash
# Drives krelt.exe under wine by keyboard, as a person would, for each
# picture: Find.., its path typed into the file dialog, Conversion. Checks
# that each GD file it writes is byte for byte the Linux krelt-cli's and
# saves a screenshot of the dialog after the first conversion. Then
# converts the first picture named at start (`krelt PICTURE`) in a folder
# with a non-ASCII name, which xdotool can't type reliably, and once more
# mapped onto a colour table chosen with the colours control, and checks
# those GD files too.
# Usage: scripts/test-windows-dialog.sh KRELT_EXE LINUX_KRELT_CLI SCRATCH_DIR SCREENSHOT PICTURE...
# Runs on the X display in DISPLAY (test-windows.sh starts Xvfb) and in the
# wine prefix in WINEPREFIX. Every wait is for a window to come or go, by
# its title, or for a file, with a time limit; there are no fixed sleeps.
set -euo pipefail

if [ $# -lt 5 ]; then
  echo "Usage: $0 KRELT_EXE LINUX_KRELT_CLI SCRATCH_DIR SCREENSHOT PICTURE..." >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="$1"
linux_cli="$2"
scratch="$3"
screenshot="$4"
shift 4
: "${DISPLAY:?needs an X display}"
# Wine maps arguments and file names between UTF-8 and UTF-16 by the locale.
export LC_ALL=C.UTF-8
timeout_seconds=120
title='^Krelt [0-9.]+$'

fail() {
  echo "$0: $*" >&2
  import -window root "$scratch/failure.png" 2>/dev/null || true
  [ -f "$scratch/krelt.log" ] && cat "$scratch/krelt.log" >&2
  exit 1
}

# Waits until the command succeeds, at most timeout_seconds.
wait_until() {
  local what="$1"
  shift
  local deadline=$((SECONDS + timeout_seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "timed out waiting for $what"
    sleep 0.1
  done
}
window_shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
window_gone() { ! window_shown "$1"; }
# The X window of that title; without a window manager the focus follows
# no window, so each gets it by hand, as a window manager would give it.
focus_window() {
  local window
  window="$(xdotool search --onlyvisible --name "$1" | head -n 1)"
  xdotool windowfocus --sync "$window"
  echo "$window"
}
# The scratch folder is drive D: in wine, so the dialog and its screenshot
# show a short path such as D:\art\spin.xsp rather than the build folder's.
windows_path() {
  local path="$1" drive="Z:"
  case "$path" in "$scratch"/*) path="${path#"$scratch"}"; drive="D:" ;; esac
  path="${path//\//\\}"
  echo "$drive$path"
}

# Starts krelt.exe with the arguments given and focuses its window.
start_dialog() {
  "$root/scripts/wine-run.sh" "$exe" "$@" >"$scratch/krelt.log" 2>&1 &
  krelt_pid=$!
  wait_until "the dialog" window_shown "$title"
  main_window="$(focus_window "$title")"
}
# Escape closes the dialog, and krelt.exe ends with status 0.
close_dialog() {
  xdotool windowfocus --sync "$main_window"
  xdotool key Escape
  wait_until "the dialog to close" window_gone "$title"
  wait "$krelt_pid" || fail "krelt.exe exited with status $?"
}
# Copies the picture into the folder, where krelt.exe is to convert it,
# and converts it with krelt-cli elsewhere, with the options after the
# folder, for the bytes to expect.
expect_conversion() {
  local picture="$1" folder="$2" name
  shift 2
  name="$(basename "$picture")"
  local expected="$scratch/linux/$(basename "$folder")/$name"
  mkdir -p "$folder" "$expected"
  cp "$picture" "$folder/"
  cp "$picture" "$expected/"
  "$linux_cli" convert --quiet "$@" "$expected/$name" >/dev/null
}
# Waits for the GD file of the picture in the folder and compares it.
check_conversion() {
  local name folder="$2"
  name="$(basename "$1")"
  local written="$folder/${name%.*}.GD"
  wait_until "$written" test -f "$written"
  cmp "$scratch/linux/$(basename "$folder")/$name/${name%.*}.GD" "$written" ||
    fail "krelt.exe wrote other bytes than krelt-cli to $written"
}
# Types the path into the file dialog that opens and closes it.
choose_in_file_dialog() {
  wait_until "the file dialog" window_shown '^Open$'
  focus_window '^Open$' >/dev/null
  xdotool type --delay 10 "$(windows_path "$1")"
  xdotool key Return
  wait_until "the file dialog to close" window_gone '^Open$'
  xdotool windowfocus --sync "$main_window"
}
# Find.., the path, Conversion in a dialog just started.
convert_by_keyboard() {
  local picture="$1"
  expect_conversion "$picture" "$scratch/art"
  xdotool key space  # Find.. has the focus at start
  choose_in_file_dialog "$scratch/art/$(basename "$picture")"
  xdotool key Tab Tab space  # Find.. -> the path field -> Conversion
  check_conversion "$picture" "$scratch/art"
}

if [ -e "$scratch" ] && [ ! -d "$scratch" ]; then
  echo "$0: $scratch is not a folder" >&2
  exit 2
fi
rm -rf "$scratch"
mkdir -p "$scratch"
ln -sfn "$scratch" "${WINEPREFIX:-$HOME/.wine}/dosdevices/d:"
trap 'kill "${krelt_pid:-}" 2>/dev/null || true' EXIT

start_dialog
convert_by_keyboard "$1"
# F1's help comes after what the conversion posted to the window, so once
# it shows, the report and the preview are drawn.
xdotool key F1
wait_until "the help" window_shown '^Krelt help$'
focus_window '^Krelt help$' >/dev/null
xdotool key Return
wait_until "the help to close" window_gone '^Krelt help$'
mkdir -p "$(dirname "$screenshot")"
import -window "$main_window" "$screenshot"
close_dialog
# Each further picture in a dialog of its own, which starts on Find..;
# Escape right after a conversion closes the dialog once the run is over.
for picture in "${@:2}"; do
  start_dialog
  convert_by_keyboard "$picture"
  close_dialog
done

unicode_folder="$scratch/Bilder-"$'\xc3\xa4\xc3\xb6\xe2\x82\xac'  # Bilder-äö€ in UTF-8
expect_conversion "$1" "$unicode_folder"
start_dialog "$(windows_path "$unicode_folder/$(basename "$1")")"
xdotool key Tab Tab space
check_conversion "$1" "$unicode_folder"
close_dialog

# The colours control: from Find.., nine Tabs reach the mode list (Open.. is
# disabled and skipped); Down picks "map to a table..", which asks for the
# table first; seven Shift+Tabs go back to Conversion. The table, which
# krelt-cli builds from the picture's colours, holds every one of them, so
# that no warning comes up; its order is not the picture's palette's.
table="$scratch/table.pal"
"$linux_cli" convert --quiet --colors 256 --palette-out "$table" --output-dir "$scratch" "$1" \
  >/dev/null
expect_conversion "$1" "$scratch/mapped" --map-palette "$table"
start_dialog "$(windows_path "$scratch/mapped/$(basename "$1")")"
xdotool key Tab Tab Tab Tab Tab Tab Tab Tab Tab Down
choose_in_file_dialog "$table"
xdotool key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
check_conversion "$1" "$scratch/mapped"
close_dialog
trap - EXIT
echo "krelt.exe wrote the GD files of $* (and of $1 mapped onto a table) as krelt-cli does; screenshot in $screenshot"
