#!/usr/bin/env bash
# Sets up the machine with what the game needs, builds the game and its data
# (no tests, benchmarks or fuzz targets; the tests are not even configured)
# and starts it. QMV_JOBS limits the build's parallel jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" play
QMV_TARGETS="quorvel content" "$root/scripts/build.sh" -DQMV_TESTS=OFF
exec "$root/build/run/quorvel"
