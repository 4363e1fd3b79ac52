#!/usr/bin/env bash
# From a fresh Debian 12 machine to the programs' answers: installs what building them needs,
# builds lamnet, turbnet and pipenet only (in build/release, the README's configuration), and
# runs them on the bundled examples: lamnet's and turbnet's reports, then pipenet's check of
# both files and its results at full precision (one JSON document per network).
#
#   tools/run-examples.sh
set -euo pipefail
cd "$(dirname "$0")/.."

tools/prerequisites.sh programs
# Tests and benchmarks off: their libraries need not be there, and nothing of theirs is built.
cmake --preset release -DPIPENET_TESTS=OFF -DPIPENET_BENCHMARKS=OFF -DPIPENET_PYTHON=OFF
cmake --build --preset release --target lamnet turbnet pipenet_cli

bin=$PWD/build/release
cd examples
echo "== lamnet (examples/input-lin.dat)"
"$bin/lamnet/lamnet"
echo "== turbnet (examples/input-nonlin.dat, print flag 1)"
echo 1 | "$bin/turbnet/turbnet"
echo "== pipenet check"
"$bin/pipenet/pipenet" check input-lin.dat input-nonlin.dat
echo "== pipenet solve --json -"
"$bin/pipenet/pipenet" solve input-lin.dat input-nonlin.dat --json -
