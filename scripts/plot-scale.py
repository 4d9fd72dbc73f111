#!/usr/bin/env python3
"""Plots memory per extent and hit time against extent count, for the
browser and for the bare maps it is measured against, from the JSON that
Google Benchmark writes.

Usage:
  EB_BENCH_LARGE=1 build/bench/bench/eb_bench \\
      --benchmark_filter='BM_MemoryPerExtent/|BM_Hit/|BM_BaselineHit(Vector|Btree)/' \\
      --benchmark_repetitions=3 --benchmark_out=scale.json
  scripts/plot-scale.py scale.json docs/scale.svg

Needs gnuplot (Debian's gnuplot-nox).
"""
import collections
import json
import re
import statistics
import subprocess
import sys
import tempfile


def read(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    memory = collections.defaultdict(dict)   # series -> extents -> bytes
    hits = collections.defaultdict(lambda: collections.defaultdict(list))  # series -> extents -> [ns]
    for run in runs:
        if run.get("run_type") == "aggregate":
            continue
        name = run["name"]
        match = re.match(r"BM_MemoryPerExtent/(\w+)/(\d+)", name)
        if match:
            layout, extents = match.group(1), int(match.group(2))
            memory[f"browser, {layout}"][extents] = run["browser_B"]
            if layout == "dense":  # the B-tree costs the same whatever the layout
                memory["absl::btree_map"][extents] = run["btree_B"]
            continue
        match = re.match(r"BM_Hit/(\w+)/(\d+)/counters:1", name)
        if match:
            hits[f"browser, {match.group(1)}, counters on"][int(match.group(2))].append(run["cpu_time"])
            continue
        match = re.match(r"BM_BaselineHit(Vector|Btree)/dense/(\d+)", name)
        if match:
            series = "mutex + " + ("std::vector index" if match.group(1) == "Vector"
                                   else "absl::btree_map")
            hits[series][int(match.group(2))].append(run["cpu_time"])
    return memory, {s: {e: statistics.median(v) for e, v in byExtents.items()}
                    for s, byExtents in hits.items()}


def data_block(series):
    lines = []
    for name, points in series.items():
        lines.append(f"# {name}")
        lines.extend(f"{extents} {value}" for extents, value in sorted(points.items()))
        lines.append("\n")
    return "\n".join(lines)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    memory, hits = read(sys.argv[1])
    if not memory or not hits:
        sys.exit("no BM_MemoryPerExtent or BM_Hit runs in " + sys.argv[1])
    with tempfile.NamedTemporaryFile("w", suffix=".dat", delete=False) as mem, \
            tempfile.NamedTemporaryFile("w", suffix=".dat", delete=False) as hit:
        mem.write(data_block(memory))
        hit.write(data_block(hits))
    # The same colour for the same thing in both panels: each layout of the
    # browser, the bare B-tree, the bare array.
    def colour(title):
        for number, word in enumerate(("runs", "dense", "sparse", "btree", "vector")):
            if word in title:
                return number + 1
        return 6

    plots = []
    for name, data in (("memory", mem.name), ("hit", hit.name)):
        series = memory if name == "memory" else hits
        plots.append(", ".join(
            f"'{data}' index {i} with linespoints lw 2 lc {colour(title)} title '{title}'"
            for i, title in enumerate(series)))
    script = f"""
set terminal svg size 900,380 font 'sans,11' background '#ffffff' noenhanced
set output '{sys.argv[2]}'
set multiplot layout 1,2
set logscale x
set xrange [50000:30000000]
set xlabel 'extents in the map'
set grid
set yrange [0:45]
set key top left opaque
set title 'Heap bytes per extent'
plot {plots[0]}
set logscale y
set yrange [5:*]
set title 'Hit lookup, one thread (ns, CPU time)'
plot {plots[1]}
unset multiplot
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


if __name__ == "__main__":
    main()
