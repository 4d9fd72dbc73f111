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

# Builds the examples in `examples` (a copy of examples/) against the tree
# under test: all at once through find_package, with CMAKE_PREFIX_PATH
# `cmake_prefix`, and each through pkg-config, with the compiler flags that
# follow. Runs each build as the first line of its sample-output.txt says
# (`$ PROGRAM ARGS...`), in a folder that holds the sample catalogue `sample`
# as sample-index.tsv; it must exit 0 and print the rest of the file, where
# a line ending in "..." stands for any line that starts with what precedes
# the dots.
check_examples() {
  local examples=$1 sample=$2 cmake_prefix=$3
  shift 3
  cmake -S "$examples" -B "$work/examples-cmake" -DCMAKE_PREFIX_PATH="$cmake_prefix" >/dev/null
  cmake --build "$work/examples-cmake" -j "$(nproc)" >/dev/null
  mkdir -p "$work/run"
  ln -sf "$sample" "$work/run/sample-index.tsv"
  local dir name count=0
  for dir in "$examples"/*/; do
    name=$(basename "$dir")
    [ -f "$dir/sample-output.txt" ] || fail "examples/$name has no sample-output.txt"
    g++ -std=c++17 -Wall -Wextra -Werror "$dir/main.cpp" -o "$work/$name-pc" "$@"
    # A host needs the library's headers and the platform's, not the
    # library's own dependencies.
    g++ -std=c++17 -M "$dir/main.cpp" "$@" >"$work/$name.deps"
    if grep -q absl "$work/$name.deps"; then
      fail "example $name includes Abseil's headers: $(tr ' ' '\n' <"$work/$name.deps" | grep absl | head -n 3)"
    fi
    expect_output "example $name (CMake)" "$dir/sample-output.txt" \
      "$work/examples-cmake/$name/$name"
    expect_output "example $name (pkg-config)" "$dir/sample-output.txt" "$work/$name-pc"
    count=$((count + 1))
  done
  [ "$count" -ge 3 ] || fail "found $count examples in $examples"
}

# Runs `program` with the arguments the first line of `expected` gives, and
# compares its output with the rest of the file (see check_examples).
expect_output() {
  local what=$1 expected=$2 program=$3
  local command out i
  local -a args want got
  command=$(head -n 1 "$expected")
  [[ $command == '$ '* ]] || fail "$expected does not start with '\$ PROGRAM ARGS...'"
  read -r -a args <<<"${command#\$ }"
  out=$(cd "$work/run" &&
    env ${run_library_path:+LD_LIBRARY_PATH="$run_library_path"} "$program" "${args[@]:1}" \
      2>"$work/stderr") || fail "$what exited with status $?: $(cat "$work/stderr")"
  mapfile -t want < <(tail -n +2 "$expected")
  mapfile -t got <<<"$out"
  [ ${#got[@]} -eq ${#want[@]} ] ||
    fail "$what printed ${#got[@]} lines, not ${#want[@]}:"$'\n'"$out"
  for i in "${!want[@]}"; do
    if [[ ${want[i]} == *... ]]; then
      [[ ${got[i]} == "${want[i]%...}"* ]]
    else
      [[ ${got[i]} == "${want[i]}" ]]
    fi || fail "$what, line $((i + 1)): '${got[i]}', not '${want[i]}'"
  done
}
