#!/usr/bin/env bash
# What Kov costs a machine at rest: how often a second its controllers are
# woken, and their CPU time per minute, taken from Linux's accounts of their
# Wine processes (every thread's voluntary context switches, user and system
# time) over a quiet spell on a desktop with Notepad open. Where 32-bit
# programs run, the main is the 32-bit kovw.exe with its 64-bit companion.
#
#   bench/idle.sh [SECONDS]      (default 60)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build
seconds=${1:-60}
source "$root/scripts/winearch.sh"
source "$root/scripts/xdisplay.sh"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" >/dev/null

export KOV_WINE_ARCH=x64 KOV_WINE_SLOT=idle KOV_WINE_DESKTOP=shell
kov_wine_arch x64
prefix=$build/wine/idle-x64
main=kovw.exe
kov_arch_runs x86 || main=kovw64.exe
kov_start_display
cleanup() {
    kov_stop_wine "$prefix"
    kov_stop_display
}
trap cleanup EXIT
rm -rf "$prefix"
"$root/scripts/wineprefix-init" "$prefix" shell x64 >/dev/null
"$root/scripts/kovwine" "$build/bin/$main" /NM &
"$root/scripts/kovwine" notepad &

# The controllers of this prefix: its Windows processes that run a kovw.
controllers() {
    for dir in /proc/[0-9]*; do
        { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$prefix" || continue
        { tr '\0' ' ' <"$dir/cmdline"; } 2>/dev/null | grep -q '^[A-Z]:.*kovw' && echo "${dir#/proc/}"
    done
}
# PID: its threads' voluntary switches, and its CPU ticks.
sample() {
    local switches=0 n
    for status in /proc/"$1"/task/*/status; do
        n=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$status" 2>/dev/null) && switches=$((switches + ${n:-0}))
    done
    echo "$switches $(awk '{print $14 + $15}' /proc/"$1"/stat)"
}

want=1
[[ $main == kovw.exe ]] && want=2
for _ in $(seq 120); do
    pids=($(controllers))
    [[ ${#pids[@]} -ge $want ]] && break
    sleep 0.5
done
[[ ${#pids[@]} -ge $want ]] || { echo "idle.sh: Kov did not come up" >&2; exit 1; }
sleep 10   # its start and the offer to every window are over
declare -A before
for pid in "${pids[@]}"; do before[$pid]=$(sample "$pid"); done
sleep "$seconds"
ticks=$(getconf CLK_TCK)
for pid in "${pids[@]}"; do
    read -r s0 t0 <<<"${before[$pid]}"
    read -r s1 t1 <<<"$(sample "$pid")"
    name=$(tr '\0' ' ' </proc/"$pid"/cmdline | grep -o 'kovw[0-9]*\.exe[^ ]*' | head -n1)
    role=main
    tr '\0' ' ' </proc/"$pid"/cmdline | grep -q KOVCOMPANION && role=companion
    awk -v n="$name" -v r="$role" -v s=$((s1 - s0)) -v t=$((t1 - t0)) -v d="$seconds" -v hz="$ticks" \
        'BEGIN { printf "%-9s %-11s %6.1f wake-ups/s %7.1f ms CPU/min\n", r, n, s / d, t * 1000 / hz * 60 / d }'
done
