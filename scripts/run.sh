#!/bin/sh
# Installs what is missing, builds Orvalis in Release and starts it with examples/study.txt
# selected in its file picker (or with the file given as the argument).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release
cd "$root/examples"
if [ "$#" -eq 0 ]; then
    set -- "$root/examples/study.txt"
fi
exec "$root/build/release/orvalis" "$@"
