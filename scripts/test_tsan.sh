#!/usr/bin/env bash
# Builds the sound engine and its unit tests with ThreadSanitizer into
# build-tsan/ and runs them all there: the engine's threads (mixer, streamer,
# background opens and their callbacks, recording, sockets) run in most of
# them, their races show only under the sanitizer, and any report fails the
# run. scripts/test.sh runs this too. Extra arguments go to ctest, e.g.
# -R StreamThreads --repeat until-fail:20 to chase a race. QMV_JOBS limits the
# parallel build and test jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-tsan
jobs=${QMV_JOBS:-$(nproc)}

"$root/scripts/setup.sh"

# The build type of the main build, when there is one, so that the code
# checked for races is the code the other tests ran.
cmake_args=(-DQMV_SANITIZE=thread -DQMV_TESTS=ON)
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$root/build/CMakeCache.txt" 2>/dev/null || true)
if [ -n "$type" ]; then cmake_args+=(-DCMAKE_BUILD_TYPE="$type"); fi

# Only the sound library, what it links and its unit tests: the other test
# executables stay unbuilt, and ctest's placeholders for them do not carry
# the unit label.
QMV_BUILD_DIR=$build QMV_TARGETS=sound_unit_tests "$root/scripts/build.sh" "${cmake_args[@]}"

cd "$build"
ctest --output-on-failure --no-tests=error --parallel "$jobs" -L '^sound$' -L '^unit$' "$@"

# ThreadSanitizer fails a test by its exit status (66), but ctest counts a
# test that skips as skipped whatever its status, so the tests' output is
# searched as well: a report before a skip fails the run too.
reports=$(awk '/^[0-9]+\/[0-9]+ Test: /{name=$3} /WARNING: ThreadSanitizer:/{print name ": " $0}' \
  Testing/Temporary/LastTest.log)
if [ -n "$reports" ]; then
  echo "ThreadSanitizer reports (full output in $build/Testing/Temporary/LastTest.log):" >&2
  echo "$reports" >&2
  exit 1
fi
