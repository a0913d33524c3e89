#!/usr/bin/env bash
# Sets up the machine, builds the game and its data (no tests, benchmarks or
# fuzz targets) and starts it. QMV_JOBS limits the build's parallel jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
QMV_TARGETS="quorvel content" "$root/scripts/build.sh"
exec "$root/build/run/quorvel"
