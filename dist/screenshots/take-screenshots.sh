#!/usr/bin/env bash
# Takes screenshots of Brisko on a virtual 1366x768 display: the main window after a
# test of the example pattern, the item editor (opened with Enter on the third item),
# the options dialog, the save question and the About box. Not part of the build; it
# needs (as root: apt-get install ...) xvfb openbox xdotool imagemagick x11-utils.
#   dist/screenshots/take-screenshots.sh [BUILD_DIR] [LANG] [SCALE] [OUT_DIR]
# With no OUT_DIR it retakes the two screenshots the AppStream metainfo shows
# (English, scale 1, main-window.png and item-editor.png here); with one it writes
# the whole screen at every step into OUT_DIR, to see what fits where, e.g.
#   take-screenshots.sh build ja_JP.UTF-8 2 /tmp/shots-ja-2
set -euo pipefail
build=${1:-build}
lang=${2:-en_US.UTF-8}
scale=${3:-1}
out=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$build/brisko")
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# A home of its own: no settings of the caller's, and the example in a short folder.
mkdir -p "$work/home"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state
unset LANGUAGE LC_ALL LC_MESSAGES
demo=/tmp/brisko-demo
"$here/../../examples/make-demo.sh" "$demo" >/dev/null
LANG=$lang QT_SCALE_FACTOR=$scale "$program" "$demo/demo.rmp" &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --class brisko | head -n1)
# The menu of Test and Run: "&Run" in English, "削除(&D)" in Japanese.
case "$lang" in ja*) run_menu=alt+d ;; *) run_menu=alt+r ;; esac
if [ -z "$out" ]; then
  xdotool windowsize "$window" 960 600 windowmove "$window" 40 40
fi
sleep 1.5

shoot() {
  local file
  if [ -n "$out" ]; then
    file=$out/$2.png
    mkdir -p "$out"
    import -window root "$file"
  else
    file=$here/$2.png
    import -window "$1" -frame "$file"
  fi
  echo "$file"
}
active() { xdotool getactivewindow; }

# Every item selected and tested: the list and its result lines.
xdotool windowactivate --sync "$window"
xdotool key --window "$window" ctrl+a
sleep 0.3
xdotool key --window "$window" "$run_menu" t
sleep 2.5
shoot "$window" main-window

# The editor on the third item (folder, masks, letters all in use), opened with Enter.
xdotool key --window "$window" Home Down Down Return
sleep 2
shoot "$(active)" item-editor
xdotool key Escape
[ -z "$out" ] && exit 0
sleep 1

# The options dialog.
xdotool key --window "$window" alt+o c
sleep 2
shoot "$(active)" options
xdotool key Escape
sleep 1

# The save question: the third item moved down, then File > New.
xdotool key --window "$window" alt+i n
sleep 0.5
xdotool key --window "$window" ctrl+n
sleep 2
shoot "$(active)" save-question
xdotool key Escape
sleep 1

# About.
xdotool key --window "$window" alt+h a
sleep 2
shoot "$(active)" about
xdotool key Escape
