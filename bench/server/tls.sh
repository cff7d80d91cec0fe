#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# TLS against plaintext on the same server build, in the same rounds:
#
#   fan-out at 50 and 200 clients at full speed, over plaintext and over TLS
#   (BEFORE_BUILD=<build tree>: the plaintext cases on that build's server too)
#   a storm of STORM clients (2,000) connecting and logging in at once, over TLS and
#   over plaintext: time until all are in, server CPU, p99 handshake, server memory
#   after the login; the TLS cost per connection is the difference of the two
#
#   bench/server/tls.sh [rounds]      (default 3)
# Environment: SECONDS_PER_RUN (3), WINDOW (64; a quarter with 200 clients), STORM (2000),
# BUILD_DIR (build-bench, Release), SERVER_LOG.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build-bench}"
ROUNDS="${1:-3}"
RUN_SECONDS="${SECONDS_PER_RUN:-3}"
WINDOW="${WINDOW:-64}"
WINDOW_200=$(((WINDOW + 3) / 4))
STORM="${STORM:-2000}"
SERVER_LOG="${SERVER_LOG:-/dev/null}"

source "$ROOT/bench/server/bench-lib.sh"
[[ -n "${BUILD_DIR:-}" ]] || build_release zindle_loadgen ZindleChatServer
LOADGEN="$BUILD/bench/server/zindle_loadgen"
SERVER="$BUILD/server/ZindleChatServer"
BEFORE_SERVER="${BEFORE_BUILD:+$BEFORE_BUILD/server/ZindleChatServer}"
export QT_QPA_PLATFORM=offscreen

declare -A VALUES # "case|field" -> values, one per round
# run_case NAME SERVER-BINARY loadgen-args...
run_case() {
    local name="$1" server="$2"
    shift 2
    local port out rc result
    port="$(free_port)"
    "$server" --headless --port "$port" --chat-log off --name bench --password "" \
        --flood-limit 0 --max-pending-per-address 0 --login-timeout 120 >>"$SERVER_LOG" 2>&1 &
    SERVER_PID=$!
    set +e
    out="$("$LOADGEN" --port "$port" --server-pid "$SERVER_PID" --wait-listen 20 "$@" 2>&1)"
    rc=$?
    set -e
    cleanup
    result="$(grep '^RESULT' <<<"$out" || true)"
    if [[ $rc -ne 0 ]]; then
        echo "  $name: FAILED (exit $rc): $(grep -m1 'FOUT' <<<"$out" || tail -1 <<<"$out")"
        return
    fi
    echo "  $name: ${result#RESULT }"
    for f in rate cpu_ns_per_delivery login_s login_cpu_s handshake_p99_ms rss_login_kb; do
        VALUES["$name|$f"]+="$(field "$f" "$result") "
    done
    NAMES["$name"]=1
}
declare -A NAMES

echo "== TLS against plaintext =="
echo "machine: $(nproc) cores; load before: $(cut -d' ' -f1-3 /proc/loadavg); runs of ${RUN_SECONDS} s"
for i in $(seq 1 "$ROUNDS"); do
    echo "-- round $i"
    for n in 50 200; do
        w=$([[ $n == 50 ]] && echo "$WINDOW" || echo "$WINDOW_200")
        run_case "$n plain" "$SERVER" --clients "$n" --seconds "$RUN_SECONDS" --window "$w"
        run_case "$n tls" "$SERVER" --clients "$n" --seconds "$RUN_SECONDS" --window "$w" --tls on
        [[ -n "$BEFORE_SERVER" ]] &&
            run_case "$n plain (before)" "$BEFORE_SERVER" --clients "$n" --seconds "$RUN_SECONDS" --window "$w"
    done
    run_case "storm plain" "$SERVER" --clients "$STORM" --connect-concurrency "$STORM" --login-timeout 120
    run_case "storm tls" "$SERVER" --clients "$STORM" --connect-concurrency "$STORM" --login-timeout 120 --tls on
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# min / median / max of the values of one case and field
mmm() {
    tr ' ' '\n' <<<"${VALUES["$1|$2"]:-}" | grep -v '^$' | sort -g |
        awk '{v[NR]=$1} END {if (NR == 0) {print "-"; exit}
             printf "%s / %s / %s", v[1], (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR]}'
}
median() { mmm "$1" "$2" | awk -F' / ' '{print $2}'; }

echo
echo "fan-out (min / median / max over the rounds)"
for n in 50 200; do
    for kind in plain "plain (before)" tls; do
        [[ -n "${NAMES["$n $kind"]:-}" ]] || continue
        printf '  %-20s deliveries/s %-36s ns/delivery %s\n' "$n $kind" "$(mmm "$n $kind" rate)" \
            "$(mmm "$n $kind" cpu_ns_per_delivery)"
    done
    if [[ -n "${NAMES["$n tls"]:-}" && -n "${NAMES["$n plain"]:-}" ]]; then
        awk -v t="$(median "$n tls" rate)" -v p="$(median "$n plain" rate)" \
            'BEGIN {printf "  %s clients: TLS/plaintext deliveries/s (medians) %.2f (target >= 0.6)\n", '"$n"', t / p}'
    fi
done
echo
echo "storm of $STORM clients (min / median / max)"
for kind in plain tls; do
    [[ -n "${NAMES["storm $kind"]:-}" ]] || continue
    printf '  %-6s all in after s %-24s server CPU s %-22s p99 handshake ms %-24s RSS KB %s\n' "$kind" \
        "$(mmm "storm $kind" login_s)" "$(mmm "storm $kind" login_cpu_s)" "$(mmm "storm $kind" handshake_p99_ms)" \
        "$(mmm "storm $kind" rss_login_kb)"
done
if [[ -n "${NAMES["storm tls"]:-}" && -n "${NAMES["storm plain"]:-}" ]]; then
    awk -v t="$(median "storm tls" rss_login_kb)" -v p="$(median "storm plain" rss_login_kb)" -v n="$STORM" \
        'BEGIN {printf "  TLS memory per logged-in connection beyond plaintext (medians): %.1f KB (target <= 20)\n", (t - p) / n}'
fi
