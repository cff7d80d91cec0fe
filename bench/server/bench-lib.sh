# SPDX-License-Identifier: GPL-3.0-or-later
# What the server benchmark scripts share; sourced, not run. Expects ROOT and BUILD.

# Builds the Release targets named as arguments into $BUILD.
build_release() {
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZINDLE_BUILD_BENCH=ON \
        "${launcher[@]}" >/dev/null
    cmake --build "$BUILD" -j2 --target "$@" >/dev/null
}

# Thousands of clients need as many descriptors on both sides, and some to spare.
ulimit -n 20000 2>/dev/null || ulimit -n "$(ulimit -Hn)"
export XDG_CONFIG_HOME="$(mktemp -d)" # the server's stored options stay out of the user's own
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$XDG_CONFIG_HOME}"

SERVER_PID=""
# Stops the server we started: politely, then after 5 s for good.
cleanup() {
    if [[ -n "$SERVER_PID" ]]; then
        kill "$SERVER_PID" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$SERVER_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$SERVER_PID" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
        SERVER_PID=""
    fi
}
trap cleanup EXIT

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# field NAME "RESULT line": the value of NAME=...
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<" $2"; }
