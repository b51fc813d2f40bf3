#!/usr/bin/env bash
# Sets up the machine, builds Kov and runs every test under Wine, once for
# each architecture this machine can run (32-bit x86, 64-bit x64); arguments
# go to ctest. Each test has a Wine prefix and a display of its own, so they
# run side by side. KOV_ARCHS ("x86", "x64" or both) picks the architectures
# instead: one that cannot run then fails the command.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
export KOV_BUILD_DIR=$build
source "$root/scripts/winearch.sh"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

wanted=${KOV_ARCHS:-x86 x64}
forced=${KOV_ARCHS:+yes}
# The template prefixes the tests copy, made once (in parallel) up front; a
# program started in each shows that Wine runs this architecture here.
declare -A job
for arch in ${wanted//,/ }; do
    kov_wine_arch "$arch" >/dev/null || exit 2
    if kov_arch_runs "$arch"; then
        for desktop in shell none; do
            KOV_WINE_ARCH=$arch KOV_WINE_ISOLATE=prepare-$arch-$desktop KOV_WINE_DESKTOP=$desktop \
                "$root/scripts/kovwine" cmd /c exit 0 2>"$build/prepare-$arch-$desktop.log" &
            job[$arch-$desktop]=$!
        done
    fi
done
runs=() failed=0
for arch in ${wanted//,/ }; do
    bits=$(kov_arch_bits "$arch")
    why=
    if ! kov_arch_runs "$arch"; then
        why=$kov_arch_why
    else
        for desktop in shell none; do
            wait "${job[$arch-$desktop]}" ||
                why="Wine could not run a $bits-bit program ($(tail -n 2 "$build/prepare-$arch-$desktop.log" | tr '\n' ' '))"
        done
    fi
    if [[ -z $why ]]; then
        runs+=("$arch")
    else
        echo "this machine cannot run $bits-bit programs: $why; the $bits-bit suite$([[ $arch == x86 ]] &&
              echo " and the tests across both architectures are" || echo " is") skipped"
        [[ -n $forced ]] && failed=1
    fi
done
# The tests across both architectures run in the 64-bit suite where 32-bit
# programs run too.
export KOV_ARCHS_RUN="${runs[*]}"
if [[ ${#runs[@]} -eq 0 ]]; then
    echo "test.sh: no architecture can run here, so no test ran" >&2
    exit 1
fi
# One run of CTest over the architectures' trees, so that they share its jobs.
printf 'subdirs("%s")\n' "${runs[@]}" >"$build/CTestTestfile.cmake"
# Every input a test gives waits until it is taken, so the tests need no core
# of their own: one more than the machine has keeps both busy.
ctest --test-dir "$build" --output-on-failure -j "${KOV_TEST_JOBS:-$(( $(nproc) + 1 ))}" "$@" || failed=1
exit $failed
