#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Release client burst bench into build-bench (or $BUILD_DIR) and
# prints the program's path, for the scripts that run it.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build-bench}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZINDLE_BUILD_TESTS=OFF -DBUILD_TESTING=OFF \
    -DZINDLE_BUILD_BENCH=ON "${launcher[@]}" 2>/dev/null >/dev/null
cmake --build "$BUILD" -j2 --target zindle_client_burst >/dev/null
echo "$BUILD/bench/client/zindle_client_burst"
