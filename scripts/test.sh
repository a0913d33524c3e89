#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test (under a virtual
# display, so the tests that open a window run too). Besides the main build,
# the sound engine's unit tests are built and run under ThreadSanitizer in
# build-tsan/ and under AddressSanitizer in build-asan/
# (scripts/test_sanitized.sh). Extra arguments go to the main run's ctest,
# e.g. scripts/test.sh -L unit.
# QMV_JOBS is the limit of everything the command runs at once (default: one
# per core): the three builds, and then the three test runs, come one after
# the other, each with every job, so that no run's tests stand beside another
# run's build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export QMV_JOBS=${QMV_JOBS:-$(nproc)}
"$root/scripts/setup.sh"

# Each step says its wall time and the processor time (user + sys) of what it
# ran, so that a slow run shows where its time went.
cpu_ticks() { awk '{print $16 + $17}' "/proc/$$/stat"; }
timed() {
  local name=$1 start=$SECONDS ticks status=0
  ticks=$(cpu_ticks)
  shift
  "$@" || status=$?
  echo "test.sh: $name: $((SECONDS - start)) s, processor $((($(cpu_ticks) - ticks) / $(getconf CLK_TCK))) s" >&2
  return "$status"
}

timed "main build" "$root/scripts/build.sh" -DQMV_TESTS=ON
timed "ThreadSanitizer build" "$root/scripts/test_sanitized.sh" thread build
timed "AddressSanitizer build" "$root/scripts/test_sanitized.sh" address build

# Each run goes on whatever another found; a failure fails the command once
# all three are over. The sanitizer runs mark their lines with their name.
sanitized() {
  "$root/scripts/test_sanitized.sh" "$1" test 2>&1 | sed -u "s/^/[$1] /"
  return "${PIPESTATUS[0]}"
}
tsan=0 asan=0 status=0
timed "ThreadSanitizer tests" sanitized thread || tsan=$?
timed "AddressSanitizer tests" sanitized address || asan=$?
cd "$root/build"
# -noreset: an X server resets when its last client leaves, and refuses the
# connections that arrive meanwhile; with tests starting and ending side by
# side a test's window then failed now and then, and SDL fell back to a
# display without X (one XOpenDisplay in 700 beside a loop of window tests).
timed "main tests" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --output-on-failure --no-tests=error --parallel "$QMV_JOBS" "$@" || status=$?
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
