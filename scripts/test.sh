#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test (under a virtual
# display, so the tests that open a window run too). Before the main run, the
# sound engine's thread tests run again under ThreadSanitizer in build-tsan/
# (scripts/test_tsan.sh). Extra arguments go to the main run's ctest, e.g.
# scripts/test.sh -L unit. QMV_JOBS limits the parallel build and test jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DQMV_TESTS=ON
# Races fail the command, but only after every other test has run too, so
# that one run shows everything that is wrong.
tsan=0
"$root/scripts/test_tsan.sh" || tsan=$?
cd "$root/build"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure --no-tests=error --parallel "${QMV_JOBS:-$(nproc)}" "$@" || status=$?
if [ "$tsan" -ne 0 ]; then
  echo "The thread tests under ThreadSanitizer failed (see above, before the main run)." >&2
  exit "$tsan"
fi
exit "$status"
