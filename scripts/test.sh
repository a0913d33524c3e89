#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test (under a virtual
# display, so the tests that open a window run too). Beside the main build,
# the sound engine's unit tests are built and run under ThreadSanitizer in
# build-tsan/ and under AddressSanitizer in build-asan/
# (scripts/test_sanitized.sh), side by side; the main run follows. Extra
# arguments go to the main run's ctest, e.g. scripts/test.sh -L unit.
# QMV_JOBS limits the parallel build and test jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Configured first: the sanitizer builds take the main build's build type.
cmake -S "$root" -B "$root/build" -G Ninja -DQMV_TESTS=ON >/dev/null

# The two sanitizer runs share the jobs, each marking its lines with its
# sanitizer's name. Their reports fail the command, but only after every
# other test has run too, so that one run shows everything that is wrong.
jobs=${QMV_JOBS:-$(nproc)}
sanitized() {
  QMV_JOBS=$2 "$root/scripts/test_sanitized.sh" "$1" 2>&1 | sed -u "s/^/[$1] /"
}
sanitized thread $(((jobs + 1) / 2)) &
tsan_pid=$!
sanitized address $((jobs > 1 ? jobs / 2 : 1)) &
asan_pid=$!
# The main build runs beside them at a lower priority: it takes whatever
# processor time they leave, above all while their tests wait on real time,
# and their tests' threads (a JACK client keeping up with its periods, a
# reader timed against a server's stall) still run the moment they wake.
build=0
nice -n 10 "$root/scripts/build.sh" -DQMV_TESTS=ON || build=$?
tsan=0 asan=0
wait "$tsan_pid" || tsan=$?
wait "$asan_pid" || asan=$?
if [ "$build" -ne 0 ]; then exit "$build"; fi

cd "$root/build"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure --no-tests=error --parallel "$jobs" "$@" || status=$?
if [ "$tsan" -ne 0 ]; then
  echo "The sound tests under ThreadSanitizer failed (lines marked [thread], before the main run)." >&2
fi
if [ "$asan" -ne 0 ]; then
  echo "The sound tests under AddressSanitizer failed (lines marked [address], before the main run)." >&2
fi
for failed in "$tsan" "$asan"; do
  if [ "$failed" -ne 0 ]; then exit "$failed"; fi
done
exit "$status"
