#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs it under Wine.
#  - On your display (DISPLAY set): kovw runs until you close its window.
#  - Without a display: kovw runs on an Xvfb display inside a Windows-like
#    desktop with a taskbar, next to two Wine programs; a screenshot is left
#    in build/kov-desktop.png and everything is ended again. With KOV_DEMO=1
#    the screenshot shows Notepad rolled up and Kov's task-list menu open.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build
source "$root/scripts/xdisplay.sh"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

if [[ -n "${DISPLAY:-}" ]]; then
    KOV_WINE_SLOT=user KOV_WINE_DESKTOP=none exec "$root/scripts/kovwine" "$build/bin/kovw.exe" "$@"
fi

export KOV_WINE_SLOT=main
prefix=$build/wine/main
screenshot=$build/kov-desktop.png
kov_start_display
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    kov_stop_wine "$prefix"
    kov_stop_display
}
trap cleanup EXIT

"$root/scripts/wineprefix-init" "$prefix" shell
"$root/scripts/kovwine" "$build/bin/kovw.exe" /NM "$@" & pids+=($!)
sleep 3
"$root/scripts/kovwine" notepad & pids+=($!)
"$root/scripts/kovwine" winemine & pids+=($!)
# Give the programs time to open and Kov time to dress their title bars.
sleep 8
if [[ "${KOV_DEMO:-}" == 1 ]]; then
    "$root/scripts/kovwine" "$build/bin/kovdemo.exe"
    sleep 2
fi
import -window root "$screenshot"
echo "Kov ran on a virtual desktop; screenshot: $screenshot"
