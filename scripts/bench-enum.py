#!/usr/bin/env python3
"""Times `extent-browse enum` of a one-item catalogue of a million extents
against the same tool only loading that catalogue, and reports the peak
resident memory of each: the figure a restore of a large item sees.

Usage: scripts/bench-enum.py PATH/TO/extent-browse [EXTENTS] [RUNS]
"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def write_catalogue(path, extents):
    with open(path, "w") as out:
        for extent in range(extents):
            out.write(f"/big/item\t{extent}\t{100 + extent // 1000}\t{extent * 4096}\t"
                      f"{1 if extent % 7 == 0 else 0}\n")


def run(command):
    """Wall seconds and peak resident kilobytes of one run."""
    started = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    took = time.monotonic() - started
    if status != 0:
        sys.exit(f"{' '.join(command)} failed: {child.stderr.read().decode()}")
    return took, usage.ru_maxrss


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    tool = sys.argv[1]
    extents = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    with tempfile.TemporaryDirectory() as folder:
        catalogue = os.path.join(folder, "catalogue.tsv")
        write_catalogue(catalogue, extents)
        base = [tool, "--index", catalogue]
        # Interleaved, so that a busy moment hits both alike.
        load, enum = [], []
        for _ in range(runs):
            load.append(run(base + ["number", "0"]))
            enum.append(run(base + ["enum"]))
    load_s = statistics.median(t for t, _ in load)
    enum_s = statistics.median(t for t, _ in enum)
    print(f"extent-browse, {extents} extents, median of {runs}:")
    print(f"  loading the catalogue only: {load_s:.2f} s, peak {max(m for _, m in load) // 1024} MB")
    print(f"  enum:                       {enum_s:.2f} s, peak {max(m for _, m in enum) // 1024} MB")
    print(f"  enum / load:                {enum_s / load_s:.2f}")


if __name__ == "__main__":
    main()
