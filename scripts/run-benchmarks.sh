#!/bin/sh
# Runs the benchmark suites of a build made with -DEB_BUILD_BENCH=ON, then
# times the tool's enumeration of a million extents.
# Usage: scripts/run-benchmarks.sh BUILD_DIR [benchmark options...]
#   EB_BENCH_LARGE=1 adds 16 million extents to the scale benchmarks.
set -eu
build=${1:?usage: run-benchmarks.sh BUILD_DIR [benchmark options...]}
shift
# This machine class is noisy: three runs each, interleaved so that a busy
# moment does not fall on one side of a comparison, reported as mean,
# median and spread.
"$build/bench/eb_bench" --benchmark_min_time=0.2 --benchmark_repetitions=3 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true "$@"
if [ -x "$build/tools/extent-browse/extent-browse" ]; then
  python3 "$(dirname "$0")/bench-enum.py" "$build/tools/extent-browse/extent-browse"
fi
