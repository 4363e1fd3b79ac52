#!/usr/bin/env python3
"""Square looped grids for pipenet solve: the generator, and a benchmark over sizes.

    grids.py write SIDE FILE            writes a turbnet input of SIDE x SIDE nodes
    grids.py bench PIPENET SIDE... [--epanet SECONDS]
                                        solves each size, prints time, memory, passes, imbalance

With the bench/analysis_stages program built beside PIPENET (its build's bench/ folder), the
analysis alone is also timed in processor seconds, its factorizations apart. With --epanet, each
grid is also exported as a .inp file and solved by the reference solver of that format (npm
package epanet-js, installed into bench/epanet/ on first use, which git ignores); a size that
takes longer than SECONDS is cut off and shown as "> SECONDS".

A grid: nodes 100 m apart, numbered in a shuffled order; distribution pipes of 0.15 m and trunk
mains of 0.30 m along every 10th row and column; a reservoir (head 100 m) at every 50th row and
column crossing and at the far corner (95 m); every other node draws 0.1 or 0.2 L/s. Not part of
ctest: run it by hand (see docs/solve.md); the peak memory is measured by /usr/bin/time (Debian
package time).
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


# One thread: CHOLMOD's OpenMP loops (whose thread count is built into the library, so that only
# the limit holds it) and a threaded BLAS would otherwise take the other cores
# (and the stages' processor clock counts the calling thread only).
ONE_THREAD = dict(os.environ, OMP_THREAD_LIMIT="1", OPENBLAS_NUM_THREADS="1")


def solve(pipenet, path, arithmetic="double"):
    """Runs pipenet solve on one file; returns (wall seconds, processor seconds (user + system),
    peak KiB, document)."""
    out = path + ".json"
    peak = path + ".peak"
    start = time.monotonic()
    # The peak and the processor time come from /usr/bin/time: a child's own maximum resident
    # size would count the copy of this interpreter it was forked from, grids and all.
    subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", peak, pipenet, "solve", "--jobs",
                    "1", "--program", "turbnet", "--arithmetic", arithmetic, "--json", out, path],
                   stderr=subprocess.DEVNULL, env=ONE_THREAD)
    seconds = time.monotonic() - start
    with open(out) as f:
        document = json.load(f)
    with open(peak) as f:
        user, system, kib = f.read().split()[-3:]
    os.remove(out)
    os.remove(peak)
    return seconds, float(user) + float(system), int(kib), document


def stages(program, path):
    """The analysis alone, stage by stage, in processor seconds (bench/analysis_stages.cpp)."""
    done = subprocess.run([program, path, "turbnet"], capture_output=True, text=True,
                          env=ONE_THREAD)
    return json.loads(done.stdout)


EPANET_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "epanet")


def epanet(pipenet, path, timeout):
    """The reference solver of .inp files on the grid exported by pipenet export-inp: a dict of
    its figures, or None when it did not finish within `timeout` seconds."""
    if not os.path.isdir(os.path.join(EPANET_FOLDER, "node_modules", "epanet-js")):
        subprocess.run(["npm", "install", "--no-audit", "--no-fund", "epanet-js"],
                       cwd=EPANET_FOLDER, check=True, stdout=subprocess.DEVNULL)
    inp = path + ".inp"
    subprocess.run([pipenet, "export-inp", "--program", "turbnet", "-o", inp, path], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        start = time.monotonic()
        process = subprocess.Popen(["node", "solve_inp.mjs", inp], cwd=EPANET_FOLDER,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        out, _ = process.communicate(timeout=timeout)
        figures = json.loads(out)
        figures["wall_s"] = time.monotonic() - start
        return figures
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        return None
    finally:
        os.remove(inp)


def exponent(previous, nodes, value):
    if not previous or previous[1] <= 0 or value <= 0:
        return ""
    return f"n^{math.log(value / previous[1]) / math.log(nodes / previous[0]):.2f}"


def bench(pipenet, sides, stages_program, epanet_timeout):
    print("pipenet solve --jobs 1: the whole command's wall time and processor time (user + "
          "system; the machine may be shared: load is the 1-minute load average before each "
          "size), its peak resident size; the analysis alone in processor seconds of its thread")
    header = (f"{'nodes':>9} {'outcome':>8} {'passes':>6} {'imbalance':>9} {'load':>5} "
              f"{'wall s':>7} {'cpu s':>7} {'peak MiB':>8} {'growth':>7} {'analysis':>8} "
              f"{'order.':>7} {'factor.':>7} {'count':>5} {'growth':>7}")
    if epanet_timeout:
        header += f" | {'EPANET s':>8} {'passes':>6} {'imbalance':>9}"
    print(header)
    previous_wall = previous_cpu = None
    with tempfile.TemporaryDirectory() as folder:
        for side in sides:
            path = os.path.join(folder, f"grid-{side}.dat")
            with open(path, "w") as f:
                f.write(grid_text(side))
            load = os.getloadavg()[0]
            seconds, cpu, kib, document = solve(pipenet, path)
            nodes = side * side
            passes = sum(1 for p in document["passes"] if p["pass"] > 0)
            imbalance = document["max_balance_error"]
            line = (f"{nodes:>9} {document['outcome'][:8]:>8} {passes:>6} "
                    f"{imbalance if imbalance is not None else float('nan'):>9.1e} "
                    f"{load:>5.1f} {seconds:>7.2f} {cpu:>7.2f} {kib / 1024:>8.0f} "
                    f"{exponent(previous_wall, nodes, cpu):>7}")
            previous_wall = (nodes, cpu)
            if stages_program:
                s = stages(stages_program, path)
                line += (f" {s['analysis']:>8.3f} {s['ordering']:>7.3f} {s['factorize']:>7.3f} "
                         f"{s['factorizations']:>5} "
                         f"{exponent(previous_cpu, nodes, s['analysis']):>7}")
                previous_cpu = (nodes, s["analysis"])
            else:
                line += f" {'-':>8} {'-':>7} {'-':>7} {'-':>5} {'':>7}"
            if epanet_timeout:
                e = epanet(pipenet, path, epanet_timeout)
                if e is None:
                    line += f" | {'> ' + str(epanet_timeout):>8} {'-':>6} {'-':>9}"
                else:
                    # Its imbalance in m3/s, from L/s, beside ours.
                    line += (f" | {e['open_s'] + e['solve_s']:>8.2f} {e['passes']:>6} "
                             f"{e['max_imbalance_lps'] / 1000:>9.1e}")
            print(line, flush=True)
            os.remove(path)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "write":
        with open(sys.argv[3], "w") as f:
            f.write(grid_text(int(sys.argv[2])))
        return 0
    if len(sys.argv) >= 4 and sys.argv[1] == "bench":
        arguments = sys.argv[2:]
        epanet_timeout = 0
        if "--epanet" in arguments:
            at = arguments.index("--epanet")
            epanet_timeout = int(arguments[at + 1])
            del arguments[at:at + 2]
        pipenet = os.path.abspath(arguments[0])
        stages_program = os.path.join(os.path.dirname(os.path.dirname(pipenet)), "bench",
                                      "analysis_stages")
        if not os.access(stages_program, os.X_OK):
            stages_program = None
        bench(pipenet, [int(s) for s in arguments[1:]], stages_program, epanet_timeout)
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
