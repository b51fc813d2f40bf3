#!/usr/bin/env bash
# Configures and builds Kov for both architectures: build/x86 and build/x64
# (under $KOV_BUILD_DIR when set), each with its tests; the four programs
# and the documents land together in build/bin.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
for arch in x86 x64; do
    cmake -S "$root" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >/dev/null
    cmake --build "$build/$arch" -j "$(nproc)" >/dev/null
done
