#!/usr/bin/env bash
# The program under each locale: an item whose age does not parse ends the run with
# an error on standard error, in Japanese under a Japanese locale and in English under
# any other, from the unattended run (no toolkit) and from the window (offscreen).
# And every text the code hands to tr() has its English in translations/brisko_en.ts.
#   languages_test.sh BUILD_DIR [LUPDATE]
set -uo pipefail
program=$(realpath "$1/brisko")
lupdate=${2:-/usr/lib/qt6/bin/lupdate}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The texts as lupdate gathers them now, against the English kept in the repository.
cp "$source_dir/translations/brisko_en.ts" "$work/current.ts"
(cd "$source_dir" && "$lupdate" -silent -locations none -no-obsolete -source-language ja \
  -target-language en -I . platform shell engine app dialogs controls -ts "$work/current.ts")
if ! cmp -s "$work/current.ts" "$source_dir/translations/brisko_en.ts" || grep -q 'type="unfinished"' "$work/current.ts"; then
  echo "FAIL: texts without English; run: cmake --build build --target update_translations, then translate:" >&2
  diff "$source_dir/translations/brisko_en.ts" "$work/current.ts" >&2
  failures=$((failures + 1))
fi

export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY LANGUAGE LC_ALL LC_MESSAGES LANG
mkdir -p "$work/junk" && : >"$work/junk/a.tmp"
printf '[Schedule0]\nLocation=%s\nMask=*.tmp\nExcept=\nLapsedDays=M+x\nAttribute=\nOption=\n' "$work/junk" >"$work/broken.rmp"
japanese="brisko: 'M+x' は正しい経過日数ではありません"
english="brisko: 'M+x' is not a valid age in days."

# environment (VAR=VALUE ...), expected message
while IFS='|' read -r environment expected; do
  for how in "--test" "-R" "-R offscreen"; do
    platform=; [ "$how" = "-R offscreen" ] && platform=offscreen
    err=$(env $environment QT_QPA_PLATFORM=$platform "$program" ${how%% *} "$work/broken.rmp" 2>&1 >/dev/null)
    if ! grep -qxF "$expected" <<<"$err"; then
      echo "FAIL: $environment brisko $how: got: $err" >&2
      failures=$((failures + 1))
    fi
  done
done <<CASES
LANG=ja_JP.UTF-8|$japanese
LANG=en_US.UTF-8|$english
LANG=C|$english
LC_ALL=C.UTF-8 LANG=ja_JP.UTF-8|$english
LC_MESSAGES=ja_JP.UTF-8 LANG=de_DE.UTF-8|$japanese
LANGUAGE=en LANG=ja_JP.UTF-8|$english
LANGUAGE=ja LANG=en_US.UTF-8|$japanese
CASES
[ -f "$work/junk/a.tmp" ] || { echo "FAIL: the entry went" >&2; failures=$((failures + 1)); }
exit $((failures > 0))
