#!/usr/bin/env bash
# Fails when a binary imports a function from a system DLL that is not in
# compat/nt4-imports.txt, the functions known to exist on both Windows 95
# and NT 4: one import beyond them and the binary does not load there.
#
#   scripts/check-imports.sh [BINARY|DIRECTORY...]
# A directory stands for the two binaries in it; none given, the build's.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
allowed=$root/compat/nt4-imports.txt
objdump=${KOV_OBJDUMP:-i686-w64-mingw32-objdump}
[ $# -gt 0 ] || set -- "${KOV_BUILD_DIR:-$root/build}/bin"
binaries=()
for arg in "$@"; do
    if [ -d "$arg" ]; then
        binaries+=("$arg/kovw.exe" "$arg/kovhook.dll")
    else
        binaries+=("$arg")
    fi
done

status=0
for binary in "${binaries[@]}"; do
    # "dll function" for every import by name; Kov's own library is no
    # system DLL.
    imports=$("$objdump" -p "$binary" | awk '
        /DLL Name:/ { dll = tolower($3) }
        /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' | grep -v '^kovhook\.dll ' || true)
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
        echo "$(basename "$binary"): $dll $function is not known on Windows 95 and NT 4" \
             "(compat/nt4-imports.txt)" >&2
        status=1
    done <<<"$imports"
done
exit $status
