# shellcheck shell=bash
# Sourced, not run: what check-consumer.sh (an installed prefix) and
# check-package.sh (the packages unpacked into a root) check alike. The
# sourcing script sets `checker`, the name its messages start with; this
# sets `root` (the source tree) and `work` (a temporary folder, removed at
# exit).

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "${checker:?}: $*" >&2
  exit 1
}

# An item of the bundled sample, and what every check prints for its extent 5.
sample_item=/data/reports/annual.bin
expected="5 found 101 20480"

# Runs a command built against or taken from the tree under test and fails
# unless it prints `expected`. With `run_library_path` set, the command
# finds its libraries there (the packages' binaries carry no RPATH).
expect_answer() {
  local what=$1
  shift
  local out
  out=$(env ${run_library_path:+LD_LIBRARY_PATH="$run_library_path"} "$@")
  [ "$out" = "$expected" ] || fail "$what printed '$out', not '$expected'"
}

# Builds examples/consumer through find_package, with CMAKE_PREFIX_PATH
# `cmake_prefix`, and through pkg-config, with the compiler flags that
# follow, and runs each build on the sample catalogue `sample`.
check_consumer_builds() {
  local sample=$1 cmake_prefix=$2
  shift 2
  cmake -S "$root/examples/consumer" -B "$work/cmake-build" \
    -DCMAKE_PREFIX_PATH="$cmake_prefix" >/dev/null
  cmake --build "$work/cmake-build" >/dev/null
  expect_answer "consumer (CMake)" "$work/cmake-build/consumer" "$sample" "$sample_item" 5
  g++ -std=c++17 "$root/examples/consumer/main.cpp" -o "$work/consumer-pc" "$@"
  expect_answer "consumer (pkg-config)" "$work/consumer-pc" "$sample" "$sample_item" 5
}
