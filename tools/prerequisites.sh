#!/usr/bin/env bash
# The one list of the Debian 12 packages this project needs, and their install: the packages
# of GROUP (and of the groups before it) that are missing are installed with apt-get, through
# sudo when not run as root. Nothing is done when all are there.
#
#   tools/prerequisites.sh programs|tests|all
#
#   programs  what building lamnet, turbnet, pipenet and the C library needs (SuiteSparse's
#             CHOLMOD factorizes large networks, on OpenBLAS: its dense kernels on the
#             reference BLAS take about twice as long; the analysis links the BLAS and LAPACK
#             itself for the largest networks' factorization)
#   tests     and what the test suite runs: GoogleTest, Google Benchmark (its smoke test),
#             Python, pkg-config and xmllint, chromium (the plot's page in a browser), and
#             the Python package's pybind11, numpy, pandas, Dask and pytest, node and npm
#             (tests/epanet installs the reference solver of .inp files from npm)
#   all       and the developers' tools: clang++ (CI's second compiler and the fuzz targets)
#             and valgrind (bench/run.sh, fuzz/memcheck.sh)
set -euo pipefail

programs=(g++ cmake ninja-build libcli11-dev nlohmann-json3-dev libeigen3-dev libsuitesparse-dev
          libblas-dev liblapack-dev libopenblas0-serial)
tests=(googletest libgtest-dev libbenchmark-dev python3 pkgconf libxml2-utils chromium
       pybind11-dev python3-dev python3-numpy python3-pandas python3-dask python3-distributed
       python3-pytest nodejs npm)
all=(clang valgrind)

case ${1:-} in
  programs) wanted=("${programs[@]}") ;;
  tests) wanted=("${programs[@]}" "${tests[@]}") ;;
  all) wanted=("${programs[@]}" "${tests[@]}" "${all[@]}") ;;
  *)
    echo "usage: $0 programs|tests|all" >&2
    exit 2
    ;;
esac

missing=()
for package in "${wanted[@]}"; do
  # A node from another source brings its own npm, and conflicts with Debian's package.
  [[ $package == npm ]] && command -v npm >/dev/null && continue
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

echo "== installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
