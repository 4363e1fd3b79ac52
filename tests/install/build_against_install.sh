#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds the C example against that copy twice:
# with the compiler and pkg-config, and as a CMake project through find_package(pipenet).
# Runs both programs with no LD_LIBRARY_PATH (each finds the library through its run path and
# checks its own results), and the installed programs found on PATH alone, as the README says.
#
#   build_against_install.sh BUILD_DIR C_COMPILER [EXTRA_C_FLAGS]
set -euo pipefail
build=$1
cc=$2
extra_flags=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" > "$scratch/install.log"
libdir=$(dirname "$(find "$scratch/prefix" -name 'libpipenet.so' | head -n 1)")

echo "== pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
flags=$(pkg-config --cflags --libs pipenet)
echo "$cc network_example.c $flags"
# shellcheck disable=SC2086
"$cc" -std=c99 -Wall -Wextra -Werror $extra_flags "$here/network_example.c" $flags -lm \
    -o "$scratch/with_pkg_config"
env -u LD_LIBRARY_PATH "$scratch/with_pkg_config"

echo "== find_package(pipenet)"
# Ninja, which the build itself needs: a fresh machine may have no make.
cmake -S "$here/consumer" -B "$scratch/consumer" -G Ninja -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_C_FLAGS="$extra_flags" -DCMAKE_PREFIX_PATH="$scratch/prefix" \
    -DNETWORK_EXAMPLE_SOURCE="$here/network_example.c" > "$scratch/consumer.log" ||
    { cat "$scratch/consumer.log"; exit 1; }
cmake --build "$scratch/consumer" > "$scratch/consumer-build.log" ||
    { cat "$scratch/consumer-build.log"; exit 1; }
env -u LD_LIBRARY_PATH "$scratch/consumer/network_example"

echo "== the installed programs on PATH"
# Nothing of this environment but PATH: the programs need no library path of their own.
run=$scratch/run
mkdir "$run"
cp "$here/../../examples/input-lin.dat" "$here/../../examples/input-nonlin.dat" "$run"
installed_path=$scratch/prefix/bin:/usr/bin:/bin
(cd "$run" && env -i PATH="$installed_path" lamnet > lamnet.out)
(cd "$run" && echo 0 | env -i PATH="$installed_path" turbnet > turbnet.out)
(cd "$run" && env -i PATH="$installed_path" pipenet check input-lin.dat input-nonlin.dat)
for report in lamnet.out turbnet.out; do
  grep -q '^ nodal heads$' "$run/$report" || { echo "$report has no heads"; exit 1; }
done
