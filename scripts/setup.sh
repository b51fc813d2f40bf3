#!/usr/bin/env bash
# Makes a Debian 12 machine ready to build and test Kov: the i686 MinGW
# cross compiler, 32-bit Wine, Xvfb and the unit-test framework.
# Idempotent: prints nothing and installs nothing when all is present.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686 wine wine32:i386 wine64 fonts-wine xvfb
          xauth x11-utils xdotool openbox imagemagick doctest-dev python3)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then sudo=(); else sudo=(sudo); fi

echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
