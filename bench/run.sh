#!/usr/bin/env bash
# Whole-process cost of lamnet and turbnet on the full-capacity networks in bench/networks,
# against budgets. For every run: instructions (callgrind), wall time (median of repeated runs)
# and peak resident memory (/usr/bin/time -v); the same for an empty program built and linked
# like ours (the floor). Also counts the multiply-adds of one full-capacity banded solve and
# checks that no heap allocation happens once a run has started.
#
#   bench/run.sh [build-dir]     default build dir: build/perf-release under the source tree
#
# Exits 1 when a budget is missed, 2 when something could not be measured.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=${1:-$source_dir/build/perf-release}
repeats=${PIPENET_BENCH_REPEATS:-31}

# Budgets: instructions of a whole process, peak resident memory, solver multiply-adds.
floor_budget=300000
lamnet_budget=600000
turbnet_flag1_budget=1200000
turbnet_flag0_budget=800000
rss_budget_kib=4096
solve_madd_budget=40000

for tool in cmake ninja valgrind callgrind_annotate objdump python3 /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "run.sh: $tool is needed" >&2; exit 2; }
done

cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O3 -DNDEBUG" -DPIPENET_TESTS=OFF -DPIPENET_PYTHON=OFF \
    > "$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; exit 2; }
cmake --build "$build" -j2 --target lamnet turbnet empty_program solve_once > "$build.build.log" 2>&1 ||
    { cat "$build.build.log"; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/networks/input-lin.dat" "$here/networks/input-nonlin.dat" "$work/"

missed=0

# The C library's start-up reads every environment variable (about 500 instructions each), so
# the programs run with an empty environment: the counts then depend on the programs alone.
valgrind_path=$(command -v valgrind)

# measure NAME BUDGET STDIN PROGRAM: prints one line and checks the instruction and memory budgets.
measure() {
    local name=$1 budget=$2 stdin=$3 program=$4
    local out="$work/$name"
    (cd "$work" && printf '%s' "$stdin" | env -i "$valgrind_path" --tool=callgrind \
        --callgrind-out-file="$out.callgrind" "$program" > "$out.stdout" 2> "$out.valgrind")
    local instructions
    instructions=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$out.valgrind")
    [[ -n $instructions ]] || { cat "$out.valgrind"; exit 2; }
    local rss
    rss=$(cd "$work" && printf '%s' "$stdin" |
        env -i /usr/bin/time -v "$program" 2>&1 > /dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p')
    local wall
    wall=$(cd "$work" && python3 - "$program" "$stdin" "$repeats" <<'PY'
import statistics, subprocess, sys, time
program, stdin, repeats = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3])
times = []
for _ in range(repeats):
    start = time.perf_counter()
    subprocess.run([program], input=stdin, stdout=subprocess.DEVNULL, check=False, env={})
    times.append(time.perf_counter() - start)
print(f"{statistics.median(times) * 1e6:.0f}")
PY
)
    local verdict=ok
    if ((instructions > budget)); then verdict="MISSED (instructions)"; missed=1; fi
    if ((rss > rss_budget_kib)); then verdict="MISSED (memory)"; missed=1; fi
    printf '%-16s %12s instr (budget %9s)  %7s us wall  %6s KiB peak RSS (budget %s)  %s\n' \
        "$name" "$instructions" "$budget" "$wall" "$rss" "$rss_budget_kib" "$verdict"
}

# allocator_calls PROGRAM STDIN FUNCTION: the allocator functions that ran inside FUNCTION.
allocator_calls() {
    local program=$1 stdin=$2 function=$3
    local out="$work/alloc.callgrind"
    (cd "$work" && printf '%s' "$stdin" | valgrind --tool=callgrind --toggle-collect="$function" \
        --callgrind-out-file="$out" "$program" > /dev/null 2>&1)
    callgrind_annotate --threshold=100 --inclusive=yes "$out" 2> /dev/null |
        grep -E ':(malloc|calloc|realloc|operator new|_int_malloc|mmap|mmap64|brk|sbrk)[ (]' || true
}

# The detector must see the start-up's own allocations (the console-event thread's stack).
if [[ -z $(allocator_calls "$build/lamnet/lamnet" "" main) ]]; then
    echo "run.sh: the allocation check sees nothing even in the whole of main"
    exit 2
fi

# no_allocation NAME PROGRAM STDIN DRIVER: no allocator call once the driver has been entered.
no_allocation() {
    local name=$1 program=$2 stdin=$3 driver=$4
    local calls
    calls=$(allocator_calls "$program" "$stdin" "$driver")
    if [[ -n $calls ]]; then
        echo "$name: allocation during the run: MISSED"
        echo "$calls"
        missed=1
    else
        echo "$name: no allocation after start-up: ok"
    fi
}

echo "whole process, release build ($build)"
measure floor "$floor_budget" "" "$build/bench/empty_program"
measure lamnet "$lamnet_budget" "" "$build/lamnet/lamnet"
measure turbnet-flag-1 "$turbnet_flag1_budget" $'1\n' "$build/turbnet/turbnet"
measure turbnet-flag-0 "$turbnet_flag0_budget" $'0\n' "$build/turbnet/turbnet"

# The networks must do what they are meant to: lamnet solves, turbnet converges in five passes.
grep -q '^         1 ' <(sed -n '/nodal heads/,/nodal discharges/p' "$work/lamnet.stdout") ||
    { echo "lamnet printed no heads"; exit 2; }
passes=$(grep -c 'iteration number' "$work/turbnet-flag-1.stdout" || true)
grep -q 'convergence achieved' "$work/turbnet-flag-1.stdout" || { echo "turbnet did not converge"; exit 2; }
echo "turbnet passes: $passes"

no_allocation lamnet "$build/lamnet/lamnet" "" 'pipenet::run_lamnet*'
no_allocation turbnet "$build/turbnet/turbnet" $'1\n' 'pipenet::run_turbnet*'

# Multiply-adds of one banded solve at 100 equations and half-bandwidth 20: every executed
# multiplication instruction inside solve_banded, counted by callgrind per instruction address
# (a packed multiplication counts once per lane), against the count of the elimination that runs.
(cd "$work" && valgrind --tool=callgrind --dump-instr=yes --compress-pos=no --compress-strings=no \
    --toggle-collect='pipenet::solve_banded*' --callgrind-out-file="$work/solve.callgrind" \
    "$build/bench/solve_once" > "$work/solve.stdout" 2> /dev/null)
objdump -d --no-show-raw-insn "$build/bench/solve_once" > "$work/solve.asm"
madds=$(python3 - "$work/solve.callgrind" "$work/solve.asm" <<'PY'
import re, sys
counts, function, skip, positions = {}, "", False, 1
for line in open(sys.argv[1]):
    if line.startswith("positions:"):
        positions = len(line.split()) - 1
    elif line.startswith("fn="):
        function = line[3:].strip()
    elif line.startswith("calls="):
        skip = True  # the next cost line is the callee's inclusive cost
    elif line.startswith("0x"):
        if skip:
            skip = False
            continue
        if "solve_banded" in function:
            fields = line.split()
            address, cost = int(fields[0], 16), int(fields[positions])
            counts[address] = counts.get(address, 0) + cost
lanes = {}
for line in open(sys.argv[2]):
    m = re.match(r"\s*([0-9a-f]+):\s+(v?mul[sp]d)\s+(.*)", line)
    if m:
        width = 1 if m.group(2).endswith("sd") else (4 if "ymm" in m.group(3) else 2)
        lanes[int(m.group(1), 16)] = width
# Each executed instruction costs one Ir, so an instruction's cost is its execution count.
print(sum(counts.get(address, 0) * width for address, width in lanes.items()))
PY
)
# The solver skips the products of zero entries while the system holds no negative zero and no
# NaN (bench_network.cpp seeds none), so the count to expect is that of the zero-skipping
# elimination on the network's nonzero pattern, worked out here from the pipes and the known
# heads alone: per pivot row with f nonzero entries right of the diagonal, f(f+1)/2 updates
# below it and f right-hand-side updates; per row of the back substitution, f terms.
expected_madds=$(python3 - <<'PY'
n, side = 100, 10
pipes = [(r * side + c, r * side + c + 1) for r in range(side) for c in range(1, side)]
pipes += [(r * side + 1, (r + 1) * side + 1) for r in range(side - 1)] + [(36, 55)]
known = {(i * 37) % n + 1 for i in range(1, 31)}
upper = {i: set() for i in range(1, n + 1)}   # upper[i]: the j > i with K(i, j) nonzero
for a, b in pipes:
    upper[min(a, b)].add(max(a, b))
for q in known:                                # a known head clears its row and column
    upper[q].clear()
    for i in upper:
        upper[i].discard(q)
total, kept = 0, {}
for k in range(1, n):
    row = sorted(upper[k])
    f = len(row)
    total += f * (f + 1) // 2 + f
    for x, i in enumerate(row):                # fill: K(i, j) for the pairs i < j of the row
        upper[i].update(row[x + 1:])
    kept[k] = f
total += sum(kept.values())
print(total)
PY
)
verdict=ok
if ((madds > solve_madd_budget)); then verdict=MISSED; missed=1; fi
if ((madds != expected_madds)); then verdict="$verdict (count differs from the zero-skipping elimination's $expected_madds)"; missed=1; fi
echo "solve_banded, 100 equations, half-bandwidth 20: $madds multiply-adds (zero-skipping elimination count $expected_madds, budget $solve_madd_budget) $verdict"

if ((missed)); then
    echo "run.sh: a budget was missed"
    exit 1
fi
echo "run.sh: every budget met"
