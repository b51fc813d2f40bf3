#!/usr/bin/env bash
# Makes a Debian 12 machine ready to build, test and package Kov: the i686
# and x86-64 MinGW cross compilers, Wine for both architectures (the 32-bit
# half installs even where the kernel cannot run it), Xvfb, the unit-test
# framework, NSIS and zip for the release.
# Idempotent: prints nothing and installs nothing when all is present.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386
          wine64 fonts-wine xvfb xauth x11-utils xdotool openbox imagemagick
          doctest-dev python3 nsis zip unzip x11-xserver-utils libxinerama1:i386)

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
# A mirror caught mid-sync fails an index now and then. A later try usually
# finds it whole; if not, the install keeps to the point release, whose
# versions match across the two architectures (an update present for one only
# would make the other's multiarch half uninstallable).
release=()
for try in 1 2 3; do
    "${sudo[@]}" apt-get update -qq && { release=(); break; }
    echo "setup: the package lists did not all download (try $try of 3)" >&2
    release=(-o APT::Default-Release=bookworm)
    [[ $try -lt 3 ]] && sleep $((try * 10))
done
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${release[@]}" "${missing[@]}" >/dev/null
