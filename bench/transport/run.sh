#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU per relayed chat line between two connections while 0, 1,000, 5,000 and
# 15,000 others sit idle: the server's epoll transport against one Winsock object
# (QTcpSocket) per connection, measured in the same run, a fresh relay process per
# case, rounds interleaved. Also the relay's resident memory per idle connection,
# and CPU per delivery when every line also goes to 1,000 or 15,000 listeners.
#   bench/transport/run.sh [rounds, default 3]
# Environment: SECONDS_PER_CASE (2), IDLE (0,1000,5000,15000), FANOUT (1000,15000),
# TRANSPORTS (epoll,winsock).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build-bench}"
ROUNDS="${1:-3}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZINDLE_BUILD_BENCH=ON "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j2 --target zindle_transport_bench >/dev/null

# Both ends of 15,000 connections live on this machine: one descriptor each side.
ulimit -n "$(ulimit -Hn)"
if (( $(ulimit -n) < 15100 )); then
    echo "note: descriptor limit $(ulimit -n); cases above $(( $(ulimit -n) - 100 )) idle connections fail" >&2
fi
echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
"$BUILD/bench/transport/zindle_transport_bench" \
    --transports "${TRANSPORTS:-epoll,winsock}" \
    --idle "${IDLE:-0,1000,5000,15000}" \
    --fanout "${FANOUT:-1000,15000}" \
    --rounds "$ROUNDS" \
    --seconds "${SECONDS_PER_CASE:-2}"
