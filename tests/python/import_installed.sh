#!/usr/bin/env bash
# Installs the build into a scratch prefix and imports the package from that copy alone: read a
# network, change a diameter, solve, and take the results as DataFrames.
#
#   import_installed.sh BUILD_DIR PYTHON SOURCE_DIR
set -euo pipefail
build=$1
python=$2
source_dir=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" > "$scratch/install.log"
package=$(find "$scratch/prefix" -path '*/pipenet/__init__.py' | head -n 1)
[[ -n $package ]] || { echo "no pipenet/__init__.py under the prefix"; exit 1; }
site=$(dirname "$(dirname "$package")")
echo "installed into ${site#"$scratch/prefix/"}"
for file in _core.pyi __init__.pyi batch.pyi batch.py py.typed; do
  [[ -f $site/pipenet/$file ]] || { echo "missing pipenet/$file"; exit 1; }
done
cd "$scratch"
PYTHONPATH=$site "$python" - "$source_dir/docs/examples/grid-us/grid.inp" "$site" <<'PY'
import sys

import pipenet

assert pipenet.__file__.startswith(sys.argv[2]), pipenet.__file__
net = pipenet.read(sys.argv[1])
net.set_diameter(net.link_ids[0], 0.5)
nodes, links = net.solve().to_pandas()
assert list(nodes.index) == net.node_ids and len(links) == len(net.link_ids)
print(f"pipenet {pipenet.__version__} from the installed copy: {len(nodes)} nodes solved")
PY
