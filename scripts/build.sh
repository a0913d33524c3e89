#!/usr/bin/env bash
# Configures and builds the project into build/, or into the folder that
# QMV_BUILD_DIR names (extra arguments go to cmake). QMV_JOBS limits the
# parallel jobs (default: one per core); QMV_TARGETS names the targets to
# build (default: all).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QMV_BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
jobs=${QMV_JOBS:-$(nproc)}
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
targets=()
for target in ${QMV_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" --parallel "$jobs" "${targets[@]}"
