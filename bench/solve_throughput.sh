#!/usr/bin/env bash
# Throughput and memory of pipenet solve, measured side by side with turbnet (a benchmark, not a
# test: it prints figures and the targets beside them, and fails on none of them).
#
#   bench/solve_throughput.sh [build-dir]     default: build/release under the source tree
#
# 1. The full-capacity turbulent network of bench/networks: networks per second analysed
#    in-process by `pipenet solve --jobs 1` against one turbnet process per network.
# 2. 10,000 copies of it: --jobs 1 against --jobs 2, and the peak memory of 1,000 against
#    10,000 networks in one call.
# 3. A 100 x 100 grid (10,000 nodes) with --renumber: wall time and peak memory.
#
# Environment: PIPENET_BENCH_NETWORKS (default 10000), PIPENET_BENCH_PROCESSES (default 300).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=${1:-$source_dir/build/release}
pipenet=$build/pipenet/pipenet
turbnet=$build/turbnet/turbnet
networks=${PIPENET_BENCH_NETWORKS:-10000}
processes=${PIPENET_BENCH_PROCESSES:-300}
for program in "$pipenet" "$turbnet"; do
    [[ -x $program ]] || { echo "solve_throughput.sh: build $program first" >&2; exit 2; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/pipenet-solve-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Seconds since the epoch, in nanoseconds.
now() { date +%s%N; }
per_second() { python3 -c "print(f'{$1 / ($2 / 1e9):.0f}')"; }
# Runs a command under /usr/bin/time; prints "seconds peak-KiB".
measure() {
    /usr/bin/time -f "%e %M" -o "$scratch/time" "$@" > /dev/null 2>&1 || true
    # A failing command puts a line of its own before the figures.
    tail -n 1 "$scratch/time"
}

network=$source_dir/bench/networks/input-nonlin.dat
mkdir -p "$scratch/copies" "$scratch/process"
for ((i = 0; i < networks; ++i)); do ln -s "$network" "$scratch/copies/$i.dat"; done
list() { for ((i = 0; i < $1; ++i)); do echo "$scratch/copies/$i.dat"; done; }

echo "== 1. in-process against one turbnet process per network (full-capacity network)"
cp "$network" "$scratch/process/input-nonlin.dat"
start=$(now)
for ((i = 0; i < processes; ++i)); do
    (cd "$scratch/process" && echo 0 | "$turbnet" > /dev/null)
done
process_ns=$(($(now) - start))
mapfile -t thousand < <(list 1000)
start=$(now)
"$pipenet" solve --jobs 1 --program turbnet --json /dev/null "${thousand[@]}" 2> /dev/null
inprocess_ns=$(($(now) - start))
process_rate=$(per_second "$processes" "$process_ns")
inprocess_rate=$(per_second 1000 "$inprocess_ns")
echo "turbnet, one process per network: $process_rate networks/s ($processes runs)"
echo "pipenet solve --jobs 1, in-process: $inprocess_rate networks/s (1000 networks, JSON out)"
python3 -c "print(f'ratio: {$inprocess_rate / $process_rate:.1f} (target: at least 10)')"

echo "== 2. --jobs 1 against --jobs 2 on $networks networks"
mapfile -t all < <(list "$networks")
read -r one_s one_kib < <(measure "$pipenet" solve --jobs 1 --program turbnet --json /dev/null "${all[@]}")
read -r two_s two_kib < <(measure "$pipenet" solve --jobs 2 --program turbnet --json /dev/null "${all[@]}")
# 1000 networks named among as many absent files as make the same argument list: the list itself
# takes memory in proportion to its length, the networks must not.
mapfile -t padded < <(list 1000; for ((i = 1000; i < networks; ++i)); do echo "$scratch/absent/$i.dat"; done)
read -r small_s small_kib < <(measure "$pipenet" solve --jobs 1 --program turbnet --json /dev/null "${padded[@]}")
echo "--jobs 1: $one_s s, peak $one_kib KiB"
echo "--jobs 2: $two_s s, peak $two_kib KiB"
python3 -c "print(f'speed-up: {$one_s / max($two_s, 0.01):.2f} (target: at least 1.8; processors here: $(nproc))')"
echo "peak memory, the same $networks file names: 1000 networks $small_kib KiB, $networks networks $one_kib KiB (target: no growth)"

echo "== 3. a 100 x 100 grid, 10,000 nodes, renumbered"
python3 - "$scratch/grid.dat" <<'PY'
import random
import sys
side = 100
nodes = side * side
def row(*fields):
    return "".join(str(f).rjust(10) for f in fields)
# The grid's nodes in a shuffled numbering, so that the file's own band is as wide as the network:
# --renumber brings it down to about one row of the grid.
number = list(range(1, nodes + 1))
random.Random(1).shuffle(number)
def node(r, c):
    return number[r * side + c]
pipes = []
for r in range(side):
    for c in range(side):
        if c + 1 < side: pipes.append((node(r, c), node(r, c + 1)))
        if r + 1 < side: pipes.append((node(r, c), node(r + 1, c)))
at = {node(r, c): (r, c) for r in range(side) for c in range(side)}
# A relative residual of 1e-4: single precision over 10,000 equations stalls near 3e-5.
lines = [row(nodes, len(pipes), nodes - 2, 2, 50) + "0.0001".rjust(10) + "120.".rjust(15)]
for n in range(1, nodes + 1):
    r, c = at[n]
    lines.append(row(n, f"{100.0 * c:.1f}", f"{100.0 * r:.1f}"))
for e, (a, b) in enumerate(pipes, 1):
    lines.append(row(e, a, b, "0.200"))
corners = (node(0, 0), node(side - 1, side - 1))
for n in range(1, nodes + 1):
    if n not in corners:
        lines.append(str(n).rjust(10) + "-0.0001".rjust(10))
lines.append(row(corners[0], "100.0"))
lines.append(row(corners[1], "90.0"))
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY
read -r grid_s grid_kib < <(measure "$pipenet" solve --jobs 1 --renumber --program turbnet --json "$scratch/grid.json" "$scratch/grid.dat")
echo "grid: $grid_s s, peak $grid_kib KiB (target: under 1 s)"
python3 -c "import json; d = json.load(open('$scratch/grid.json')); print('grid outcome:', d['outcome'], '|', '; '.join(m['text'] for m in d['messages']))"
