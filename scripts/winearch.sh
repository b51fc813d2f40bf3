# Sourced by the scripts that run Wine: the Wine of one architecture.
#
#   kov_wine_arch ARCH     x86: a 32-bit prefix and loader; x64: a 64-bit one
#
# sets WINEARCH (and WINELOADER) and kov_wine, the loader to call. Debian's
# /usr/bin/wine takes the 32-bit loader whenever wine32 is installed, even
# where the kernel cannot run it, so the 64-bit loader is called directly.
# Also, kov_arch_runs ARCH: whether this machine runs programs of ARCH at
# all, without starting Wine; when not, kov_arch_why says why.
# Debian's Wine has no preloader, so nothing reserves the page at 0x7ffe0000
# that a 64-bit program's start-up maps; with address randomization the
# kernel now and then puts the new program's heap there, and the program
# ends before it starts (CreateProcess: error 1359; Wine: "failed to map the
# shared user data"). Without it the heap starts right after the loader.
kov_norandom=()
setarch "$(uname -m)" -R true 2>/dev/null && kov_norandom=(setarch "$(uname -m)" -R)

kov_wine_arch() {
    case ${1:-x86} in
    x64)
        export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
        kov_wine=/usr/lib/wine/wine64 ;;
    x86)
        export WINEARCH=win32
        unset WINELOADER
        kov_wine=wine ;;
    *)
        echo "unknown architecture '$1' (x86 or x64)" >&2
        return 1 ;;
    esac
}

kov_arch_bits() { [[ $1 == x64 ]] && echo 64 || echo 32; }

kov_arch_runs() {
    kov_arch_why=
    if [[ $1 == x86 ]]; then
        local out
        if [[ ! -e /lib/ld-linux.so.2 ]]; then
            kov_arch_why="the 32-bit system libraries are missing (bash scripts/setup.sh installs them)"
        elif ! out=$(/lib/ld-linux.so.2 --version 2>&1); then
            case $out in
            *"Exec format error"*) kov_arch_why="the kernel refuses 32-bit code" ;;
            *) kov_arch_why="a 32-bit program does not start (${out%%$'\n'*})" ;;
            esac
        elif [[ ! -x /usr/lib/wine/wine ]]; then
            kov_arch_why="32-bit Wine (wine32:i386) is not installed (bash scripts/setup.sh installs it)"
        fi
    elif [[ ! -x /usr/lib/wine/wine64 ]]; then
        kov_arch_why="64-bit Wine (wine64) is not installed (bash scripts/setup.sh installs it)"
    elif ! /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
        kov_arch_why="the 64-bit Wine loader does not start"
    fi
    [[ -z $kov_arch_why ]]
}
