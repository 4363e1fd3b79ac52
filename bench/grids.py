#!/usr/bin/env python3
"""Square looped grids for pipenet solve: the generator, and a benchmark over sizes.

    grids.py write SIDE FILE            writes a turbnet input of SIDE x SIDE nodes
    grids.py bench PIPENET SIDE...      solves each size, prints time, memory, passes, imbalance

A grid: nodes 100 m apart, numbered in a shuffled order; distribution pipes of 0.15 m and trunk
mains of 0.30 m along every 10th row and column; a reservoir (head 100 m) at every 50th row and
column crossing and at the far corner (95 m); every other node draws 0.1 or 0.2 L/s. Not part of
ctest: run it by hand (see docs/solve.md).
"""
import json
import math
import os
import random
import subprocess
import sys
import tempfile
import time


def row(*fields):
    return "".join(str(f).rjust(10) for f in fields)


def grid_text(side, seed=1):
    rng = random.Random(seed)
    nodes = side * side
    number = list(range(1, nodes + 1))
    rng.shuffle(number)

    def node(r, c):
        return number[r * side + c]

    pipes = []
    for r in range(side):
        for c in range(side):
            if c + 1 < side:
                pipes.append((node(r, c), node(r, c + 1), "0.30000" if r % 10 == 0 else "0.15000"))
            if r + 1 < side:
                pipes.append((node(r, c), node(r + 1, c), "0.30000" if c % 10 == 0 else "0.15000"))
    heads = {node(r, c): "100.0" for r in range(0, side, 50) for c in range(0, side, 50)}
    heads[node(side - 1, side - 1)] = "95.0"
    at = {node(r, c): (r, c) for r in range(side) for c in range(side)}
    draws = [n for n in range(1, nodes + 1) if n not in heads]
    lines = [row(nodes, len(pipes), len(draws), len(heads), 50) + "0.0001".rjust(10) +
             "120.".rjust(15)]
    for n in range(1, nodes + 1):
        r, c = at[n]
        lines.append(row(n, f"{100.0 * c:.1f}", f"{100.0 * r:.1f}"))
    for e, (a, b, d) in enumerate(pipes, 1):
        lines.append(row(e, a, b, d))
    for n in draws:
        lines.append(str(n).rjust(10) + rng.choice(("-0.0001", "-0.0002")).rjust(12))
    for n, h in sorted(heads.items()):
        lines.append(row(n, h))
    return "\n".join(lines) + "\n"


def solve(pipenet, path, arithmetic="double"):
    """Runs pipenet solve on one file; returns (seconds, peak KiB, document)."""
    out = path + ".json"
    start = time.monotonic()
    process = subprocess.Popen([pipenet, "solve", "--jobs", "1", "--program", "turbnet",
                                "--arithmetic", arithmetic, "--json", out, path],
                               stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - start
    with open(out) as f:
        document = json.load(f)
    return seconds, usage.ru_maxrss, document


def bench(pipenet, sides):
    print(f"{'nodes':>9} {'outcome':>14} {'passes':>6} {'max imbalance':>14} {'time s':>8} "
          f"{'peak MiB':>9} {'time growth':>11}")
    previous = None
    with tempfile.TemporaryDirectory() as folder:
        for side in sides:
            path = os.path.join(folder, f"grid-{side}.dat")
            with open(path, "w") as f:
                f.write(grid_text(side))
            seconds, kib, document = solve(pipenet, path)
            nodes = side * side
            growth = ""
            if previous:
                growth = f"n^{math.log(seconds / previous[1]) / math.log(nodes / previous[0]):.2f}"
            previous = (nodes, seconds)
            passes = sum(1 for p in document["passes"] if p["pass"] > 0)
            imbalance = document["max_balance_error"]
            print(f"{nodes:>9} {document['outcome']:>14} {passes:>6} "
                  f"{imbalance if imbalance is not None else float('nan'):>14.3e} "
                  f"{seconds:>8.2f} {kib / 1024:>9.1f} {growth:>11}", flush=True)
            os.remove(path)
            os.remove(path + ".json")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "write":
        with open(sys.argv[3], "w") as f:
            f.write(grid_text(int(sys.argv[2])))
        return 0
    if len(sys.argv) >= 4 and sys.argv[1] == "bench":
        bench(os.path.abspath(sys.argv[2]), [int(s) for s in sys.argv[3:]])
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
