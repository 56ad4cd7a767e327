#!/bin/sh
# Starts the program's windows under Xvfb and saves their pictures in docs/.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
ORVALIS_EXTRA_PACKAGES="xvfb xauth" "$root/scripts/install-deps.sh"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target orvalis_screenshots
mkdir -p docs
xvfb-run -a -s '-screen 0 1600x1000x24' "$root/build/release/orvalis_screenshots" "$root/docs" "$root/examples"
