#!/usr/bin/env bash
# Retakes the screenshots the AppStream metainfo shows: the main window after a test
# of the example pattern, and the item editor, on a virtual display. Not part of the
# build; it needs (as root: apt-get install ...) xvfb openbox xdotool imagemagick.
#   dist/screenshots/take-screenshots.sh [BUILD_DIR] [LANG] [SUFFIX]
# e.g. take-screenshots.sh build en_US.UTF-8   (main-window.png, item-editor.png)
#      take-screenshots.sh build ja_JP.UTF-8 -ja
set -euo pipefail
build=${1:-build}
lang=${2:-en_US.UTF-8}
suffix=${3:-}
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

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
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
LANG=$lang "$program" "$demo/demo.rmp" &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --class brisko | head -n1)
xdotool windowsize "$window" 960 600 windowmove "$window" 40 40
sleep 1

shoot() { import -window "$1" -frame "$here/$2$suffix.png" && echo "$here/$2$suffix.png"; }

# Every item selected and tested: the list and its result lines.
xdotool mousemove --window "$window" 200 120 click 1
xdotool key --window "$window" ctrl+a
sleep 0.3
xdotool key --window "$window" alt+d t
sleep 2
shoot "$window" main-window

# The editor on the third item (folder, masks, letters all in use).
xdotool mousemove --window "$window" 200 120 click 1 key --window "$window" Home Down Down
xdotool key --window "$window" ctrl+m
sleep 1.5
shoot "$(xdotool getactivewindow)" item-editor
xdotool key Escape
