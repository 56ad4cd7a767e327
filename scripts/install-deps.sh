#!/bin/sh
# Installs the Debian/Ubuntu packages Orvalis needs to build, test and run, if any are missing.
# Idempotent: does nothing when everything is there. Uses sudo when not run as root.
set -eu

PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libbenchmark-dev \
libboost-math-dev libfast-float-dev libunistring-dev nlohmann-json3-dev qt6-svg-dev fonts-dejavu-core \
libreadstat-dev libzip-dev libexpat1-dev cmark nettle-dev libeigen3-dev \
poppler-utils librsvg2-bin imagemagick"
# poppler-utils, librsvg2-bin and imagemagick: the tests open the exported figures in other programs' readers.
# Extra packages a caller may ask for (for example the screenshot script's xvfb).
PACKAGES="$PACKAGES ${ORVALIS_EXTRA_PACKAGES:-}"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        run=""
    else
        run="sudo"
    fi
    echo "Installing:$missing"
    $run apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $run apt-get install -y -qq --no-install-recommends $missing
fi
