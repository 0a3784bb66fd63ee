#!/usr/bin/env bash
# Checks the scheduling units in UNIT_DIR as systemd will use them, on a pattern it
# writes under WORK_DIR (WORK_DIR/daily.rmp, over WORK_DIR/target): systemd-analyze
# accepts them for the pattern's instance, and the service's command, run with no
# display, deletes the due file and keeps the other. Prints a line per check and
# exits with the number of checks that failed.
#   tests/dist/service_check.sh UNIT_DIR WORK_DIR
set -uo pipefail
units=$1
work=$2
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

mkdir -p "$work/target" "$work/units" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
pattern=$work/daily.rmp
echo old > "$work/target/old.tmp" && touch -d "40 days ago" "$work/target/old.tmp"
echo new > "$work/target/new.tmp"
printf '[Schedule0]\r\nLocation=%s\r\nMask=*.tmp\r\nExcept=\r\nLapsedDays=M+7\r\nAttribute=\r\nOption=\r\n' \
  "$work/target" > "$pattern"

instance=$(systemd-escape --path "$pattern")
cp "$units/brisko-run@.service" "$work/units/brisko-run@$instance.service"
cp "$units/brisko-run@.timer" "$work/units/brisko-run@$instance.timer"
verify() {
  (cd "$work/units" && XDG_RUNTIME_DIR=$work/runtime \
    systemd-analyze --user verify --man=no "brisko-run@$instance.service" "brisko-run@$instance.timer")
}
check "systemd-analyze accepts the units for brisko-run@$instance" verify

# %f is the instance unescaped as a path (with its leading "/"), as systemd expands it.
command=$(sed -n 's/^ExecStart=//p' "$units/brisko-run@.service")
command=${command//%f/$(systemd-escape --unescape --path "$instance")}
echo "\$ $command"
status=0
# A home of its own, so that no settings or log of the caller are read or written.
env -i HOME="$work/home" PATH=/usr/bin:/bin $command || status=$?
check "the service's command exits 0 without a display" test "$status" -eq 0
check "it removed the due file" test ! -e "$work/target/old.tmp"
check "it kept the file that is not due" test -e "$work/target/new.tmp"
exit "$failures"
