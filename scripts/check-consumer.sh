#!/usr/bin/env bash
# Installs a build into a temporary prefix, then runs the installed tool on
# its bundled sample and builds and runs the example consumer against the
# installed tree: once through find_package, once through pkg-config. The
# installed binaries find their libraries by their own RPATH, with no
# LD_LIBRARY_PATH. A broken install fails here.
set -euo pipefail
build=${1:?usage: check-consumer.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check-consumer: $*" >&2
  exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

expected="5 found 101 20480"
sample=$prefix/share/extentbrowse/sample-index.tsv
out=$("$prefix/bin/extent-browse" --path /data/reports/annual.bin lookup 5)
[ "$out" = "$expected" ] || fail "installed extent-browse printed '$out', not '$expected'"

cmake -S "$root/examples/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
out=$("$work/cmake-build/consumer" "$sample" /data/reports/annual.bin 5)
[ "$out" = "$expected" ] || fail "consumer (CMake) printed '$out', not '$expected'"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig"
pkg-config --exists extentbrowse
# The .pc file names the prefix it was installed to, literally.
[ "$(pkg-config --variable=prefix extentbrowse)" = "$prefix" ] ||
  fail "extentbrowse.pc says prefix=$(pkg-config --variable=prefix extentbrowse), not $prefix"
flags=$(pkg-config --cflags --libs extentbrowse)
if grep -q -- '\.\.' <<<"$flags"; then
  fail "pkg-config flags hold a '..': $flags"
fi
# shellcheck disable=SC2086
g++ -std=c++17 "$root/examples/consumer/main.cpp" -o "$work/consumer-pc" $flags
out=$("$work/consumer-pc" "$sample" /data/reports/annual.bin 5)
[ "$out" = "$expected" ] || fail "consumer (pkg-config) printed '$out', not '$expected'"
echo "consumer: installed tool runs; installed package builds and runs (CMake and pkg-config)"
