#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test (under a virtual
# display, so the tests that open a window run too). Extra arguments go to ctest,
# e.g. scripts/test.sh -L unit. QMV_JOBS limits the parallel build and test jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DQMV_TESTS=ON
cd "$root/build"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure --no-tests=error --parallel "${QMV_JOBS:-$(nproc)}" "$@"
