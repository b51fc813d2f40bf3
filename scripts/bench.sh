#!/usr/bin/env bash
# Sets up the machine, builds Kov and the benchmark, and runs it under
# Wine, in a prefix and on a display of its own, for each architecture the
# machine runs (KOV_ARCHS picks).
#
#   bench.sh [REV] [-- KOVBENCH-ARGS...]
#
# REV: the benchmark runs a second time against the programs built from
# that revision (the benchmark program stays this tree's), to
# compare a change's before and after on the same machine, minutes apart.
# With both architectures, a 64-bit frame is measured once more under the
# 32-bit Kov (kovbench /companion), and so with REV.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build

source "$root/scripts/winearch.sh"

rev=
if [[ $# -gt 0 && "$1" != -- ]]; then rev=$1; shift; fi
[[ $# -gt 0 && "$1" == -- ]] && shift

# The commit built, named once: a commit made while the benchmark runs is
# not in its programs.
head=$(git -C "$root" rev-parse --short HEAD)
bash "$root/scripts/setup.sh"
# Only what the benchmark runs, configured as scripts/build.sh does: a test
# that does not build stops no measurement.
for arch in x86 x64; do
    cmake -S "$root" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >/dev/null
    cmake --build "$build/$arch" -j "$(nproc)" --target kovw kovhook kovbench dwmapi >/dev/null
done

# Each architecture this machine runs (or KOV_ARCHS), one after the other.
archs=()
for arch in ${KOV_ARCHS:-x86 x64}; do
    if kov_arch_runs "$arch"; then
        archs+=("$arch")
    else
        echo "# this machine cannot run $(kov_arch_bits "$arch")-bit programs: $kov_arch_why; not measured"
    fi
done
[[ ${#archs[@]} -gt 0 ]] || exit 1

# The other revision's programs, built once per commit and architecture
# (a revision from before the 64-bit build has only the 32-bit one).
other_programs() {
    local arch=$1 toolchain
    toolchain=$other/src/cmake/mingw-$arch.cmake
    [[ $arch == x86 && ! -f $toolchain ]] && toolchain=$other/src/cmake/mingw-i686.cmake
    [[ -f $toolchain ]] || return 1
    if [[ ! -d "$other/out/$arch" ]]; then
        cmake -S "$other/src" -B "$other/out/$arch" -DBUILD_TESTING=OFF \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
        cmake --build "$other/out/$arch" -j "$(nproc)" --target kovw kovhook >/dev/null
    fi
    # Built together they land in out/bin; an older tree kept them in its own.
    if [[ -f "$other/out/bin/kovhook$([[ $arch == x64 ]] && echo 64).dll" ]]; then
        echo "$other/out/bin"
    else
        echo "$other/out/$arch/bin"
    fi
}
if [[ -n "$rev" ]]; then
    commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")
    other=$build/rev-${commit:0:12}
    if [[ ! -d "$other/src" ]]; then
        mkdir -p "$other/src"
        git -C "$root" archive "$commit" | tar -x -C "$other/src"
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
    local arch=$1
    shift
    KOV_WINE_ARCH=$arch KOV_WINE_DESKTOP=none KOV_WINE_ISOLATE=bench-$arch-$$ \
        "$root/scripts/kovwine" "$build/$arch/bin/kovbench.exe" "$@"
}

for arch in "${archs[@]}"; do
    bits=$(kov_arch_bits "$arch")
    conditions "start, $(wine --version 2>/dev/null || echo wine), $bits-bit Kov of this tree ($head)"
    run "$arch" "$@"
    # The flat look against the classic one, frames of each in turn.
    conditions "$bits-bit Kov of this tree ($head), composition on"
    run "$arch" /looks /pairs:2 "$@"
    if [[ -n "$rev" ]]; then
        if dir=$(other_programs "$arch"); then
            conditions "$bits-bit Kov built from $rev (${commit:0:12})"
            run "$arch" "/kov:Z:${dir//\//\\}" "$@"
        else
            echo "# $rev has no $bits-bit build"
        fi
    fi
done

# A 64-bit program while the 32-bit Kov runs, as on a 64-bit system where
# the user started kovw.exe: its main hooks system-wide, its companion
# kovw64.exe dresses the 64-bit frames. Both programs' folders hold all four
# files (the 64-bit prefix runs the 32-bit main). Half the pairs: what it
# shows is many times the cost without Kov, not a few per cent.
if [[ " ${archs[*]} " == *" x64 "* ]] && kov_arch_runs x86; then
    conditions "64-bit frame, 32-bit Kov of this tree ($head) with its 64-bit companion"
    run x64 /companion /pairs:8 "$@"
    if [[ -n "$rev" ]]; then
        if other_programs x86 >/dev/null && dir=$(other_programs x64); then
            conditions "64-bit frame, 32-bit Kov built from $rev (${commit:0:12})"
            run x64 /companion /pairs:8 "/kov:Z:${dir//\//\\}" "$@"
        else
            echo "# $rev has no 32-bit and 64-bit build"
        fi
    fi
fi
conditions end
