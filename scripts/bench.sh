#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs the benchmark under Wine, in a
# prefix and on a display of its own.
#
#   bench.sh [REV] [-- KOVBENCH-ARGS...]
#
# REV: the benchmark runs a second time against kovw.exe and kovhook.dll
# built from that revision (the benchmark program stays this tree's), to
# compare a change's before and after on the same machine, minutes apart.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build

rev=
if [[ $# -gt 0 && "$1" != -- ]]; then rev=$1; shift; fi
[[ $# -gt 0 && "$1" == -- ]] && shift

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

# The other revision's two programs, built once per commit.
if [[ -n "$rev" ]]; then
    commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")
    other=$build/rev-${commit:0:12}
    if [[ ! -f "$other/out/bin/kovhook.dll" || ! -f "$other/out/bin/kovw.exe" ]]; then
        rm -rf "$other" && mkdir -p "$other/src"
        git -C "$root" archive "$commit" | tar -x -C "$other/src"
        cmake -S "$other/src" -B "$other/out" -DBUILD_TESTING=OFF \
            -DCMAKE_TOOLCHAIN_FILE="$other/src/cmake/mingw-i686.cmake" >/dev/null
        cmake --build "$other/out" -j "$(nproc)" --target kovw kovhook >/dev/null
    fi
fi

# What else the machine was doing shapes the figures: say so beside them.
conditions() {
    echo "# $1: $(date -u '+%Y-%m-%d %H:%M:%S UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
}

# Windows of their own on the display: in a virtual desktop, Wine echoes a
# pointer moved by input back to the programs, late and from earlier
# places, and how many echoes a move makes depends on how busy the receiving
# thread is, which would make the mouse-move figure a measure of that.
run() {
    KOV_WINE_DESKTOP=none KOV_WINE_ISOLATE=bench-$$ "$root/scripts/kovwine" "$build/bin/kovbench.exe" "$@"
}

conditions "start, $(wine --version 2>/dev/null || echo wine), Kov of this tree ($(git -C "$root" rev-parse --short HEAD))"
run "$@"
if [[ -n "$rev" ]]; then
    conditions "Kov built from $rev (${commit:0:12})"
    run "/kov:Z:${other//\//\\}\\out\\bin" "$@"
fi
conditions end
