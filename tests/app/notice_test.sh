#!/usr/bin/env bash
# The notice after an unattended run, against a real notification daemon (dunst) on a
# private session bus and a virtual display: a run that failed sends one with the
# pattern's name, what happened and the "Show log" action; a run that went well sends
# none unless BRISKO_NOTIFY=always; without a session bus the run sends nothing and
# does not wait. Prints a line per check and exits with the number that failed.
#   tests/app/notice_test.sh BUILD_DIR
set -uo pipefail
brisko=$1/brisko
work=$(mktemp -d)
pids=()
cleanup() {
  DBUS_SESSION_BUS_ADDRESS=${address:-} dunstctl close-all 2>/dev/null
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

for n in $(seq 140 199); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
dbus-daemon --session --nofork --print-address=3 3>"$work/address" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/address" ] && break; sleep 0.1; done
address=$(head -n1 "$work/address")
mkdir -p "$work/home" "$work/empty" "$work/runtime"
chmod 700 "$work/runtime"
DISPLAY=$display HOME=$work/home DBUS_SESSION_BUS_ADDRESS=$address dunst >/dev/null 2>&1 &
pids+=($!)
dbus-monitor --address "$address" "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$work/monitor" 2>/dev/null &
pids+=($!)
daemon_up() {
  dbus-send --bus="$address" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null | grep -q true
}
for _ in $(seq 50); do daemon_up && break; sleep 0.1; done
check "dunst serves notifications on the private bus" daemon_up

crlf() { printf '%s\r\n' "$@"; }
crlf '[Schedule0]' 'Location=relative/folder' 'Mask=*' 'Except=' 'LapsedDays=M+7' 'Attribute=' 'Option=' >"$work/bad.rmp"
crlf '[Schedule0]' "Location=$work/empty" 'Mask=*' 'Except=' 'LapsedDays=M+7' 'Attribute=' 'Option=' >"$work/good.rmp"

# A headless run in English, with a home of its own.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u LANGUAGE HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_STATE_HOME="$work/home/.local/state" XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8 \
    "$@" "$brisko" -R "$pattern" 2>/dev/null
}
notices() { grep -c 'member=Notify' "$work/monitor"; }
# Waits up to 5 s for the count of notices to reach $1.
await() {
  for _ in $(seq 50); do [ "$(notices)" -ge "$1" ] && return 0; sleep 0.1; done
  return 1
}
has() { grep -Fqx -- "$1" "$work/monitor"; }

pattern=$work/bad.rmp
status=0
run env DBUS_SESSION_BUS_ADDRESS="$address" || status=$?
check "a run that fails exits 1" test "$status" -eq 1
check "it sends a notice" await 1
check "the summary is the pattern's name" has '   string "bad.rmp"'
check "the body says what happened" has '   string "The run ended on an error."'
check "the action shows the log" has '      string "show-log"'
check "the action's caption" has '      string "Show log"'
check "the daemon shows it" test "$(DBUS_SESSION_BUS_ADDRESS=$address dunstctl count displayed)" -ge 1

pattern=$work/good.rmp
status=0
run env DBUS_SESSION_BUS_ADDRESS="$address" || status=$?
check "a run that went well exits 0" test "$status" -eq 0
sleep 2
check "and sends nothing by default" test "$(notices)" -eq 1
run env DBUS_SESSION_BUS_ADDRESS="$address" BRISKO_NOTIFY=always
check "BRISKO_NOTIFY=always: a notice after a good run too" await 2
check "which says the run is over" has '   string "The run is over."'

pattern=$work/bad.rmp
start=$(date +%s%N)
status=0
run env -u DBUS_SESSION_BUS_ADDRESS || status=$?
elapsed=$((($(date +%s%N) - start) / 1000000))
echo "run without a session bus: ${elapsed} ms"
check "without a session bus the failed run still exits 1" test "$status" -eq 1
check "at once" test "$elapsed" -lt 3000
sleep 1
check "and nothing reaches the bus" test "$(notices)" -eq 2
exit "$failures"
