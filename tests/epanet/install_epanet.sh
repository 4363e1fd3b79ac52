#!/usr/bin/env bash
# Installs the reference solver of the .inp format (epanet-js, from the npm registry) under the
# folder PREFIX, for compare_epanet.py. Nothing is done when that version is there already.
# Exits with 77 (ctest: skipped) and says why when npm is missing or the registry cannot be
# reached; tools/prerequisites.sh tests installs node and npm.
#
#   install_epanet.sh PREFIX
set -euo pipefail

version=0.9.0
prefix=${1:?usage: install_epanet.sh PREFIX}

installed=$prefix/node_modules/epanet-js/package.json
if [[ -f $installed ]] && grep -q "\"version\": \"$version\"" "$installed"; then
  exit 0
fi
if ! command -v npm >/dev/null; then
  echo "skipped: npm is not installed (tools/prerequisites.sh tests installs it)"
  exit 77
fi
mkdir -p "$prefix"
if ! npm install --prefix "$prefix" --no-audit --no-fund --no-save "epanet-js@$version"; then
  echo "skipped: npm could not install epanet-js@$version"
  exit 77
fi
