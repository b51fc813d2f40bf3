#!/usr/bin/env bash
# Sets up the machine, builds Kov and writes the release under dist/
# ($KOV_DIST_DIR when set):
#   kov-VERSION.zip          both architectures' programs, stripped, with the
#                            read-me, the history and the licence: runs from
#                            any folder it is unpacked into
#   kov-VERSION-symbols.zip  each binary's debugging information, which the
#                            stripped binary names in its debug link
#   kov-VERSION-setup.exe    the installer (scripts/installer.nsi)
# The installer runs on every Windows Kov runs on (a 32-bit ANSI installer);
# KOV_SETUP_TARGET=amd64-unicode builds it as a 64-bit program instead, for
# a machine that runs no 32-bit code. --built: the build is done, package it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$root/build}
dist=${KOV_DIST_DIR:-$root/dist}
target=${KOV_SETUP_TARGET:-x86-ansi}

if [[ ${1:-} != --built ]]; then
    bash "$root/scripts/setup.sh"
    KOV_BUILD_DIR=$build bash "$root/scripts/build.sh"
fi

version=$(sed -n 's/^#define KOV_VERSION_TEXT *"\(.*\)"$/\1/p' "$root/common/version.h")
[[ -n $version ]] || { echo "package.sh: no version in common/version.h" >&2; exit 1; }

stage=$build/release-$target
rm -rf "$stage"
mkdir -p "$stage/kov" "$stage/symbols" "$dist"
for file in kovw.exe kovhook.dll kovw64.exe kovhook64.dll; do
    case $file in
        *64.*) objcopy=x86_64-w64-mingw32-objcopy ;;
        *) objcopy=i686-w64-mingw32-objcopy ;;
    esac
    $objcopy --only-keep-debug "$build/bin/$file" "$stage/symbols/$file.debug"
    # The link holds the debug file's name and checksum, so the file must
    # exist under that name when the link is made.
    (cd "$stage/symbols" && $objcopy --strip-all --add-gnu-debuglink="$file.debug" \
        "$build/bin/$file" "$stage/kov/$file")
done
cp "$build/bin/readme.kov" "$build/bin/HISTORY.DOC" "$stage/kov/"
cp "$root/docs/licence.txt" "$stage/kov/LICENCE.TXT"

# The same bytes give the same archive: no extra attributes, fixed times.
find "$stage" -exec touch -d "$(git -C "$root" log -1 --format=%cI 2>/dev/null || date -I)" {} +
zip=$dist/kov-$version.zip symbols=$dist/kov-$version-symbols.zip
rm -f "$zip" "$symbols"
(cd "$stage/kov" && zip -q -X -9 "$zip" *)
(cd "$stage/symbols" && zip -q -X -9 "$symbols" *)

setup=$dist/kov-$version-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DTARGET="$target" \
    -DFILES="$stage/kov" -DOUTFILE="$setup" "$root/scripts/installer.nsi" >"$stage/makensis.log" ||
    { cat "$stage/makensis.log" >&2; echo "package.sh: makensis failed" >&2; exit 1; }

echo "package.sh: wrote $(realpath --relative-to="$PWD" "$dist")/: $(cd "$dist" &&
    stat -c '%n %s' "kov-$version.zip" "kov-$version-symbols.zip" "kov-$version-setup.exe" |
    awk '{ printf "%s%s (%d KB)", (NR > 1 ? ", " : ""), $1, ($2 + 1023) / 1024 }')"
