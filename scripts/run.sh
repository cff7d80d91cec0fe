#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds both programs and runs them: with a display, the server window and a
# client connected to it; without one, the server headless on port 12345.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DZINDLE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build/release -j "$(nproc)" --target ZindleChatServer ZindleChatClient
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  build/release/server/ZindleChatServer &
  server=$!
  trap 'kill $server 2>/dev/null || true' EXIT
  build/release/client/ZindleChatClient 127.0.0.1:12345
else
  exec build/release/server/ZindleChatServer --headless "$@"
fi
