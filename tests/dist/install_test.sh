#!/usr/bin/env bash
# Installs the build into a scratch prefix, as `cmake --install` does for a user,
# and checks what the desktop and systemd will read from it.
#   tests/dist/install_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log" >&2; exit 1; }

# --- the files are where the desktop looks for them
desktop=$prefix/share/applications/brisko.desktop
mime_xml=$prefix/share/mime/packages/brisko.xml
for f in bin/brisko share/applications/brisko.desktop share/mime/packages/brisko.xml \
         share/icons/hicolor/scalable/apps/brisko.svg \
         share/icons/hicolor/scalable/mimetypes/application-x-brisko-pattern.svg \
         share/systemd/user/brisko-run@.service share/systemd/user/brisko-run@.timer \
         share/doc/brisko/README.md; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done

# Each PNG icon must be as large as the folder it sits in says.
png_width() { od -An -tu1 -j16 -N4 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }'; }
pngs=0
for png in "$prefix"/share/icons/hicolor/*x*/apps/brisko.png; do
  [ -e "$png" ] || break
  pngs=$((pngs + 1))
  size=$(basename "$(dirname "$(dirname "$png")")")
  [ "$(png_width "$png")x$(png_width "$png")" = "$size" ] || fail "$png is $(png_width "$png") wide, not $size"
done
[ "$pngs" -ge 4 ] || fail "only $pngs PNG icon sizes installed"

# --- the desktop entry and the pattern file type
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects brisko.desktop"
xmllint --noout "$mime_xml" || fail "xmllint rejects the MIME package"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "${exec_line%% *}" = "$prefix/bin/brisko" ] || fail "Exec= names '${exec_line%% *}', not the installed program"
[ -x "${exec_line%% *}" ] || fail "the program named by Exec= cannot be run"
# Docks match the progress signal's application:// name against the entry's file name.
grep -qa "application://$(basename "$desktop")" "$prefix/bin/brisko" ||
  fail "the task bar progress names another desktop entry than $(basename "$desktop")"
mime_type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime_xml")
grep -qx "MimeType=$mime_type;" "$desktop" || fail "the desktop entry does not open $mime_type"
# The install refreshed the MIME database, which must map *.rmp to the type.
grep -qx "[0-9]*:$mime_type:\*\.rmp" "$prefix/share/mime/globs2" || fail "*.rmp is not in the MIME database"

# --- the scheduling units
bash "$(dirname "$0")/service_check.sh" "$prefix/share/systemd/user" "$scratch/service" >"$scratch/service.log" ||
  fail "the scheduling units: $(grep '^FAIL' "$scratch/service.log" | tr '\n' ' ')"

[ "$failures" -eq 0 ] && echo "install checks passed"
exit "$failures"
