#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root made with debootstrap and
# checks, inside it, what a user gets: the program on the PATH, the menu entry and
# icon, the pattern file type, and the scheduling units running a pattern with no
# display. Needs root, debootstrap and the network to a Debian mirror.
#   scripts/check-package.sh build/brisko_0.1.0_amd64.deb [WORK_DIR]
# WORK_DIR (default build/package-check) keeps a pristine root between runs; each run
# installs into a fresh copy of it.
set -euo pipefail
deb=$(realpath "$1")
work=${2:-build/package-check}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
mkdir -p "$work"
work=$(realpath "$work")
pristine=$work/bookworm
root=$work/root

if [ ! -x "$pristine/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
  rm -rf "$pristine"
  debootstrap --variant=minbase bookworm "$pristine" "$mirror"
fi
cgroups=()
# Stops exactly the processes of the test user manager: those in its own cgroups.
stop_user_manager() {
  local pids
  pids=$(for dir in "${cgroups[@]}"; do find "$dir" -name cgroup.procs -exec cat {} + 2>/dev/null; done | sort -u)
  [ -n "$pids" ] || return 0
  kill $pids 2>/dev/null || true
  sleep 1
}
cleanup() {
  stop_user_manager
  umount -R "$root/sys" 2>/dev/null || true
  umount "$root/proc" 2>/dev/null || true
  for dir in "${cgroups[@]}"; do
    find "$dir" -depth -type d -exec rmdir {} + 2>/dev/null || true
  done
}
cleanup
# Never delete through a mount left inside the old root.
if findmnt -rn -o TARGET | grep -q "^$root/"; then
  echo "check-package.sh: something is still mounted under $root" >&2
  exit 1
fi
rm -rf --one-file-system "$root"
cp -a "$pristine" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
trap cleanup EXIT
cp "$deb" "$root/tmp/"
cp "$(dirname "$0")/../tests/dist/service_check.sh" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

echo "== apt install ./$(basename "$deb")"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")" |
  sed -n '/^The following NEW/,/^[0-9]* upgraded/p; /^Setting up brisko/p'

# What the checks below use: xdg-mime, and systemd-analyze for the units.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xdg-utils systemd >/dev/null

cat > "$root/tmp/checks.sh" <<'CHECKS'
set -u
failures=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi; }
show() { echo "\$ $*"; "$@" 2>&1 | sed 's/^/  /'; }

show command -v brisko
show brisko --version
show ls /usr/share/applications/brisko.desktop /usr/share/icons/hicolor/scalable/apps/brisko.svg \
  /usr/share/icons/hicolor/48x48/apps/brisko.png /usr/lib/systemd/user/brisko-run@.service \
  /usr/lib/systemd/user/brisko-run@.timer
check "brisko is on the PATH" test "$(command -v brisko)" = /usr/bin/brisko
check "the menu entry is valid" desktop-file-validate /usr/share/applications/brisko.desktop
check "the menu entry opens patterns" grep -q 'application/x-brisko-pattern' /usr/share/applications/mimeinfo.cache

useradd -m tester
home=/home/tester
show runuser -u tester -- sh -c 'echo "[Schedule0]" > ~/some.rmp && xdg-mime query filetype ~/some.rmp'
check "xdg-mime knows the pattern type" \
  test "$(runuser -u tester -- xdg-mime query filetype "$home/some.rmp")" = application/x-brisko-pattern

# The units and the service's command, as the user, with no display.
runuser -u tester -- bash /tmp/service_check.sh /usr/lib/systemd/user "$home/service" ||
  failures=$((failures + $?))
exit "$failures"
CHECKS
echo "== checks inside the fresh root"
status=0
in_root bash /tmp/checks.sh || status=$?

# A real systemd user manager for the tester, where this machine lets one run: it
# needs the host's cgroup file system, a cgroup it may own, and /run/systemd/system
# to believe it runs under systemd.
echo "== systemctl --user, in a user manager of the tester's"
uid=$(in_root id -u tester)
if [ -e /sys/fs/cgroup/cgroup.controllers ]; then
  hierarchies=(/sys/fs/cgroup)
else
  hierarchies=(/sys/fs/cgroup/systemd /sys/fs/cgroup/unified)
fi
for h in "${hierarchies[@]}"; do
  [ -d "$h" ] || continue
  mkdir -p "$h/brisko-check" && chown -R "$uid" "$h/brisko-check" && cgroups+=("$h/brisko-check")
done
mkdir -p "$root/sys" "$root/run/systemd/system" "$root/run/user/$uid"
mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
in_root chown tester: "/run/user/$uid" && chmod 700 "$root/run/user/$uid"
as_tester() {
  chroot "$root" setpriv --reuid="$uid" --regid="$uid" --init-groups env -i HOME=/home/tester \
    PATH=/usr/bin:/bin XDG_RUNTIME_DIR="/run/user/$uid" LANG=C.UTF-8 "$@"
}
(
  for dir in "${cgroups[@]}"; do echo "$BASHPID" > "$dir/cgroup.procs"; done
  exec chroot "$root" setpriv --reuid="$uid" --regid="$uid" --init-groups env -i HOME=/home/tester \
    PATH=/usr/bin:/bin XDG_RUNTIME_DIR="/run/user/$uid" /lib/systemd/systemd --user
) >/dev/null 2>&1 &
for _ in $(seq 50); do
  as_tester systemctl --user is-system-running >/dev/null 2>&1 && break
  sleep 0.2
done
if ! as_tester systemctl --user is-system-running >/dev/null 2>&1; then
  echo "no systemd user manager can run here; systemd-analyze verify above stands for it"
  exit "$status"
fi
cat > "$root/tmp/systemctl-checks.sh" <<'SYSTEMCTL'
set -u
failures=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi; }
echo old > ~/service/target/old.tmp; touch -d "40 days ago" ~/service/target/old.tmp
# A desktop session exports its display to the manager; the scheduled run must not use it.
systemctl --user set-environment DISPLAY=:99 WAYLAND_DISPLAY=wayland-99
unit=brisko-run@$(systemd-escape --path ~/service/daily.rmp)
echo "\$ systemctl --user start $unit.service"
systemctl --user start "$unit.service"; status=$?
systemctl --user status --no-pager "$unit.service" 2>&1 | sed -n '1,3p'
check "the service ran the pattern" test "$status" = 0 -a ! -e ~/service/target/old.tmp -a -e ~/service/target/new.tmp
missing=brisko-run@$(systemd-escape --path ~/service/missing.rmp)
echo "\$ systemctl --user start $missing.service"
systemctl --user start "$missing.service" 2>/dev/null
check "a missing pattern fails the service" test "$(systemctl --user is-failed "$missing.service")" = failed
echo "\$ systemctl --user enable --now $unit.timer"
systemctl --user enable --now "$unit.timer" 2>&1
systemctl --user list-timers --no-pager "brisko-run@*" | sed -n '1,2p'
check "the timer is waiting" test "$(systemctl --user is-active "$unit.timer")" = active
exit "$failures"
SYSTEMCTL
chmod 644 "$root/tmp/systemctl-checks.sh"
as_tester bash /tmp/systemctl-checks.sh || status=$?
exit "$status"
