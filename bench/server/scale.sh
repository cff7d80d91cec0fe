#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The server with many connections (headless, Release, chat log off, no flood
# limit or limit on waiting connections; every connection comes from 127.0.0.1
# to 127.0.0.8, bound before connect, so no source address runs out of ports):
#
#   relay:   two users chatting, one line in flight each, RELAYS lines in all, beside
#            0, 1,000, 5,000 and 15,000 idle connections that never log in (the login
#            time limit is a day): the server's CPU per relayed line
#   room:    LISTENERS logged-in users (15,000): time until all are logged in, the
#            server's memory, then one user sends one line and it reaches all others
#   fan-out: 50 and 200 users at full speed and 50 paced at 500,000 deliveries/s, on
#            this build and, when BEFORE_BUILD names the build tree of an earlier
#            commit (with its Release ZindleChatServer built), on that one in the same
#            round
#
#   bench/server/scale.sh [rounds]    (default 3; the cases of a round run one after another)
# Environment: PARTS (which of "relay room fanout" to run; all three), RELAYS (100000),
# LISTENERS (15000), BEFORE_BUILD, SECONDS_PER_RUN (3), SERVER_LOG (file for the server's log).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build-bench}"
ROUNDS="${1:-3}"
RELAYS="${RELAYS:-100000}"
LISTENERS="${LISTENERS:-15000}"
BEFORE_BUILD="${BEFORE_BUILD:-}"
RUN_SECONDS="${SECONDS_PER_RUN:-3}"
SERVER_LOG="${SERVER_LOG:-/dev/null}"
PARTS="${PARTS:-relay room fanout}"
SOURCES=8

source "$ROOT/bench/server/bench-lib.sh"
build_release zindle_loadgen ZindleChatServer
LOADGEN="$BUILD/bench/server/zindle_loadgen"


ROWS=()
# run_case CASE-NAME SERVER-BINARY loadgen-args...: one fresh server per case.
run_case() {
    local name="$1" server="$2"
    shift 2
    local port out rc load result
    load="$(cut -d' ' -f1 /proc/loadavg)"
    port="$(free_port)"
    "$server" --headless --port "$port" --chat-log off --name bench --password "" --flood-limit 0 \
        --max-pending-per-address 0 --login-timeout 86400 >>"$SERVER_LOG" 2>&1 &
    SERVER_PID=$!
    set +e
    out="$("$LOADGEN" --port "$port" --server-pid "$SERVER_PID" --wait-listen 20 --sources "$SOURCES" "$@" 2>&1)"
    rc=$?
    set -e
    cleanup
    result="$(grep '^RESULT' <<<"$out" || true)"
    [[ $rc -ne 0 ]] && echo "  $name: FAILED (exit $rc): $(grep -m1 'FOUT' <<<"$out" || tail -1 <<<"$out")"
    echo "  $name: ${result#RESULT }"
    ROWS+=("$name|$rc|${result#RESULT }|$load")
}

SERVERS=("now|$BUILD/server/ZindleChatServer")
[[ -n "$BEFORE_BUILD" ]] && SERVERS+=("before|$BEFORE_BUILD/server/ZindleChatServer")

echo "== ZindleChat server with many connections =="
echo "machine: $(nproc) cores; load before: $(cut -d' ' -f1-3 /proc/loadavg); descriptors $(ulimit -n)"
for i in $(seq 1 "$ROUNDS"); do
    echo "-- round $i"
    for idle in $([[ $PARTS == *relay* ]] && echo 0 1000 5000 15000); do
        run_case "relay, $idle idle" "$BUILD/server/ZindleChatServer" --clients 2 --window 1 \
            --lines $((RELAYS / 2)) --idle "$idle" --login-timeout 60
    done
    [[ $PARTS == *room* ]] && run_case "$LISTENERS logged in, one line" "$BUILD/server/ZindleChatServer" \
        --clients "$LISTENERS" --senders 1 --lines 1 --window 1 --login-timeout 120 --connect-concurrency 3000
    for entry in $([[ $PARTS == *fanout* ]] && echo "${SERVERS[@]}"); do
        label="${entry%%|*}" server="${entry#*|}"
        run_case "$label: 50 clients, max rate" "$server" --clients 50 --seconds "$RUN_SECONDS" --window 64
        run_case "$label: 200 clients, max rate" "$server" --clients 200 --seconds "$RUN_SECONDS" --window 16
        run_case "$label: 50 clients, paced 500k/s" "$server" --clients 50 --rate 500000 \
            --seconds "$RUN_SECONDS" --window 100000
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
printf '%-40s %4s %11s %9s %9s %9s %9s %8s %8s %6s\n' case ok "deliv/s" "ns/deliv" "p50 ms" "p99 ms" "max ms" \
    "login s" "RSS MB" load
for row in "${ROWS[@]}"; do
    IFS='|' read -r name rc res load <<<"$row"
    rss="$(field rss_login_kb "$res")"
    printf '%-40s %4s %11s %9s %9s %9s %9s %8s %8s %6s\n' "$name" "$([[ $rc == 0 ]] && echo yes || echo NO)" \
        "$(field rate "$res")" "$(field cpu_ns_per_delivery "$res")" "$(field p50_ms "$res")" \
        "$(field p99_ms "$res")" "$(field max_ms "$res")" "$(field login_s "$res")" \
        "$([[ -n "$rss" ]] && awk -v k="$rss" 'BEGIN{printf "%.1f", k/1024}')" "$load"
done
echo
echo "min / median / max over the rounds:"
for row in "${ROWS[@]}"; do
    IFS='|' read -r name rc res load <<<"$row"
    [[ $rc == 0 ]] && echo "$name|$(field cpu_ns_per_delivery "$res")|$(field p99_ms "$res")|$(field rate "$res")|$(field login_s "$res")|$(field rss_login_kb "$res")"
done | python3 -c '
import statistics, sys
cases = {}
for line in sys.stdin:
    name, *values = line.rstrip("\n").split("|")
    cases.setdefault(name, []).append([float(v) for v in values])
number = lambda x: "{:,.0f}".format(x) if x >= 100 else "%.3g" % x
spread = lambda xs: " / ".join(number(x) for x in (min(xs), statistics.median(xs), max(xs)))
print("%-36s %-24s %-24s %-30s %-20s %s" % ("case", "ns/deliv", "p99 ms", "deliv/s", "login s", "RSS MB"))
for name, rows in cases.items():
    cols = list(zip(*rows))
    print("%-36s %-24s %-24s %-30s %-20s %s" % (name, spread(cols[0]), spread(cols[1]), spread(cols[2]),
          spread(cols[3]), spread([kb / 1024 for kb in cols[4]])))
'
echo
echo "ns/deliv: server user+system CPU per line received by someone else (with two users: per relay)."
echo "targets: relay at 15,000 idle within 1.5x of 0 idle; $LISTENERS logged in within 30 s, RSS < 250 MB,"
echo "         p99 < 100 ms for the one line; fan-out and paced p99 not below the earlier build"
