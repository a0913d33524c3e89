#!/usr/bin/env bash
# Configures and builds the project into build/ (extra arguments go to cmake).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja "$@" >/dev/null
cmake --build "$root/build" --parallel "$(nproc)"
