#!/bin/sh
# Runs each fuzz target of a build made with -DEB_BUILD_FUZZ=ON for a short
# time, starting from the seeds in fuzz/corpus. The working corpus and any
# crash inputs stay in the build tree.
# Usage: scripts/run-fuzzers.sh BUILD_DIR   (FUZZ_SECONDS, default 60, per target)
set -eu
build=${1:?usage: run-fuzzers.sh BUILD_DIR}
seconds=${FUZZ_SECONDS:-60}
seeds=$(cd "$(dirname "$0")/../fuzz/corpus" && pwd)
for name in extent_info_cache extent_name catalogue; do
  work="$build/fuzz-work/$name"
  mkdir -p "$work/corpus" "$work/crashes"
  cp -n "$seeds/$name"/* "$work/corpus/" 2>/dev/null || true
  echo "== ${name}_fuzzer for ${seconds}s"
  "$build/fuzz/${name}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/crashes/" "$work/corpus"
done
