#!/usr/bin/env bash
# From a fresh Debian 12 machine to every test passing: installs what the build and the tests
# need, builds everything the tests run and runs them all under ctest.
#
#   tools/run-tests.sh [PRESET]     default release (the README's); CI gives dev (warnings as
#                                   errors)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}

tools/prerequisites.sh tests
# On explicitly: tools/run-examples.sh leaves them off in the same build folder.
cmake --preset "$preset" -DPIPENET_TESTS=ON -DPIPENET_BENCHMARKS=ON -DPIPENET_PYTHON=ON
cmake --build --preset "$preset"
ctest --preset "$preset"
