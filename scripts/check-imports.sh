#!/usr/bin/env bash
# Fails when a binary imports a function from a system DLL that the first
# Windows of its architecture lacks: compat/nt4-imports.txt for 32-bit
# binaries (Windows 95 and NT 4), compat/x64-imports.txt for 64-bit ones
# (Windows XP x64 and Server 2003 SP1). One import beyond its list and the
# binary does not load there.
#
#   scripts/check-imports.sh [BINARY|DIRECTORY...]
# A directory stands for the binaries of both architectures in it; none
# given, the build's.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -gt 0 ] || set -- "${KOV_BUILD_DIR:-$root/build}/bin"
binaries=()
for arg in "$@"; do
    if [ -d "$arg" ]; then
        for name in kovw.exe kovhook.dll kovw64.exe kovhook64.dll; do
            [ -f "$arg/$name" ] && binaries+=("$arg/$name")
        done
    else
        binaries+=("$arg")
    fi
done

# The machine field of the PE header: 014c for i386, 8664 for x86-64.
machine() {
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$pe" ] && od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' '
}

status=0
for binary in "${binaries[@]}"; do
    case $(machine "$binary") in
    014c) objdump=i686-w64-mingw32-objdump allowed=$root/compat/nt4-imports.txt
          first="Windows 95 and NT 4" ;;
    8664) objdump=x86_64-w64-mingw32-objdump allowed=$root/compat/x64-imports.txt
          first="the first x64 Windows" ;;
    *) echo "$binary: not a 32- or 64-bit Windows binary" >&2; status=1; continue ;;
    esac
    # "dll function" for every import by name; Kov's own library is no
    # system DLL.
    imports=$("$objdump" -p "$binary" | awk '
        /DLL Name:/ { dll = tolower($3) }
        /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' | grep -v '^kovhook\(64\)\?\.dll ' || true)
    if ! grep -q '^kernel32\.dll ' <<<"$imports"; then
        echo "$binary: no imports found (not a Windows binary?)" >&2
        status=1
        continue
    fi
    while read -r dll function; do
        if grep -qxF "$dll $function" "$allowed"; then
            continue
        fi
        if grep -qxF "$dll *" "$allowed" && [[ $function != *_s ]]; then
            continue
        fi
        echo "$(basename "$binary"): $dll $function is not known on $first" \
             "(compat/$(basename "$allowed"))" >&2
        status=1
    done <<<"$imports"
done
exit $status
