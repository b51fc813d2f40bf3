#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs the benchmark under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
cmake --build "$build" --target bench
