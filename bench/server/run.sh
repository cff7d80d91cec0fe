#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Server load benchmark. Builds the Release programs into build-bench, starts the
# server on a free port of 127.0.0.1 for every run (stdout, its log, goes to
# /dev/null unless SERVER_LOG is set) and drives it with zindle_loadgen:
#
#   headless, chat log off: 50 clients and 200 clients at full speed,
#                           50 clients paced at 500,000 and at 20,000 deliveries/s,
#                           5,000 clients logging in (time and server memory)
#   headless, chat log on:  50 clients at full speed
#   headless, default flood limit on: 50 clients at full speed (what the limit costs)
#   500 logged-in clients that never read beside 10 that do (bench/server/nonreaders.py):
#                           the server's memory against its send budget
#   window server with the log window open and chat logging on (zindle_server_gui_bench
#   drives the real windows offscreen): 50 clients at full speed
#
#   bench/server/run.sh [repeats]     (default 3; REPEATS_5000 for the 5,000 case, default 2)
# Environment: SECONDS_PER_RUN (5), WINDOW (64 lines in flight per client with 50 clients; a
# quarter of it with 200, so that both keep the same number of lines on the way),
# SERVER_LOG (file for the server's log).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build-bench}"
REPEATS="${1:-3}"
REPEATS_5000="${REPEATS_5000:-2}"
RUN_SECONDS="${SECONDS_PER_RUN:-5}"
WINDOW="${WINDOW:-64}"
WINDOW_200=$(((WINDOW + 3) / 4))
SERVER_LOG="${SERVER_LOG:-/dev/null}"

source "$ROOT/bench/server/bench-lib.sh"
targets=(zindle_loadgen ZindleChatServer)
build_release "${targets[@]}"
grep -q '^zindle_server_gui_bench:' <(ninja -C "$BUILD" -t targets all 2>/dev/null) &&
    build_release zindle_server_gui_bench

LOADGEN="$BUILD/bench/server/zindle_loadgen"
SERVER="$BUILD/server/ZindleChatServer"
GUI="$BUILD/bench/server/zindle_server_gui_bench"

export QT_QPA_PLATFORM=offscreen

# The load clients send as fast as they can and connect many at once from one
# address: the flood limit and the limit on waiting connections would measure
# themselves. The "flood limit on" case below keeps the default.
UNLIMITED=(--flood-limit 0 --max-pending-per-address 0)

# start_server headless|gui|limited on|off PORT
start_server() {
    local kind="$1" chatlog="$2" port="$3"
    if [[ "$kind" == gui ]]; then
        "$GUI" --port "$port" --chat-log "$chatlog" --seconds 600 >>"$SERVER_LOG" 2>&1 &
    elif [[ "$kind" == limited ]]; then
        "$SERVER" --headless --port "$port" --chat-log "$chatlog" --name bench --password "" \
            --max-pending-per-address 0 >>"$SERVER_LOG" 2>&1 &
    else
        "$SERVER" --headless --port "$port" --chat-log "$chatlog" --name bench --password "" "${UNLIMITED[@]}" \
            >>"$SERVER_LOG" 2>&1 &
    fi
    SERVER_PID=$!
}

ROWS=()
# run CASE-NAME headless|gui on|off loadgen-args...
run_case() {
    local name="$1" kind="$2" chatlog="$3"
    shift 3
    local port out rc load
    load="$(cut -d' ' -f1 /proc/loadavg)"
    port="$(free_port)"
    start_server "$kind" "$chatlog" "$port"
    set +e
    out="$("$LOADGEN" --port "$port" --server-pid "$SERVER_PID" --wait-listen 20 "$@" 2>&1)"
    rc=$?
    set -e
    cleanup
    local result
    result="$(grep '^RESULT' <<<"$out" || true)"
    if [[ $rc -ne 0 ]]; then
        echo "  $name: FAILED (exit $rc): $(grep -m1 'FOUT' <<<"$out" || tail -1 <<<"$out")"
    fi
    echo "  $name: ${result#RESULT }"
    ROWS+=("$name|$rc|${result#RESULT }|$load")
}

echo "== ZindleChat server load benchmark =="
echo "machine: $(nproc) cores; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "server log: $SERVER_LOG; runs of ${RUN_SECONDS} s; window $WINDOW (200 clients: $WINDOW_200)"
for i in $(seq 1 "$REPEATS"); do
    echo "-- round $i"
    run_case "50 clients, max rate" headless off --clients 50 --seconds "$RUN_SECONDS" --window "$WINDOW"
    run_case "200 clients, max rate" headless off --clients 200 --seconds "$RUN_SECONDS" --window "$WINDOW_200"
    run_case "50 clients, paced 500k/s" headless off --clients 50 --rate 500000 --seconds "$RUN_SECONDS" \
        --window 100000
    # A quiet room as well: here nothing else is waiting to be sent along with a line.
    run_case "50 clients, paced 20k/s" headless off --clients 50 --rate 20000 --seconds "$RUN_SECONDS" \
        --window 100000
done
echo "-- default flood limit (50 lines/s per user, burst 200) on"
run_case "50 clients, max rate, flood limit on" limited off --clients 50 --seconds "$RUN_SECONDS" --window "$WINDOW"
echo "-- chat log on"
run_case "50 clients, max rate, chat log on" headless on --clients 50 --seconds "$RUN_SECONDS" --window "$WINDOW"
if [[ -x "$GUI" ]]; then
    echo "-- window server, log window open, chat log on"
    run_case "GUI+log window, 50 clients, chat log on" gui on --clients 50 --seconds "$RUN_SECONDS" \
        --window "$WINDOW"
else
    echo "-- window server: zindle_server_gui_bench not built, case skipped"
fi
for i in $(seq 1 "$REPEATS_5000"); do
    echo "-- 5,000 clients, round $i"
    run_case "5000 clients login" headless off --clients 5000 --login-timeout 120 --connect-concurrency 200
done
echo "-- 500 clients that never read, 10 that do, one sender of 6 MB (send budget 256 MiB)"
python3 "$ROOT/bench/server/nonreaders.py" "$SERVER" --silent 500 --readers 10 --mb 6 --timeout 90 |
    sed 's/^RESULT /  /'
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
printf '%-42s %4s %12s %9s %9s %9s %9s %9s %9s %6s\n' case ok "deliv/s" "ns/deliv" "user ns" "p50 ms" "p99 ms" \
    "login s" "RSS MB" load
for row in "${ROWS[@]}"; do
    IFS='|' read -r name rc res load <<<"$row"
    rss="$(field rss_login_kb "$res")"
    printf '%-42s %4s %12s %9s %9s %9s %9s %9s %9s %6s\n' "$name" "$([[ $rc == 0 ]] && echo yes || echo NO)" \
        "$(field rate "$res")" "$(field cpu_ns_per_delivery "$res")" "$(field user_ns_per_delivery "$res")" \
        "$(field p50_ms "$res")" \
        "$(field p99_ms "$res")" "$(field login_s "$res")" \
        "$([[ -n "$rss" ]] && awk -v k="$rss" 'BEGIN{printf "%.1f", k/1024}')" "$load"
done
echo
echo "ns/deliv: server user+system CPU per delivery; on loopback the system part also holds the receiving"
echo "side's TCP work. Paced runs spread the lines evenly, so the server relays one line at a time there."
echo "targets: headless >= 2,000,000 deliveries/s (50 and 200 clients), < 350 ns server CPU per delivery,"
echo "         p99 < 25 ms with 50 clients paced at 500k/s, 5,000 clients logged in within 30 s with RSS < 150 MB"
