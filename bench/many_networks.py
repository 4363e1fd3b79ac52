#!/usr/bin/env python3
"""What many analyses in one process cost, beside the other ways of running them (a benchmark,
not a test: it prints figures with their targets beside them and fails on none of them).

    bench/many_networks.py [--build DIR] [--networks N] [--processes P] [--skip WHAT]...

On the full-capacity turbulent network of bench/networks (100 nodes, 100 pipes):
1. instructions per analysis of `pipenet solve --jobs 1` (callgrind, one thread, over N networks,
   1000 by default), both arithmetics, with JSON output and without (the table), and the five
   functions that cost most per analysis of each;
2. networks per second in-process against one turbnet process per network, the processes
   spawned one at a time without a shell, and through a shell loop (both printed);
3. --jobs 2 against --jobs 1 on 10,000 networks;
4. the reference solver's toolkit loop (npm package epanet-js: open, solve, read every head and
   flow, close) on the same network exported as a .inp file, against pipenet in-process.
--skip callgrind|processes|jobs|epanet leaves a part out.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NETWORK = os.path.join(ROOT, "bench", "networks", "input-nonlin.dat")
EPANET_FOLDER = os.path.join(ROOT, "bench", "epanet")
VARIANTS = [("double", True), ("double", False), ("programs", True), ("programs", False)]


def copies(folder, count):
    """`count` names of the network in `folder` (links, made once)."""
    os.makedirs(folder, exist_ok=True)
    names = []
    for i in range(count):
        name = os.path.join(folder, f"{i}.dat")
        if not os.path.lexists(name):
            os.symlink(NETWORK, name)
        names.append(name)
    return names


def solve_command(pipenet, arithmetic, json_out, files, jobs=1):
    command = [pipenet, "solve", "--jobs", str(jobs), "--program", "turbnet",
               "--arithmetic", arithmetic]
    if json_out:
        command += ["--json", os.devnull]
    return command + files


def best_of(rounds, run):
    best = float("inf")
    for _ in range(rounds):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    return best


def callgrind(pipenet, files, scratch):
    if shutil.which("valgrind") is None or shutil.which("callgrind_annotate") is None:
        print("valgrind is not installed: no instruction counts")
        return
    targets = {True: 0.5e6, False: 0.3e6}
    for arithmetic, json_out in VARIANTS:
        out = os.path.join(scratch, f"{arithmetic}-{json_out}.callgrind")
        done = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"] +
                              solve_command(pipenet, arithmetic, json_out, files),
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        total = re.search(r"Collected : (\d+)", done.stderr)
        if total is None:
            print(done.stderr)
            continue
        per = int(total.group(1)) / len(files)
        label = f"--arithmetic {arithmetic:8} {'--json' if json_out else 'table '}"
        print(f"{label}: {per / 1e6:.3f} M instructions per analysis "
              f"(target: at most {targets[json_out] / 1e6:.1f} M)")
        annotated = subprocess.run(["callgrind_annotate", "--inclusive=no", out],
                                   capture_output=True, text=True).stdout
        rows = [line for line in annotated.splitlines()
                if re.match(r"\s*[\d,]+ \(\s*[\d.]+%\)\s+\S", line) and "PROGRAM TOTALS" not in line]
        for line in rows[:5]:
            cost, function = re.match(r"\s*([\d,]+) \(\s*[\d.]+%\)\s+(.*)", line).groups()
            function = re.sub(r"^[^:]*:", "", function.split(" [")[0])
            print(f"    {int(cost.replace(',', '')) / len(files):9.0f}  {function[:110]}")


def processes(pipenet, turbnet, files, count, scratch):
    folder = os.path.join(scratch, "process")
    os.makedirs(folder, exist_ok=True)
    shutil.copy(NETWORK, os.path.join(folder, "input-nonlin.dat"))

    def spawn():
        for _ in range(count):
            subprocess.run([turbnet], input=b"0\n", cwd=folder, stdout=subprocess.DEVNULL,
                           check=True)

    def shell():
        subprocess.run(["sh", "-c", f'i=0; while [ $i -lt {count} ]; do echo 0 | "{turbnet}" '
                        f'> /dev/null; i=$((i + 1)); done'], cwd=folder, check=True)

    spawned = count / best_of(3, spawn)
    shelled = count / best_of(3, shell)
    inprocess = {}
    for json_out in (True, False):
        command = solve_command(pipenet, "double", json_out, files)
        inprocess[json_out] = len(files) / best_of(
            3, lambda: subprocess.run(command, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL))
    print(f"turbnet, one process per network, spawned without a shell: {spawned:8.0f} networks/s")
    print(f"turbnet, one process per network, from a shell loop:       {shelled:8.0f} networks/s")
    for json_out, rate in inprocess.items():
        print(f"pipenet solve --jobs 1 in-process {'(JSON) ' if json_out else '(table)'}:      "
              f"{rate:8.0f} networks/s: {rate / spawned:5.1f} x spawned, {rate / shelled:5.1f} x "
              f"shell loop (target: at least 10 x spawned)")
    return inprocess[True]


def jobs(pipenet, files):
    command = {j: solve_command(pipenet, "double", True, files, jobs=j) for j in (1, 2)}
    seconds = {j: best_of(3, lambda j=j: subprocess.run(command[j], stdout=subprocess.DEVNULL,
                                                          stderr=subprocess.DEVNULL))
               for j in (1, 2)}
    print(f"--jobs 1: {seconds[1]:.2f} s, --jobs 2: {seconds[2]:.2f} s on {len(files)} networks: "
          f"speed-up {seconds[1] / seconds[2]:.2f} (target: at least 1.8 on a quiet 2-core "
          f"machine; processors here: {os.cpu_count()}, load {os.getloadavg()[0]:.1f})")


def epanet(pipenet, count, inprocess, scratch):
    if shutil.which("node") is None or shutil.which("npm") is None:
        print("node and npm are needed for the reference solver's toolkit loop")
        return
    if not os.path.isdir(os.path.join(EPANET_FOLDER, "node_modules", "epanet-js")):
        subprocess.run(["npm", "install", "--no-audit", "--no-fund", "epanet-js"],
                       cwd=EPANET_FOLDER, check=True, stdout=subprocess.DEVNULL)
    inp = os.path.join(scratch, "network.inp")
    subprocess.run([pipenet, "export-inp", "--program", "turbnet", "-o", inp, NETWORK],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    done = subprocess.run(["node", "toolkit_loop.mjs", inp, str(count)], cwd=EPANET_FOLDER,
                          capture_output=True, text=True, check=True)
    rate = float(re.search(r'"per_second":([\d.e+]+)', done.stdout).group(1))
    print(f"epanet-js toolkit loop (open, solve, read, close): {rate:8.0f} networks/s")
    if inprocess:
        print(f"pipenet solve --jobs 1 in-process (JSON): {inprocess / rate:.1f} x the toolkit "
              f"loop (target: at least 3)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--networks", type=int, default=1000)
    parser.add_argument("--processes", type=int, default=300)
    parser.add_argument("--many", type=int, default=10000, help="networks for --jobs")
    parser.add_argument("--skip", action="append", default=[],
                        choices=["callgrind", "processes", "jobs", "epanet"])
    args = parser.parse_args()
    build = os.path.abspath(args.build)  # the runs change folder
    pipenet = os.path.join(build, "pipenet", "pipenet")
    turbnet = os.path.join(build, "turbnet", "turbnet")
    for program in (pipenet, turbnet):
        if not os.access(program, os.X_OK):
            sys.exit(f"many_networks.py: build {program} first")
    with tempfile.TemporaryDirectory(prefix="pipenet-many-") as scratch:
        files = copies(os.path.join(scratch, "copies"), max(args.networks, args.many))
        inprocess = None
        if "callgrind" not in args.skip:
            print(f"== instructions per analysis, over {args.networks} networks")
            callgrind(pipenet, files[:args.networks], scratch)
        if "processes" not in args.skip:
            print("== networks per second, in-process and one process per network")
            inprocess = processes(pipenet, turbnet, files[:args.networks], args.processes,
                                  scratch)
        if "jobs" not in args.skip:
            print("== threads")
            jobs(pipenet, files[:args.many])
        if "epanet" not in args.skip:
            print("== the reference solver's toolkit loop on the same network")
            epanet(pipenet, args.networks, inprocess, scratch)


if __name__ == "__main__":
    main()
