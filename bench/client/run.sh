#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Client burst benchmark: builds the Release bench into build-bench and lets a
# client session with its transcript take 50,000 chat lines from a peer on
# 127.0.0.1, a few times over. Prints the figures and the machine's load.
#
#   bench/client/run.sh [repeats]        (default 3)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build-bench}"
REPEATS="${1:-3}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZINDLE_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j2 --target zindle_client_burst >/dev/null

BIN="$BUILD/bench/client/zindle_client_burst"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

echo "== client burst: 50,000 lines, per-line time over the first and last 10,000 =="
echo "load before: $(uptime)"
results=()
for i in $(seq 1 "$REPEATS"); do
    out="$(timeout 300 "$BIN" --lines 50000 --window 10000 2>/dev/null)" || { echo "run $i failed"; continue; }
    line="$(grep '^RESULT' <<<"$out")"
    results+=("$line")
    echo "run $i: ${line#RESULT }"
done
echo "load after:  $(uptime)"
echo
printf '%-4s %14s %14s %12s %12s %7s\n' run "shown_after_s" "painted_s" "first_us" "last_us" ratio
i=0
for line in "${results[@]}"; do
    i=$((i + 1))
    get() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<" ${line#RESULT }"; }
    printf '%-4s %14s %14s %12s %12s %7s\n' "$i" "$(get shown_after_last_byte_s)" "$(get painted_after_last_byte_s)" \
        "$(get first_us)" "$(get last_us)" "$(get ratio)"
done
echo
echo "targets: last line shown within 5 s of the last byte; last 10,000 lines <= 1.5 x the first 10,000 per line"
