#!/usr/bin/env bash
# Builds the fuzz targets in a build folder of their own and runs each one for SECONDS from its
# seed corpus (fuzz/corpus/<target>) and its regression inputs (fuzz/regressions/<target>).
# Fails on any finding; the input that caused it is left in the scratch folder that is printed,
# and belongs in fuzz/regressions/<target>/ once the fault is understood.
#
#   fuzz/run.sh SECONDS
#
# Environment: PIPENET_FUZZ_BUILD, the build folder (default build/fuzz-run in the source tree).
set -euo pipefail

if [[ $# -ne 1 || ! $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PIPENET_FUZZ_BUILD:-$root/build/fuzz-run}

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DPIPENET_FUZZ=ON -DPIPENET_TESTS=OFF -DPIPENET_BENCHMARKS=OFF -DPIPENET_PYTHON=OFF -DPIPENET_STATIC_RUNTIME=OFF \
  -DPIPENET_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target fuzz_record_reader fuzz_lamnet fuzz_turbnet fuzz_check \
  fuzz_engine fuzz_c_interface fuzz_solve fuzz_inp_reader

scratch=$(mktemp -d "${TMPDIR:-/tmp}/pipenet-fuzz.XXXXXX")
status=0
for target in record_reader lamnet turbnet check engine c_interface solve inp_reader; do
  work=$scratch/$target
  # A target with a dictionary of its own (fuzz/<target>.dict) uses it; the others the fields'.
  dict=$root/fuzz/fields.dict
  [[ -f $root/fuzz/$target.dict ]] && dict=$root/fuzz/$target.dict
  mkdir -p "$work/new"
  echo "== fuzz_$target for $seconds s"
  # -jobs=1 runs one fuzzing process; its log is fuzz-0.log in the working folder. New inputs
  # go to the scratch corpus, so the committed seeds stay as they are.
  if ! (cd "$work" && "$build/fuzz/fuzz_$target" -jobs=1 -max_total_time="$seconds" \
          -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=8192 \
          -dict="$dict" -print_final_stats=1 -artifact_prefix="$work/" \
          new "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target" >/dev/null 2>&1); then
    status=1
    echo "!! fuzz_$target found a fault; log: $work/fuzz-0.log"
    grep -E 'ERROR|rule broken|SUMMARY|Test unit written' "$work/fuzz-0.log" || true
  fi
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$work/fuzz-0.log" || true
done

if [[ $status -eq 0 ]]; then
  rm -rf "$scratch"
  echo "fuzz: no finding"
else
  echo "fuzz: findings kept in $scratch"
fi
exit $status
