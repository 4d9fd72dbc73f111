#!/bin/sh
# Runs each fuzz target of a build made with -DEB_BUILD_FUZZ=ON for a short
# time, starting from the seeds in fuzz/corpus. Every *_fuzzer the build
# holds is run, with the seeds of the directory named after it without the
# suffix, so a new target needs no change here. The working corpus and any
# crash inputs stay in the build tree.
# Usage: scripts/run-fuzzers.sh BUILD_DIR   (FUZZ_SECONDS, default 60, per target)
set -eu
build=${1:?usage: run-fuzzers.sh BUILD_DIR}
seconds=${FUZZ_SECONDS:-60}
seeds=$(cd "$(dirname "$0")/../fuzz/corpus" && pwd)
found=0
for fuzzer in "$build"/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  found=1
  target=$(basename "$fuzzer")
  name=${target%_fuzzer}
  work="$build/fuzz-work/$name"
  mkdir -p "$work/corpus" "$work/crashes"
  cp -n "$seeds/$name"/* "$work/corpus/" 2>/dev/null || true
  echo "== $target for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/crashes/" "$work/corpus"
done
if [ "$found" = 0 ]; then
  echo "run-fuzzers.sh: no fuzz targets in $build/fuzz" >&2
  exit 1
fi
