#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs it under Wine, next to Notepad.
#  - On your display (DISPLAY set): Kov runs in a Windows-like desktop with
#    a taskbar and a tray, sized to your screen, until you close Kov's
#    window. KOV_WINDOWS=own gives every program a window of its own on your
#    display instead (your window manager draws their title bars).
#  - Without a display: the same desktop on an Xvfb display, also with
#    Minesweeper; a screenshot is left in build/kov-desktop.png and
#    everything is ended again. With KOV_DEMO=1 the screenshot shows Notepad
#    rolled up and Kov's task-list menu open.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build
source "$root/scripts/xdisplay.sh"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
kovwine=$root/scripts/kovwine

if [[ -n "${DISPLAY:-}" ]]; then
    if [[ "${KOV_WINDOWS:-}" == own ]]; then
        export KOV_WINE_SLOT=user-own KOV_WINE_DESKTOP=none
    else
        export KOV_WINE_SLOT=user KOV_WINE_DESKTOP=shell
        "$root/scripts/wineprefix-init" "$build/wine/user" shell
        # The desktop fills the screen, less room for the host's own panels.
        size=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1] - 40 "x" d[2] - 80 }')
        WINEPREFIX=$build/wine/user WINEDEBUG=-all wine reg add \
            'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$size" /f >/dev/null 2>&1
        # The desktop that reg opened has the old size: let it go first.
        WINEPREFIX=$build/wine/user timeout 30 wineserver -w || true
    fi
    "$kovwine" notepad &
    "$kovwine" "$build/bin/kovw.exe" /NM "$@" || true
    # Kov is closed: what else runs in this prefix was started here.
    WINEPREFIX=$build/wine/$KOV_WINE_SLOT wineserver -k 2>/dev/null || true
    exit 0
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
"$kovwine" "$build/bin/kovw.exe" /NM "$@" & pids+=($!)
sleep 3
"$kovwine" notepad & pids+=($!)
"$kovwine" winemine & pids+=($!)
# Give the programs time to open and Kov time to dress their title bars.
sleep 8
if [[ "${KOV_DEMO:-}" == 1 ]]; then
    "$kovwine" "$build/bin/kovdemo.exe"
    sleep 2
fi
import -window root "$screenshot"
echo "Kov ran on a virtual desktop; screenshot: $screenshot"
