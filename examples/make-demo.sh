#!/usr/bin/env bash
# Creates the demo folder and the demo pattern that `make run` opens.
set -euo pipefail
dir=${1:-/tmp/brisko-demo}
mkdir -p "$dir/files"
echo "Demo folder: $dir"
