#!/bin/sh
# Installs what is missing, builds Orvalis in Release and starts it with examples/ as the current directory.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release
cd "$root/examples"
exec "$root/build/release/orvalis" "$@"
