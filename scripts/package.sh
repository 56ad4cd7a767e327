#!/bin/sh
# Builds the Debian package build/package/orvalis_VERSION_ARCH.deb (install it with
# `sudo apt install ./build/package/orvalis_*.deb`).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
# dpkg-dev gives dpkg-shlibdeps, which computes the package's dependencies.
ORVALIS_EXTRA_PACKAGES="dpkg-dev ${ORVALIS_EXTRA_PACKAGES:-}" "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/package" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DORVALIS_BUILD_TESTS=OFF -DORVALIS_BUILD_BENCH=OFF
cmake --build "$root/build/package"
cd "$root/build/package"
rm -f orvalis_*.deb
cpack -G DEB
ls "$root"/build/package/orvalis_*.deb
