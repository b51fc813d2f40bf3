#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs it under Wine, next to Notepad:
# the 32-bit Kov where this machine runs 32-bit programs (in a 64-bit prefix
# with its 64-bit companion), else the 64-bit one.
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
source "$root/scripts/winearch.sh"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
kovwine=$root/scripts/kovwine

# A 64-bit prefix runs programs of both architectures: there the 32-bit Kov,
# where it runs, starts its 64-bit companion for the 64-bit programs.
x86=yes; kov_arch_runs x86 || { x86=; why=$kov_arch_why; }
if kov_arch_runs x64; then
    export KOV_WINE_ARCH=x64
elif [[ -n $x86 ]]; then
    export KOV_WINE_ARCH=x86
else
    echo "run.sh: this machine runs neither 32-bit programs ($why) nor 64-bit ones ($kov_arch_why)" >&2
    exit 1
fi
if [[ -n $x86 ]]; then
    kovw=$build/bin/kovw.exe
    echo "run.sh: running the 32-bit Kov (kovw.exe)$([[ $KOV_WINE_ARCH == x64 ]] && echo ", with its 64-bit companion for 64-bit programs")"
else
    kovw=$build/bin/kovw64.exe
    echo "run.sh: running the 64-bit Kov (kovw64.exe): this machine cannot run 32-bit programs ($why)"
fi
kov_wine_arch "$KOV_WINE_ARCH"

if [[ -n "${DISPLAY:-}" ]]; then
    if [[ "${KOV_WINDOWS:-}" == own ]]; then
        export KOV_WINE_SLOT=user-own KOV_WINE_DESKTOP=none
    else
        export KOV_WINE_SLOT=user KOV_WINE_DESKTOP=shell
        prefix=$build/wine/user-$KOV_WINE_ARCH
        "$root/scripts/wineprefix-init" "$prefix" shell || exit 1
        # The desktop fills the screen, less room for the host's own panels.
        size=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1] - 40 "x" d[2] - 80 }')
        WINEPREFIX=$prefix WINEDEBUG=-all "${kov_norandom[@]}" "$kov_wine" reg.exe add \
            'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$size" /f >/dev/null 2>&1
        # The desktop that reg opened has the old size: let it go first.
        WINEPREFIX=$prefix timeout 30 wineserver -w || true
    fi
    "$kovwine" notepad &
    "$kovwine" "$kovw" /NM "$@" || true
    # Kov is closed: what else runs in this prefix was started here.
    WINEPREFIX=$build/wine/$KOV_WINE_SLOT-$KOV_WINE_ARCH wineserver -k 2>/dev/null || true
    exit 0
fi

export KOV_WINE_SLOT=main
prefix=$build/wine/main-$KOV_WINE_ARCH
screenshot=$build/kov-desktop.png
kov_start_display
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    kov_stop_wine "$prefix"
    kov_stop_display
}
trap cleanup EXIT

"$root/scripts/wineprefix-init" "$prefix" shell || exit 1
"$kovwine" "$kovw" /NM "$@" & pids+=($!)
sleep 3
"$kovwine" notepad & pids+=($!)
"$kovwine" winemine & pids+=($!)
# Give the programs time to open and Kov time to dress their title bars.
sleep 8
if [[ "${KOV_DEMO:-}" == 1 ]]; then
    "$kovwine" "$build/$KOV_WINE_ARCH/bin/kovdemo.exe"
    sleep 2
fi
import -window root "$screenshot"
echo "Kov ran on a virtual desktop; screenshot: $screenshot"
