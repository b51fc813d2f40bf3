# Sourced by the run and test scripts: when DISPLAY is unset, starts an Xvfb
# display for this script's run and stops it on exit (only that one).
kov_xvfb_pid=
kov_start_display() {
    [[ -n "${DISPLAY:-}" ]] && return 0
    local number_file
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
    kov_xvfb_pid=$!
    for _ in $(seq 200); do [[ -s "$number_file" ]] && break; sleep 0.05; done
    export DISPLAY=":$(head -n1 "$number_file")"
    rm -f "$number_file"
    [[ "$DISPLAY" != ":" ]] || { echo "Xvfb did not start" >&2; return 1; }
}
kov_stop_display() {
    if [[ -n "$kov_xvfb_pid" ]]; then
        kill "$kov_xvfb_pid" 2>/dev/null
        wait "$kov_xvfb_pid" 2>/dev/null
        kov_xvfb_pid=
    fi
    return 0
}
# Lets the Wine server of a prefix of ours end (it does once its programs
# have ended); only if it will not, ends it.
kov_stop_wine() {
    local prefix=$1
    [[ -d "$prefix" ]] || return 0
    WINEPREFIX=$prefix timeout 30 wineserver -w 2>/dev/null || WINEPREFIX=$prefix wineserver -k 2>/dev/null
    return 0
}
