#!/usr/bin/env bash
# The long fuzzing run, for a developer after changing a reader or the analysis (CI runs
# every target for a few seconds only): every fuzz target for SECONDS (default 60) each.
#
#   fuzz/long.sh [SECONDS]
set -euo pipefail
exec "$(dirname "$0")/run.sh" "${1:-60}"
