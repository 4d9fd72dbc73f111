#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds and runs the example
# consumer against the installed tree: once through find_package, once
# through pkg-config. A broken install fails here.
set -euo pipefail
build=${1:?usage: check-consumer.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

cmake -S "$root/examples/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer"

PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib/x86_64-linux-gnu/pkgconfig" \
  pkg-config --exists extentbrowse
flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib/x86_64-linux-gnu/pkgconfig" \
  pkg-config --cflags --libs extentbrowse)
# shellcheck disable=SC2086
g++ -std=c++17 "$root/examples/consumer/main.cpp" -o "$work/consumer-pc" $flags
"$work/consumer-pc"
echo "consumer: installed package builds and runs (CMake and pkg-config)"
