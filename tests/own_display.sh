#!/usr/bin/env bash
# Runs one end-to-end test program (the arguments) on an X server of its own,
# with a home, a runtime folder, settings, saved data and temporary folder of
# its own, so that the real program's tests run side by side: typed keys and
# clicks reach only their own game's window, and no single-instance lock,
# window socket, registry or saved file is shared. The server picks a free
# display number itself (-displayfd), so that servers started at the same
# moment never race for one. Listing the tests needs no server.
set -uo pipefail
for arg in "$@"; do
  if [ "$arg" = --gtest_list_tests ]; then exec "$@"; fi
done

own=$(mktemp -d "${TMPDIR:-/tmp}/qmv-e2e.XXXXXX") || exit 1
server=
test_pid=
finish() {
  if [ -n "$test_pid" ]; then
    kill "$test_pid" 2>/dev/null
  fi
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  rm -rf "$own"
}
# A test program still running when this script ends (ctest's timeout) ends
# with it.
trap finish EXIT
trap 'exit 143' TERM INT HUP

mkdir -p "$own/home" "$own/config" "$own/data" "$own/tmp" && mkdir -m 700 "$own/runtime" || exit 1
mkfifo "$own/ready" || exit 1
# -noreset: the server stays up between the game's runs and xdotool's calls
# (see scripts/test.sh).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$own/ready" 2>"$own/xvfb.log" &
server=$!
# The server writes its display number once it accepts clients; the read
# ends early when the server dies first.
if ! read -r -t 60 number <"$own/ready" || [ -z "$number" ]; then
  echo "Xvfb did not start: $(cat "$own/xvfb.log")" >&2
  exit 1
fi

export DISPLAY=":$number" HOME="$own/home" XDG_CONFIG_HOME="$own/config" XDG_DATA_HOME="$own/data" \
  XDG_RUNTIME_DIR="$own/runtime" TMPDIR="$own/tmp"
"$@" &
test_pid=$!
wait "$test_pid"
status=$?
test_pid=
exit "$status"
