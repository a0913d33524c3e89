#!/usr/bin/env bash
# Sets up the machine, builds the game and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec "$root/build/run/quorvel"
