#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Long lines and a sender that never waits, before and after in the same run:
#   - the cost of adding one line to a shown transcript (60,000 and 19,000 characters
#     without a space, 6,666 links, a normal line), 7 samples each;
#   - the longest event-loop stall while 60 such long lines arrive through a
#     real server (ZindleChatServer --headless on 127.0.0.1), REPEATS runs;
#   - the receiver's peak RSS against a sender that never waits for
#     "NEXTCHUNK" (256 MiB, disk slowed to ~128 MB/s), REPEATS runs.
# "before" is a build of BASE (default ade1de8) from `git archive`, with these
# bench sources copied in; "after" is this checkout. Both RelWithDebInfo.
#
#   bench/client/lines.sh [repeats]        (default 3)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
REPEATS="${1:-3}"
BASE="${BASE:-ade1de8}"
AFTER="${AFTER_BUILD:-$ROOT/build/normal}"
# Inside build/, laid out like build/normal, so that the compiler cache finds
# what a build of BASE elsewhere left there.
BASE_SRC="${BASE_SRC:-$ROOT/build/bench-base-$BASE}"
BASE_BUILD="$BASE_SRC/build/normal"
TARGETS=(zindle_client_linecost zindle_client_linestall zindle_client_floodrss)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
configure() { cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_WERROR=ON -DZINDLE_BUILD_BENCH=ON "${launcher[@]}" >/dev/null; }

if [ ! -d "$BASE_SRC" ]; then
    mkdir -p "$BASE_SRC"
    git -C "$ROOT" archive "$BASE" | tar -x -C "$BASE_SRC"
fi
cp "$ROOT"/bench/client/{LineCost,LineStall,FloodRss}.cpp "$ROOT/bench/client/CMakeLists.txt" "$BASE_SRC/bench/client/"
[ -f "$BASE_BUILD/build.ninja" ] || configure "$BASE_SRC" "$BASE_BUILD"
cmake --build "$BASE_BUILD" -j2 --target "${TARGETS[@]}" >/dev/null
[ -f "$AFTER/build.ninja" ] || configure "$ROOT" "$AFTER"
cmake --build "$AFTER" -j2 --target "${TARGETS[@]}" ZindleChatServer >/dev/null
SERVER="$AFTER/server/ZindleChatServer"
[ -x "$SERVER" ] || SERVER="$(find "$AFTER" -name ZindleChatServer -type f -perm -u+x | head -1)"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
export XDG_CONFIG_HOME="$(mktemp -d)"

# min/median/max of the numbers on stdin
spread() { sort -g | awk '{ v[NR] = $1 } END { if (NR) printf "%s / %s / %s", v[1], v[int((NR + 1) / 2)], v[NR]; else printf "-" }'; }
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }

echo "load before: $(uptime)"
echo
echo "== adding one line to a shown transcript, ms (min / median / max of 7) =="
for side in before after; do
    dir="$AFTER"; [ "$side" = before ] && dir="$BASE_BUILD"
    timeout 600 "$dir/bench/client/zindle_client_linecost" 7 2>/dev/null | while read -r _ kind rest; do
        printf '%-7s %-12s %s\n' "$side" "${kind#kind=}" "$(echo " $rest" | tr ' ' '\n' | sed -n 's/^\(min\|median\|max\)=//p' | paste -sd' ' | sed 's/ / \/ /g')"
    done
done
echo
# repeated SIDE PROGRAM FIELD LABEL ARGS...: REPEATS runs, each run's line and the spread of FIELD
repeated() {
    local side=$1 program=$2 key=$3 label=$4 dir="$AFTER" values=() out
    shift 4
    [ "$side" = before ] && dir="$BASE_BUILD"
    for _ in $(seq 1 "$REPEATS"); do
        out="$(timeout 600 "$dir/bench/client/$program" "$@" 2>/dev/null | grep '^RESULT' || true)"
        values+=("$(field "$key" <<<" $out")")
        echo "  $side: ${out#RESULT }"
    done
    printf '%-7s %s %s\n' "$side" "$label" "$(printf '%s\n' "${values[@]}" | grep . | spread)"
}

echo "== 60 lines of 60,000 characters through the server: longest stall, ms (min / median / max of $REPEATS) =="
for side in before after; do repeated "$side" zindle_client_linestall longest_stall_ms "longest stall" "$SERVER" 60; done
echo
echo "== receiver against a sender that never waits, 256 MiB: peak RSS, MiB (min / median / max of $REPEATS) =="
for side in before after; do repeated "$side" zindle_client_floodrss peak_rss_mib "peak RSS" 256; done
echo
echo "load after:  $(uptime)"
echo "targets: a 60,000-character line <= 20 ms; no stall over 100 ms; the receiver's memory bounded"
