#!/bin/sh
# Builds the libFuzzer targets with clang and runs each (default 60 s): the data-file import on a
# corpus seeded from examples/ and fuzz/seeds, the readers of the other formats on
# tests/data/formats, the output-file reader on fuzz/seeds-output.
# Usage: scripts/fuzz.sh [SECONDS]
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
# clang first, then the libFuzzer runtime of the clang version installed.
ORVALIS_EXTRA_PACKAGES="clang" "$root/scripts/install-deps.sh"
major="$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)"
ORVALIS_EXTRA_PACKAGES="libclang-rt-$major-dev" "$root/scripts/install-deps.sh"
cd "$root"
cmake --preset fuzz -DORVALIS_WARNINGS_AS_ERRORS="${ORVALIS_WARNINGS_AS_ERRORS:-OFF}" >/dev/null
cmake --build --preset fuzz
work="$root/build/fuzz/corpus"
mkdir -p "$work"
# Seeds: each example file behind each delimiter byte, plus the edge cases kept in fuzz/seeds.
for file in examples/*.txt examples/*.dat fuzz/seeds/*; do
    name="$(basename "$file")"
    for d in 0 1 2 3 4; do
        { printf "\\$(printf '%03o' "$d")"; cat "$file"; } > "$work/$d-$name"
    done
done
"$root/build/fuzz/fuzz/fuzz_import" -max_total_time="$seconds" -max_len=65536 -timeout=10 "$work"

formats="$root/build/fuzz/corpus-formats"
mkdir -p "$formats"
cp tests/data/formats/study.* tests/data/formats/pspp.* tests/data/formats/bomb.ods tests/data/formats/hostile/* "$formats/"
"$root/build/fuzz/fuzz/fuzz_formats" -max_total_time="$seconds" -max_len=65536 -timeout=10 "$formats"

output="$root/build/fuzz/corpus-output"
mkdir -p "$output"
cp fuzz/seeds-output/* examples/*.txt "$output/"
"$root/build/fuzz/fuzz/fuzz_output_file" -max_total_time="$seconds" -max_len=65536 -timeout=10 "$output"
