#!/bin/sh
# Installs a build into a staging folder (DESTDIR) and checks that every file is where it belongs.
# Usage: scripts/check-install.sh [BUILD_DIR]   (default: build/release)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
missing=0
for file in \
    usr/bin/orvalis \
    usr/bin/orvalis-cli \
    usr/share/applications/org.orvalis.Orvalis.desktop \
    usr/share/metainfo/org.orvalis.Orvalis.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/org.orvalis.Orvalis.svg \
    usr/share/icons/hicolor/48x48/apps/org.orvalis.Orvalis.png \
    usr/share/icons/hicolor/256x256/apps/org.orvalis.Orvalis.png \
    usr/share/man/man1/orvalis-cli.1 \
    usr/share/doc/orvalis/guide.html \
    usr/share/orvalis/examples/study.txt \
    usr/share/orvalis/examples/wellbeing.txt; do
    if [ ! -f "$stage/$file" ]; then
        echo "missing after install: /$file" >&2
        missing=1
    fi
done
# The installed command line runs on the installed examples, and reads the
# other formats through its libraries (ReadStat, libzip, expat).
"$stage/usr/bin/orvalis-cli" "$stage/usr/share/orvalis/examples/study.txt" summary >/dev/null
if ldd "$stage/usr/bin/orvalis-cli" | grep -q "not found"; then
    echo "the installed orvalis-cli lacks a library:" >&2
    ldd "$stage/usr/bin/orvalis-cli" | grep "not found" >&2
    missing=1
fi
for sample in study.sav study.dta study.xlsx study.ods; do
    "$stage/usr/bin/orvalis-cli" "$root/tests/data/formats/$sample" summary >/dev/null
done
[ "$missing" -eq 0 ] && echo "install check: every file in place"
exit "$missing"
