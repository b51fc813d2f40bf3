#!/usr/bin/env bash
# Proves the test suite: applies each mutant of scripts/mutants.list (a small
# edit that looks like a real fault) to a scratch copy of the tree, builds it
# and runs the tests named for it. A mutant is killed when a test fails and
# survives when they all pass; one that does not build proves nothing.
# A developer tool: slow (a build and some tests per mutant), not run by CI.
#
#   scripts/mutants.sh [ID...]      all mutants, or only those named
#
# Each mutant's tests run in the architectures picked: KOV_MUTANT_ARCHS
# ("x86", "x64" or both; default: x86 where this machine runs 32-bit
# programs, else x64). A mutant with an "arch:" line is a fault of those
# architectures only (a pointer cut to 32 bits changes nothing in a 32-bit
# program) and runs only there; where none of them is picked it is
# reported as not run, which fails the run as a survivor would.
#
# KOV_MUTANT_DIR   scratch directory (default: <repo>/build-mutants)
# KOV_MUTANT_J     tests run at once per mutant (default: 3)
# KOV_MUTANT_FIELD which line of each record names the tests (default: tests)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=${KOV_MUTANT_DIR:-$root/build-mutants}
list=$root/scripts/mutants.list
field=${KOV_MUTANT_FIELD:-tests}
jobs=${KOV_MUTANT_J:-3}

source "$root/scripts/winearch.sh"
if [[ -n ${KOV_MUTANT_ARCHS:-} ]]; then
    archs=${KOV_MUTANT_ARCHS//,/ }
elif kov_arch_runs x86; then
    archs=x86
else
    archs=x64
fi

# The tests across both architectures run where 32-bit programs run too, as
# in the test command.
if [[ -z ${KOV_ARCHS_RUN:-} ]]; then
    KOV_ARCHS_RUN=x64
    kov_arch_runs x86 && KOV_ARCHS_RUN="x86 x64"
fi
export KOV_ARCHS_RUN

bash "$root/scripts/setup.sh"
mkdir -p "$scratch"
src=$scratch/src build=$scratch/build
# Only the files that differ are copied, and get the time of the copy: the
# build tree of an earlier run then rebuilds what changed since, whatever
# the times of the files in the working tree (older than that run's objects
# when they were edited before it ended).
fresh=$(mktemp -d)
(cd "$root" && git ls-files -co --exclude-standard | tar -cf - -T -) | tar -xf - -C "$fresh"
(cd "$fresh" && find . -type f) | while read -r f; do
    cmp -s "$fresh/$f" "$src/$f" || { mkdir -p "$(dirname "$src/$f")" && cp "$fresh/$f" "$src/$f"; }
done
rm -rf "$fresh"
export KOV_BUILD_DIR=$build
source "$root/scripts/xdisplay.sh"
kov_start_display
trap 'kov_stop_display' EXIT
bash "$src/scripts/build.sh" || { echo "mutants: the unmutated tree does not build" >&2; exit 1; }

# mutate.py MODE LIST ID SRC: "apply" edits the file of mutant ID in SRC,
# "restore" puts it back, "ids" lists the ids, "info ID" prints file, tests
# and title. A mutant's lines after "-" must match whole lines of the file,
# exactly once, in order; they are replaced by its "+" lines.
mutate() {
    python3 - "$@" <<'EOF'
import sys, os, shutil
mode, path, field = sys.argv[1], sys.argv[2], sys.argv[3]
mutants, cur = [], None
for line in open(path).read().split("\n"):
    if line.startswith("@ "):
        ident, _, title = line[2:].partition(" ")
        cur = {"id": ident, "title": title, "minus": [], "plus": []}
        mutants.append(cur)
    elif cur is None or not line or line.startswith("#"):
        continue
    elif line.startswith("-"):
        cur["minus"].append(line[1:])
    elif line.startswith("+"):
        cur["plus"].append(line[1:])
    else:
        key, _, value = line.partition(":")
        cur[key.strip()] = value.strip()
if mode == "ids":
    print(" ".join(m["id"] for m in mutants)); sys.exit(0)
m = next(m for m in mutants if m["id"] == sys.argv[4])
if mode == "info":
    print(m["file"]); print(m.get(field, "")); print(m["title"]); print(m.get("arch", "x86 x64"))
    sys.exit(0)
src = sys.argv[5]
target = os.path.join(src, m["file"])
if mode == "restore":
    shutil.copy(target + ".orig", target); os.remove(target + ".orig"); sys.exit(0)
lines = open(target).read().split("\n")
n = len(m["minus"])
hits = [i for i in range(len(lines) - n + 1) if lines[i:i + n] == m["minus"]]
if len(hits) != 1:
    sys.exit("mutant %s: %d matches in %s" % (m["id"], len(hits), m["file"]))
shutil.copy(target, target + ".orig")
lines[hits[0]:hits[0] + n] = m["plus"]
open(target, "w").write("\n".join(lines))
EOF
}

ids=("$@")
[[ ${#ids[@]} -gt 0 ]] || read -ra ids <<<"$(mutate ids "$list" "$field")"
killed=0 survived=0 invalid=0
report=$scratch/report.txt
: >"$report"
for id in "${ids[@]}"; do
    mapfile -t info < <(mutate info "$list" "$field" "$id")
    file=${info[0]} tests=${info[1]} title=${info[2]}
    runs=()
    for arch in $archs; do
        [[ " ${info[3]} " == *" $arch "* ]] && runs+=("$arch")
    done
    if [[ ${#runs[@]} -eq 0 ]]; then
        verdict="not run (a fault of ${info[3]} only)"
    elif ! mutate apply "$list" "$field" "$id" "$src"; then
        verdict=invalid
    # Both builds: the 64-bit suite's tests across architectures run the 32-bit build's companion.
    elif ! for arch in x86 x64; do cmake --build "$build/$arch" -j "$(nproc)" || exit 1; done \
            >"$scratch/$id.build.log" 2>&1; then
        verdict="invalid (does not build)"
    elif [[ -z "$tests" ]]; then
        verdict=invalid
    else
        start=$SECONDS
        printf 'subdirs("%s")\n' "${runs[@]}" >"$build/CTestTestfile.cmake"
        ctest --test-dir "$build" -R "$tests" -j "$jobs" --timeout 240 --stop-on-failure \
            >"$scratch/$id.test.log" 2>&1
        rc=$?
        if grep -q 'No tests were found' "$scratch/$id.test.log"; then
            verdict=invalid
        elif [[ $rc -ne 0 ]]; then
            failed=$(grep -oE '[0-9]+ - [^ ]+ \(' "$scratch/$id.test.log" | head -1 | cut -d' ' -f3)
            verdict="killed by ${failed:-a failure} in $((SECONDS - start)) s"
        else
            verdict=survived
        fi
    fi
    [[ -f "$src/$file.orig" ]] && mutate restore "$list" "$field" "$id" "$src"
    case $verdict in
        killed*) killed=$((killed + 1)) ;;
        survived) survived=$((survived + 1)) ;;
        *) invalid=$((invalid + 1)) ;;
    esac
    printf '%-5s %-60s %s\n' "$id" "$title" "$verdict" | tee -a "$report"
done
for arch in x86 x64; do cmake --build "$build/$arch" -j "$(nproc)" >/dev/null 2>&1; done
echo "killed $killed, survived $survived, invalid or not run $invalid, in $archs (report: $report)"
[[ $survived -eq 0 && $invalid -eq 0 ]]
