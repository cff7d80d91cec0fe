#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The server's door under hostile readers, against a baseline server in the same run:
#   peak memory with 300 logged-in users that never read and one sender of 6 MB
#   (send budget 128 MiB), and the longest freeze of the room under drip-reading
#   and under silent attackers (send budget 32 MiB). min/median/max over RUNS runs.
#
#   bench/server/door.sh SERVER BASELINE_SERVER [runs]     (default 5)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
SERVER="$1"
BASE="$2"
RUNS="${3:-5}"
ulimit -n 20000 2>/dev/null || ulimit -n "$(ulimit -Hn)"

# stats: min/median/max of the numbers on standard input
stats() { sort -n | awk '{v[NR]=$1} END {if (NR) printf "%s/%s/%s", v[1], v[int((NR+1)/2)], v[NR]; else printf "-"}'; }
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<" $2"; }

for which in BASE SERVER; do
    bin="${!which}"
    peaks=() after=() freezeDrip=() freezeSilent=() drops=()
    for _ in $(seq 1 "$RUNS"); do
        r="$(python3 "$ROOT/bench/server/nonreaders.py" "$bin" --silent 300 --readers 10 --mb 6 --budget 128 \
            --timeout 60 | grep '^RESULT' || true)"
        peaks+=("$(field peak_mb "$r")")
        drops+=("$(field dropped "$r")")
        d="$(python3 "$ROOT/bench/server/freeze.py" "$bin" --mode drip --seconds 20 | grep '^RESULT' || true)"
        freezeDrip+=("$(field freeze_s "$d")")
        s="$(python3 "$ROOT/bench/server/freeze.py" "$bin" --mode silent --seconds 12 | grep '^RESULT' || true)"
        freezeSilent+=("$(field freeze_s "$s")")
    done
    echo "$which ($bin), $RUNS runs, min/median/max:"
    echo "  300 non-readers, 6 MB, budget 128 MiB: peak RSS MB $(printf '%s\n' "${peaks[@]}" | stats)," \
        "silent dropped $(printf '%s\n' "${drops[@]}" | stats)"
    echo "  freeze s, drip-reading attackers:  $(printf '%s\n' "${freezeDrip[@]}" | stats)"
    echo "  freeze s, silent attackers:        $(printf '%s\n' "${freezeSilent[@]}" | stats)"
done
