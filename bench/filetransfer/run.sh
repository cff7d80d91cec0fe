#!/usr/bin/env bash
# Throughput of a 1 GiB file transfer over 127.0.0.1 between two processes: the
# client's own sender and receiver against the raw ceiling of the same lock-step
# exchange over plain sockets, with and without TCP_NODELAY. Prints MB/s, the
# ratio to the better ceiling, and the peak memory of every process.
#   bench/filetransfer/run.sh [size-in-MiB, default 1024]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build-ftbench}
MIB=${1:-1024}
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

echo "file transfer bench: $MIB MiB over 127.0.0.1; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for nodelay in 0 1; do
    start_server "$WORK/serve.out" "$BIN/ft_bench_raw" serve "$SRC" $nodelay
    timeout 300 "$BIN/ft_bench_raw" fetch "$PORT" "$WORK/raw.bin" $nodelay "$SIZE" >"$WORK/fetch.out"
    wait "$SERVER_PID"
    eval "RAW$nodelay=$(mbps "$WORK/fetch.out")"
    printf '  raw lock-step, TCP_NODELAY=%s: %8s MB/s   peak RSS server %s KiB, fetcher %s KiB\n' \
        $nodelay "$(mbps "$WORK/fetch.out")" "$(rss "$WORK/serve.out")" "$(rss "$WORK/fetch.out")"
    rm -f "$WORK/raw.bin"
done

start_server "$WORK/send.out" "$BIN/ft_bench_transfer" send "$SRC"
timeout 300 "$BIN/ft_bench_transfer" receive "$PORT" "$WORK/received.bin" >"$WORK/receive.out"
wait "$SERVER_PID"
OURS=$(mbps "$WORK/receive.out")
printf '  FileSender -> FileReceiver:   %8s MB/s   peak RSS sender %s KiB, receiver %s KiB\n' \
    "$OURS" "$(rss "$WORK/send.out")" "$(rss "$WORK/receive.out")"
if cmp -s "$SRC" "$WORK/received.bin"; then echo "  received file identical"; else echo "  RECEIVED FILE DIFFERS"; exit 1; fi
awk -v o="$OURS" -v a="$RAW0" -v b="$RAW1" 'BEGIN {
    best = a > b ? a : b
    printf "  ratio to the better ceiling: %.0f %% (target >= 70 %%)\n", 100 * o / best }'
