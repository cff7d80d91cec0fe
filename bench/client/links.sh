#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What finding the addresses in every line costs the transcript: the client burst
# with links off and on, runs taken in turn so that both see the same load.
# Prints min/median/max of the per-line time over the first and the last window.
#
#   bench/client/links.sh [repeats] [lines]      (default 5, 30000)
#   ZINDLE_BURST_BIN=build/normal/bench/client/zindle_client_burst bench/client/links.sh
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
REPEATS="${1:-5}"
LINES="${2:-30000}"
BIN="${ZINDLE_BURST_BIN:-$("$ROOT/bench/client/build-burst.sh")}"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
window=$((LINES / 5))

declare -A first last
echo "== client burst, links off and on: $LINES lines, per-line time over the first and last $window =="
echo "load before: $(uptime)"
for i in $(seq 1 "$REPEATS"); do
    for links in 0 1; do
        out="$(timeout 300 "$BIN" --lines "$LINES" --window "$window" --links "$links" 2>/dev/null)" || {
            echo "run $i links=$links failed"
            continue
        }
        line="$(grep '^RESULT' <<<"$out")"
        get() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<" ${line#RESULT }"; }
        first[$links]+="$(get first_us) "
        last[$links]+="$(get last_us) "
    done
done
echo "load after:  $(uptime)"
echo
stats() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g | awk '{v[NR]=$1} END {
    if (NR == 0) { print "-"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.2f / %.2f / %.2f", v[1], m, v[NR] }'; }
printf '%-10s %-28s %-28s\n' links "first us (min/median/max)" "last us (min/median/max)"
for links in 0 1; do
    printf '%-10s %-28s %-28s\n' "$([[ $links == 1 ]] && echo on || echo off)" "$(stats "${first[$links]:-}")" \
        "$(stats "${last[$links]:-}")"
done
