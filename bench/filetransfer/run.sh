#!/usr/bin/env bash
# Throughput of a 1 GiB file transfer over 127.0.0.1 between two processes: the
# client's own sender and receiver against the raw ceiling of the same lock-step
# exchange over plain sockets, with and without TCP_NODELAY. Prints MB/s, the
# ratio to the better ceiling, and the peak memory of every process.
#   [REPEAT=3] bench/filetransfer/run.sh [size-in-MiB, default 1024]
# Each round runs the three pairs one after the other; medians are compared.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build-ftbench}
MIB=${1:-1024}
REPEAT=${REPEAT:-3}
WORK=$(mktemp -d /tmp/zindle-ftbench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZINDLE_BUILD_TESTS=OFF \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$BUILD" -j2 --target ft_bench_transfer ft_bench_raw >/dev/null
BIN=$BUILD/bench/filetransfer

SRC=$WORK/source.bin
head -c $((MIB * 1048576)) /dev/urandom >"$SRC"
cat "$SRC" >/dev/null # into the page cache
SIZE=$(stat -c %s "$SRC")

# Starts "$@" (a server that prints "PORT n") in the background; sets SERVER_PID and PORT.
start_server() {
    local out=$1; shift
    timeout 300 "$@" >"$out" 2>&1 &
    SERVER_PID=$!
    for _ in $(seq 1 100); do
        PORT=$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$out")
        [ -n "$PORT" ] && return 0
        sleep 0.05
    done
    echo "server did not start: $(cat "$out")" >&2
    exit 1
}
mbps() { sed -n 's/.* MBps \([0-9.]*\).*/\1/p' "$1"; }
rss() { sed -n 's/.*peak_rss_kib \([0-9-]*\).*/\1/p' "$1"; }

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "file transfer bench: $MIB MiB over 127.0.0.1, $REPEAT rounds; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
RAW0="" RAW1="" OURS="" RSS_RAW="" RSS_OURS=""
for round in $(seq 1 "$REPEAT"); do
    for nodelay in 0 1; do
        start_server "$WORK/serve.out" "$BIN/ft_bench_raw" serve "$SRC" $nodelay
        timeout 300 "$BIN/ft_bench_raw" fetch "$PORT" "$WORK/raw.bin" $nodelay "$SIZE" >"$WORK/fetch.out"
        wait "$SERVER_PID"
        eval "RAW$nodelay=\"\$RAW$nodelay $(mbps "$WORK/fetch.out")\""
        RSS_RAW="server $(rss "$WORK/serve.out") KiB, fetcher $(rss "$WORK/fetch.out") KiB"
        rm -f "$WORK/raw.bin"
    done
    start_server "$WORK/send.out" "$BIN/ft_bench_transfer" send "$SRC"
    timeout 300 "$BIN/ft_bench_transfer" receive "$PORT" "$WORK/received.bin" >"$WORK/receive.out"
    wait "$SERVER_PID"
    OURS="$OURS $(mbps "$WORK/receive.out")"
    RSS_OURS="sender $(rss "$WORK/send.out") KiB, receiver $(rss "$WORK/receive.out") KiB"
    if ! cmp -s "$SRC" "$WORK/received.bin"; then echo "  RECEIVED FILE DIFFERS"; exit 1; fi
    rm -f "$WORK/received.bin"
done
M0=$(echo $RAW0 | median) M1=$(echo $RAW1 | median) MO=$(echo $OURS | median)
printf '  raw lock-step, TCP_NODELAY=0: median %8s MB/s  (%s)\n' "$M0" "$RAW0"
printf '  raw lock-step, TCP_NODELAY=1: median %8s MB/s  (%s)   peak RSS %s\n' "$M1" "$RAW1" "$RSS_RAW"
printf '  FileSender -> FileReceiver:   median %8s MB/s  (%s)   peak RSS %s\n' "$MO" "$OURS" "$RSS_OURS"
echo "  every received file identical to the source; load after: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v o="$MO" -v a="$M0" -v b="$M1" 'BEGIN {
    best = a > b ? a : b
    printf "  ratio of the medians to the better ceiling: %.0f %% (target >= 70 %%)\n", 100 * o / best }'
