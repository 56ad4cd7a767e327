#!/bin/sh
# Installs what is missing, builds Orvalis in Release and runs every test headless (offscreen Qt).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release
QT_QPA_PLATFORM=offscreen ctest --preset release --output-on-failure
