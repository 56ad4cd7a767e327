#!/bin/sh
# Installs what is missing, builds Orvalis in Release and runs every test headless (offscreen Qt).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cd "$root"
# CI sets ORVALIS_WARNINGS_AS_ERRORS=ON.
cmake --preset release -DORVALIS_WARNINGS_AS_ERRORS="${ORVALIS_WARNINGS_AS_ERRORS:-OFF}" >/dev/null
cmake --build --preset release
QT_QPA_PLATFORM=offscreen ctest --preset release --output-on-failure
