#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs every test under Wine; arguments
# go to ctest. Each test has a Wine prefix and a display of its own, so they
# run side by side.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
# The template prefixes the tests copy, made once (in parallel) up front.
for desktop in shell none; do
    KOV_WINE_ISOLATE=prepare-$desktop KOV_WINE_DESKTOP=$desktop "$root/scripts/kovwine" cmd /c exit 0 &
done
wait
ctest --test-dir "$build" --output-on-failure -j "${KOV_TEST_JOBS:-4}" "$@"
