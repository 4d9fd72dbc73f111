#!/bin/sh
# Runs the benchmark suites of a build made with -DEB_BUILD_BENCH=ON.
# Usage: scripts/run-benchmarks.sh BUILD_DIR [benchmark options...]
set -eu
build=${1:?usage: run-benchmarks.sh BUILD_DIR [benchmark options...]}
shift
# This machine class is noisy: three runs each, reported as mean, median
# and spread.
exec "$build/bench/eb_bench" --benchmark_min_time=0.2 --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true "$@"
