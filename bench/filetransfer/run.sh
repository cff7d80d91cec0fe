#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A 1 GiB file transfer over 127.0.0.1 between two processes: the client's own
# sender and receiver against the raw lock-step pair (plain sockets, TCP_NODELAY,
# the received file flushed to disk at the end as ours is), in alternating order.
# Every run starts from freshly freed page cache with the source read back in
# (the "warm" protocol): where the cache cannot be dropped, only the
# destination is deleted, and the script says so.
# Prints, over the rounds, min / median / max of: the ratio ours/raw of the
# wall-clock rates, each side's MB/s, CPU seconds and peak RSS of every process;
# then the latency of chat lines handled on the receiving window thread while a
# transfer runs, against the same probe with nothing else to do.
#   [ROUNDS=5] bench/filetransfer/run.sh [size-in-MiB, default 1024]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build-ftbench}
MIB=${1:-1024}
ROUNDS=${ROUNDS:-5}
WORK=$(mktemp -d "${WORKDIR:-/var/tmp}/zindle-ftbench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZINDLE_BUILD_BENCH=ON \
      "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j2 --target ft_bench_transfer ft_bench_raw >/dev/null
BIN=$BUILD/bench/filetransfer

SRC=$WORK/source.bin
DST=$WORK/received.bin
head -c $((MIB * 1048576)) /dev/urandom >"$SRC"
SIZE=$(stat -c %s "$SRC")

DROPS=yes
fresh_cache() {
    rm -f "$DST"
    sync
    if [ "$DROPS" = yes ] && ! (echo 1 >/proc/sys/vm/drop_caches) 2>/dev/null; then DROPS=no; fi
    cat "$SRC" >/dev/null
}

# Starts "$@" (a program that prints "PORT n") in the background; sets SERVER_PID and PORT.
start_server() {
    local out=$1; shift
    timeout 300 "$@" >"$out" 2>&1 &
    SERVER_PID=$!
    for _ in $(seq 1 200); do
        PORT=$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$out")
        [ -n "$PORT" ] && return 0
        sleep 0.05
    done
    echo "server did not start: $(cat "$out")" >&2
    exit 1
}
field() { sed -n "s/.* $1 \([0-9.-]*\).*/\1/p" "$2" | head -1; }
# min / median / max of the numbers given as arguments
stats() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%s / %s / %s", v[1], v[int((NR + 1) / 2)], v[NR] }'; }

declare -A RATE CPU_S CPU_R RSS_S RSS_R
run() { # $1 = raw | ours
    local kind=$1
    fresh_cache
    if [ "$kind" = ours ]; then
        start_server "$WORK/serve.out" "$BIN/ft_bench_transfer" send "$SRC"
        timeout 300 "$BIN/ft_bench_transfer" receive "$PORT" "$DST" >"$WORK/fetch.out"
    else
        start_server "$WORK/serve.out" "$BIN/ft_bench_raw" serve "$SRC" 1
        timeout 300 "$BIN/ft_bench_raw" fetch "$PORT" "$DST" 1 "$SIZE" 1 >"$WORK/fetch.out"
    fi
    wait "$SERVER_PID"
    if ! cmp -s "$SRC" "$DST"; then echo "  $kind: RECEIVED FILE DIFFERS"; exit 1; fi
    RATE[$kind]+=" $(field MBps "$WORK/fetch.out")"
    CPU_S[$kind]+=" $(field cpu_s "$WORK/serve.out")"
    CPU_R[$kind]+=" $(field cpu_s "$WORK/fetch.out")"
    RSS_S[$kind]+=" $(field peak_rss_kib "$WORK/serve.out")"
    RSS_R[$kind]+=" $(field peak_rss_kib "$WORK/fetch.out")"
}

echo "file transfer bench: $MIB MiB over 127.0.0.1, $ROUNDS alternating rounds, min / median / max"
echo "  load before: $(cut -d' ' -f1-3 /proc/loadavg)"
RATIOS=()
for round in $(seq 1 "$ROUNDS"); do
    if [ $((round % 2)) = 1 ]; then run raw; run ours; else run ours; run raw; fi
    raw=$(echo ${RATE[raw]} | awk '{ print $NF }') ours=$(echo ${RATE[ours]} | awk '{ print $NF }')
    RATIOS+=("$(awk -v o="$ours" -v r="$raw" 'BEGIN { printf "%.2f", o / r }')")
done
[ "$DROPS" = yes ] || echo "  (page cache could not be dropped: only the destination was deleted before each run)"
echo "  ratio ours/raw:            $(stats "${RATIOS[@]}")   (target >= 0.90 at the median)"
for kind in raw ours; do
    echo "  $kind:"
    echo "    MB/s                     $(stats ${RATE[$kind]})"
    echo "    CPU s sender / receiver  $(stats ${CPU_S[$kind]})  |  $(stats ${CPU_R[$kind]})"
    echo "    peak RSS KiB send / recv $(stats ${RSS_S[$kind]})  |  $(stats ${RSS_R[$kind]})"
done

# Chat lines every 5 ms to the receiving process: idle, then while the file moves.
fresh_cache
start_server "$WORK/chat.out" "$BIN/ft_bench_transfer" chat 400 5
"$BIN/ft_bench_transfer" idle "$PORT" 1500 >"$WORK/idle.out"
wait "$SERVER_PID" || true
start_server "$WORK/chat.out" "$BIN/ft_bench_transfer" chat 100000 5
CHAT_PID=$SERVER_PID CHAT_PORT=$PORT
start_server "$WORK/serve.out" "$BIN/ft_bench_transfer" send "$SRC"
timeout 300 "$BIN/ft_bench_transfer" receive "$PORT" "$DST" "$CHAT_PORT" >"$WORK/fetch.out"
wait "$SERVER_PID"
kill "$CHAT_PID" 2>/dev/null || true
echo "  chat lines every 5 ms on the receiving window thread, latency in microseconds:"
echo "    idle:              $(sed -n 's/^chat //p' "$WORK/idle.out")"
echo "    during transfer:   $(sed -n 's/^chat //p' "$WORK/fetch.out")"
echo "  every received file identical to the source; load after: $(cut -d' ' -f1-3 /proc/loadavg)"
