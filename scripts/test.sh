#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build
source "$root/scripts/xdisplay.sh"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

kov_start_display
trap 'kov_stop_wine "$build/wine/test"; kov_stop_display' EXIT
# Tests that share the desktop take turns; the rest is quick.
ctest --test-dir "$build" --output-on-failure "$@"
