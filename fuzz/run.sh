#!/usr/bin/env bash
# Builds the fuzz targets and runs each one for SECONDS from its seed corpus
# (fuzz/corpus/<target>) and its regression inputs (fuzz/regressions/<target>), as many at a
# time as there are cores. Fails on any finding; the input that caused it is left in the scratch
# folder that is printed, and belongs in fuzz/regressions/<target>/ once the fault is understood.
#
#   fuzz/run.sh SECONDS
#
# Environment: PIPENET_FUZZ_BUILD, the build folder (default build/fuzz-run in the source tree).
# A folder already configured with the fuzz targets (the asan preset's, say) is built as it is;
# any other is configured here with clang++ and the sanitizers.
set -euo pipefail

if [[ $# -ne 1 || ! $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${PIPENET_FUZZ_BUILD:-$root/build/fuzz-run}")
targets=(record_reader lamnet turbnet check engine c_interface solve inp_reader)

if ! grep -qs '^PIPENET_FUZZ:BOOL=ON$' "$build/CMakeCache.txt"; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DPIPENET_FUZZ=ON -DPIPENET_TESTS=OFF -DPIPENET_BENCHMARKS=OFF -DPIPENET_PYTHON=OFF \
    -DPIPENET_STATIC_RUNTIME=OFF -DPIPENET_WERROR=ON >/dev/null
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/pipenet-fuzz.XXXXXX")

# Runs one target in $scratch/<target>; its summary goes to summary.txt there, and the file
# failed marks a finding.
fuzz_one() {
  local target=$1 work=$scratch/$1 dict=$root/fuzz/fields.dict
  # A target with a dictionary of its own (fuzz/<target>.dict) uses it; the others the fields'.
  if [[ -f $root/fuzz/$target.dict ]]; then dict=$root/fuzz/$target.dict; fi
  mkdir -p "$work/new"
  # -jobs=1 runs one fuzzing process; its log is fuzz-0.log in the working folder. New inputs
  # go to the scratch corpus, so the committed seeds stay as they are.
  if ! (cd "$work" && "$build/fuzz/fuzz_$target" -jobs=1 -max_total_time="$seconds" \
          -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=8192 \
          -dict="$dict" -print_final_stats=1 -artifact_prefix="$work/" \
          new "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target" >/dev/null 2>&1); then
    touch "$work/failed"
    echo "!! fuzz_$target found a fault; log: $work/fuzz-0.log" >"$work/summary.txt"
    grep -E 'ERROR|rule broken|SUMMARY|Test unit written' "$work/fuzz-0.log" >>"$work/summary.txt" || true
  fi
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$work/fuzz-0.log" \
    >>"$work/summary.txt" || true
}

cores=$(nproc)
running=0
for target in "${targets[@]}"; do
  if ((running == cores)); then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "$target" &
  running=$((running + 1))
done
wait

status=0
for target in "${targets[@]}"; do
  echo "== fuzz_$target for $seconds s"
  cat "$scratch/$target/summary.txt" 2>/dev/null || true
  if [[ -e $scratch/$target/failed ]]; then status=1; fi
done

if [[ $status -eq 0 ]]; then
  rm -rf "$scratch"
  echo "fuzz: no finding"
else
  echo "fuzz: findings kept in $scratch"
fi
exit $status
