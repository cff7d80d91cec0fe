#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Throughput of a 1 GiB file transfer over 127.0.0.1 between two processes: the
# client's own sender and receiver against the raw ceiling of the same lock-step
# exchange over plain sockets, with and without TCP_NODELAY. Prints MB/s, the
# ratio to the better ceiling, and the peak memory of every process, for the two
# processes on one CPU, on two CPUs, and left to the scheduler.
#   [REPEAT=3] bench/filetransfer/run.sh [size-in-MiB, default 1024]
# Each round runs the three pairs one after the other; medians are compared.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build-ftbench}
MIB=${1:-1024}
REPEAT=${REPEAT:-3}
WORK=$(mktemp -d /tmp/zindle-ftbench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZINDLE_BUILD_BENCH=ON \
      "${launcher[@]}" >/dev/null
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

# One transfer; $1 = raw0 | raw1 | ours, $2/$3 = CPU lists of the serving and the receiving process.
transfer() {
    local kind=$1 serveCpu=$2 fetchCpu=$3
    if [ "$kind" = ours ]; then
        start_server "$WORK/serve.out" taskset -c "$serveCpu" "$BIN/ft_bench_transfer" send "$SRC"
        timeout 300 taskset -c "$fetchCpu" "$BIN/ft_bench_transfer" receive "$PORT" "$WORK/received.bin" >"$WORK/fetch.out"
    else
        start_server "$WORK/serve.out" taskset -c "$serveCpu" "$BIN/ft_bench_raw" serve "$SRC" "${kind#raw}"
        timeout 300 taskset -c "$fetchCpu" "$BIN/ft_bench_raw" fetch "$PORT" "$WORK/received.bin" "${kind#raw}" "$SIZE" >"$WORK/fetch.out"
    fi
    wait "$SERVER_PID"
    if ! cmp -s "$SRC" "$WORK/received.bin"; then echo "  $kind: RECEIVED FILE DIFFERS"; exit 1; fi
    rm -f "$WORK/received.bin"
    RSS[$kind]="$(rss "$WORK/serve.out") / $(rss "$WORK/fetch.out") KiB"
    RATE[$kind]="${RATE[$kind]:-} $(mbps "$WORK/fetch.out")"
}

LAST=$(($(nproc) - 1))
echo "file transfer bench: $MIB MiB over 127.0.0.1, $REPEAT rounds, medians in MB/s; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
# Pinned, because on a small shared machine the scheduler's placement otherwise decides more than the code does.
for placement in "both on CPU $LAST:$LAST:$LAST" "on CPUs 0 and $LAST:0:$LAST" "unpinned:0-$LAST:0-$LAST"; do
    IFS=: read -r label serveCpu fetchCpu <<<"$placement"
    declare -A RATE=() RSS=()
    for _ in $(seq 1 "$REPEAT"); do
        for kind in raw0 raw1 ours; do transfer $kind "$serveCpu" "$fetchCpu"; done
    done
    R0=$(echo ${RATE[raw0]} | median) R1=$(echo ${RATE[raw1]} | median) RO=$(echo ${RATE[ours]} | median)
    echo "  $label:"
    printf '    raw, Nagle on      %7s  (%s)\n' "$R0" "${RATE[raw0]# }"
    printf '    raw, TCP_NODELAY   %7s  (%s)\n' "$R1" "${RATE[raw1]# }"
    printf '    FileSender/FileReceiver %7s  (%s)\n' "$RO" "${RATE[ours]# }"
    awk -v o="$RO" -v a="$R0" -v b="$R1" 'BEGIN { best = a > b ? a : b
        printf "    ours / better ceiling: %.0f %% (target >= 70 %%)\n", 100 * o / best }'
    echo "    peak RSS serving / receiving process: raw ${RSS[raw1]}, ours ${RSS[ours]}"
done
echo "  every received file identical to the source; load after: $(cut -d' ' -f1-3 /proc/loadavg)"
