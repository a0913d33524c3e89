#!/usr/bin/env bash
# scripts/test_sanitized.sh thread|address [build|test] [ctest arguments...]
# Builds the sound engine and its unit tests with ThreadSanitizer into
# build-tsan/ or with AddressSanitizer (and its leak checker) into
# build-asan/, and runs them all there: the engine's threads (mixer,
# streamer, background opens and their callbacks, recording, sockets) run in
# most of them, and their races, uses of freed memory and leaks show only
# under a sanitizer; any report fails the run. scripts/test.sh runs both.
# `build` only builds, `test` only runs what was built; without either, both.
# Extra arguments go to ctest, e.g. -R StreamThreads --repeat until-fail:20
# to chase a race. QMV_JOBS limits the parallel build and test jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
  thread) build=$root/build-tsan name=ThreadSanitizer pattern='WARNING: ThreadSanitizer:' ;;
  address) build=$root/build-asan name=AddressSanitizer pattern='ERROR: (Address|Leak)Sanitizer:' ;;
  *)
    echo "usage: $0 thread|address [build|test] [ctest arguments...]" >&2
    exit 2
    ;;
esac
sanitizer=$1
shift
steps="build test"
case "${1:-}" in build | test) steps=$1 && shift ;; esac
jobs=${QMV_JOBS:-$(nproc)}

if [[ $steps == *build* ]]; then
  "$root/scripts/setup.sh"
  # The build type of the main build, when there is one, so that the code
  # checked is the code the other tests ran.
  cmake_args=(-DQMV_SANITIZE="$sanitizer" -DQMV_TESTS=ON)
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$root/build/CMakeCache.txt" 2>/dev/null || true)
  if [ -n "$type" ]; then cmake_args+=(-DCMAKE_BUILD_TYPE="$type"); fi
  # Only the sound library, what it links and its unit tests: the other test
  # executables stay unbuilt, and ctest's placeholders for them do not carry
  # the unit label.
  QMV_BUILD_DIR=$build QMV_TARGETS=sound_unit_tests "$root/scripts/build.sh" "${cmake_args[@]}"
fi
if [[ $steps != *test* ]]; then exit 0; fi

cd "$build"
status=0
ctest --output-on-failure --no-tests=error --parallel "$jobs" -L '^sound$' -L '^unit$' "$@" || status=$?

# A sanitizer fails a test by its exit status, but ctest counts a test that
# skips as skipped whatever its status, so the tests' output is searched as
# well: a report before a skip fails the run too.
reports=$(awk -v pattern="$pattern" '/^[0-9]+\/[0-9]+ Test: /{name=$3} $0 ~ pattern {print name ": " $0}' \
  Testing/Temporary/LastTest.log)
if [ -n "$reports" ]; then
  echo "$name reports (full output in $build/Testing/Temporary/LastTest.log):" >&2
  echo "$reports" >&2
  exit 1
fi
exit "$status"
