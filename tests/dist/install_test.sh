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
         share/doc/brisko/README share/doc/brisko/LICENSE share/doc/brisko/manual.txt \
         share/man/man1/brisko.1.gz share/bash-completion/completions/brisko \
         share/metainfo/io.github.quillmoor.brisko.metainfo.xml; do
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
# --- a prefix the desktop does not read gets no cache and no file of the Debian package
for f in share/mime/mime.cache share/mime/globs2 share/applications/mimeinfo.cache \
         share/icons/hicolor/icon-theme.cache share/doc/brisko/copyright share/doc/brisko/changelog.Debian.gz \
         share/lintian; do
  [ ! -e "$prefix/$f" ] || fail "$f was written into the prefix"
done
[ -x "$prefix/share/doc/brisko/examples/make-demo.sh" ] && fail "the example in the documents is executable"
cmp -s "$prefix/share/doc/brisko/README" "$(dirname "$0")/../../dist/doc/README" ||
  fail "the documents hold another README than the user's"
# The MIME database, once refreshed, must map *.rmp to the type.
update-mime-database "$prefix/share/mime"
grep -qx "[0-9]*:$mime_type:\*\.rmp" "$prefix/share/mime/globs2" || fail "*.rmp is not in the MIME database"

# --- the manual page, the AppStream metadata, the licence and the shell completion
source=$(cd "$(dirname "$0")/../.." && pwd)
version=$("$prefix/bin/brisko" --version | awk '{ print $2 }')
# What --help lists (one switch at the start of each option line): the page and the
# completion must know every one.
switches=$("$prefix/bin/brisko" --help | sed -n 's/^  \(-[^ ]*\).*/\1/p')
[ -n "$switches" ] || fail "--help lists no switch"

man_warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/brisko.1.gz" 2>&1 >"$scratch/man.txt") ||
  fail "man -l cannot render the manual page"
[ -z "$man_warnings" ] || fail "man -l warns: $man_warnings"
grep -q "Brisko $version" "$scratch/man.txt" || fail "the manual page is not that of version $version"
for s in $switches; do
  # An option's tag stands at the page's first indent.
  awk -v s="$s" 'substr($0, 1, 7) == "       " && $1 == s { found = 1 } END { exit !found }' "$scratch/man.txt" ||
    fail "the manual page does not describe $s"
done

metainfo=$prefix/share/metainfo/io.github.quillmoor.brisko.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
  fail "appstreamcli rejects the metainfo: $(tr '\n' ' ' <"$scratch/appstream.log")"
xpath() { xmllint --xpath "$1" "$metainfo" 2>/dev/null; }
[ "$(xpath 'string(//launchable[@type="desktop-id"])')" = "$(basename "$desktop")" ] ||
  fail "the metainfo launches another desktop entry than $(basename "$desktop")"
[ "$(xpath 'string(//provides/mediatype)')" = "$mime_type" ] || fail "the metainfo does not provide $mime_type"
[ -x "$prefix/bin/$(xpath 'string(//provides/binary)')" ] || fail "the binary the metainfo provides is not installed"
[ "$(xpath 'string(//releases/release[1]/@version)')" = "$version" ] ||
  fail "the newest release in the metainfo is not $version"
for url in $(xpath '//screenshot/image/text()'); do
  [ -s "$source/dist/screenshots/${url##*/}" ] || fail "screenshot ${url##*/} is not in dist/screenshots"
done

# The package's copyright file restates LICENSE, in Debian's machine-readable form.
copyright=$build/dist/copyright
head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
diff <(sed '1,/^Copyright (c)/d; /./,$!d' "$source/LICENSE") \
     <(awk 'n == 2 { sub(/^ /, ""); if ($0 == ".") $0 = ""; print } /^License: MIT$/ { n++ }' "$copyright") >/dev/null ||
  fail "the copyright file's licence text is not that of LICENSE"
grep -qx "Copyright: $(sed -n 's/^Copyright (c) //p' "$source/LICENSE")" "$copyright" ||
  fail "the copyright file names another holder than LICENSE"
zcat "$build/dist/changelog.Debian.gz" | head -n1 | grep -q "^brisko ($version-[0-9]*) " ||
  fail "the newest changelog entry is not for version $version"

# Completion as bash-completion runs it, in a folder of a pattern, a text and a folder.
mkdir -p "$scratch/completion/sub" && touch "$scratch/completion/a.rmp" "$scratch/completion/b.txt"
complete_line() {
  (cd "$scratch/completion" && bash -c '
    source /usr/share/bash-completion/bash_completion && source "$1" && shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _brisko brisko "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' bash "$prefix/share/bash-completion/completions/brisko" "$@")
}
offered=$(complete_line brisko -; complete_line brisko --)
for s in $switches; do
  grep -qxF -- "$s" <<<"$offered" || fail "completion does not offer $s"
done
[ "$(complete_line brisko -w | sort | tr '\n' ' ')" = "-W+ -W- " ] || fail "completion of -w: $(complete_line brisko -w)"
for before in "-R" "--test" "-W+"; do
  got=$(complete_line brisko $before "" | sort | tr '\n' ' ')
  [ "$got" = "a.rmp sub " ] || fail "completion after '$before' offers '$got', not the pattern and the folder"
done

# --- the scheduling units
bash "$(dirname "$0")/service_check.sh" "$prefix/share/systemd/user" "$scratch/service" >"$scratch/service.log" ||
  fail "the scheduling units: $(grep '^FAIL' "$scratch/service.log" | tr '\n' ' ')"

[ "$failures" -eq 0 ] && echo "install checks passed"
exit "$failures"
