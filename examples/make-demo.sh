#!/usr/bin/env bash
# Creates the demo folder and the demo pattern that `make run` opens: files of
# various ages, so that Test shows result lines at once, and a pattern whose every
# item points inside the demo folder, so that Run deletes nothing outside it.
#   examples/make-demo.sh [FOLDER]     (default /tmp/brisko-demo)
set -euo pipefail
dir=${1:-/tmp/brisko-demo}
case "$dir" in
  /*) ;;
  *) dir="$PWD/$dir" ;;
esac
if [ "$dir" = / ] || [ "$dir" = "$HOME" ]; then
  echo "make-demo.sh: refusing to use $dir as the demo folder" >&2
  exit 1
fi

rm -rf "$dir/files"
mkdir -p "$dir/files/cache" "$dir/files/logs" "$dir/files/downloads/old-project"

# name, age: the file's last-write and last-access time is set that far back.
make_file() {
  printf 'demo file %s\n' "$1" > "$dir/files/$1"
  touch -d "$2" "$dir/files/$1"
}
make_file cache/thumb-001.tmp "40 days ago"
make_file cache/thumb-002.tmp "12 days ago"
make_file cache/thumb-003.tmp "2 days ago"
make_file cache/session.tmp "3 hours ago"
make_file cache/keep-index.tmp "90 days ago"
make_file logs/app-2024-01.log "120 days ago"
make_file logs/app-2024-02.log "95 days ago"
make_file logs/app-current.log "1 hour ago"
make_file logs/error.log.bak "31 days ago"
make_file downloads/installer.iso.part "20 days ago"
make_file downloads/report.pdf "45 days ago"
make_file downloads/notes.txt "5 days ago"
make_file downloads/old-project/main.c "200 days ago"
make_file downloads/old-project/README "200 days ago"
make_file downloads/.hidden-temp.tmp "60 days ago"
touch -d "200 days ago" "$dir/files/downloads/old-project"

# The pattern: one INI section per item, keys in the order the program writes them.
f="$dir/files"
cat > "$dir/demo.rmp" <<PATTERN
[Schedule0]
Location=$f/cache
Mask=*.tmp
Except=keep*
LapsedDays=M+7
Attribute=
Option=
[Schedule1]
Location=$f/logs
Mask=*.log;*.bak
Except=*current*
LapsedDays=M+30
Attribute=
Option=
[Schedule2]
Location=$f/downloads
Mask=*
Except=*.pdf;*.part
LapsedDays=M+14
Attribute=HD
Option=T
[Schedule3]
Location=$f/downloads
Mask=*.part
Except=
LapsedDays=C+0
Attribute=
Option=
PATTERN
# The line ends the program writes.
sed -i 's/$/\r/' "$dir/demo.rmp"
echo "Demo folder: $dir (pattern $dir/demo.rmp)"
