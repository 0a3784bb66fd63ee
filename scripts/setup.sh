#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Brisko need.
# Does nothing when everything is present; runs apt-get update only before an install.
#   scripts/setup.sh          packages for building and testing
#   scripts/setup.sh --run    also the fonts and icons the window needs on screen
#   scripts/setup.sh --package  also what `make package` needs
#   scripts/setup.sh --bench    also the tools bench_program compares with
#   scripts/setup.sh --fuzz     also clang and its sanitizer and libFuzzer runtimes
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev
  qt6-base-dev qt6-base-dev-tools libqt6dbus6 libqt6svg6 qt6-qpa-plugins
  # lrelease builds the English texts into the program; lupdate gathers them
  qt6-l10n-tools
  # the desktop files: icon rendering, and the checkers the install test runs
  librsvg2-bin desktop-file-utils libxml2-utils shared-mime-info systemd
  # the manual page, AppStream metadata and shell completion the install test checks
  man-db groff-base appstream bash-completion
  # Qt's own texts (file choosers, standard buttons) in the languages the tests run in
  qt6-translations-l10n
  # the layering test reads the include lines
  python3
  # a private bus for the schedule dialog's stand-in manager; a real notification
  # daemon on a virtual display for the notices of unattended runs
  dbus-daemon dbus-bin xvfb dunst
)
if [ "${1:-}" = "--run" ]; then
  # Japanese texts need a CJK font; the tool bar takes its images from an icon theme.
  packages+=(fonts-ipafont-gothic adwaita-icon-theme)
elif [ "${1:-}" = "--fuzz" ]; then
  # The fuzz targets build with clang; -fsanitize=fuzzer links the runtime from libclang-rt.
  packages+=(clang libclang-rt-14-dev)
elif [ "${1:-}" = "--package" ]; then
  # CPack works out the package's library dependencies with dpkg-shlibdeps;
  # lintian checks the package it makes.
  packages+=(dpkg-dev file lintian)
elif [ "${1:-}" = "--bench" ]; then
  # The tools the benchmarks of the real program compare it with.
  packages+=(findutils trash-cli systemd tmpreaper libglib2.0-bin)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# Another package manager (an upgrade in the background, a software centre) holds
# the lock for a while: wait for it, saying so, rather than fail.
apt_get() {
  local errors status said=""
  errors=$(mktemp)
  while :; do
    status=0
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>"$errors" || status=$?
    if [ "$status" -eq 0 ]; then
      cat "$errors" >&2
      break
    fi
    if ! grep -qE 'Could not get lock|Unable to lock|Unable to acquire the dpkg frontend lock' "$errors"; then
      cat "$errors" >&2
      break
    fi
    if [ -z "$said" ]; then
      echo "Another package manager is at work ($(grep -o 'held by process [0-9]* ([^)]*)' "$errors" | head -n1 ||
        echo 'it holds the lock')); waiting for it to finish (Ctrl+C to give up)..." >&2
      said=yes
    fi
    sleep 5
  done
  rm -f "$errors"
  return "$status"
}

echo "Installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
