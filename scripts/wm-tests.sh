#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the window tests that only mean something under a real window manager: a
# virtual X display (Xvfb) with openbox, the xcb platform and a private settings
# folder. Everything it starts it stops again; every wait is bounded.
#
#   scripts/wm-tests.sh [build folder] [gtest arguments...]   (default build/normal)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/normal}
shift || true
bin=$build/tests/wm/wm_tests
[[ -x $bin ]] || { echo "wm-tests: $bin is not built" >&2; exit 1; }

source scripts/xvfb-lib.sh
start_xvfb wm-tests 91 140
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
# The desktop count exists only once a window manager manages the screen.
for _ in $(seq 100); do xdotool get_num_desktops >/dev/null 2>&1 && break; sleep 0.1; done
xdotool get_num_desktops >/dev/null 2>&1 || { echo "wm-tests: openbox did not start" >&2; cat "$work/openbox.log" >&2; exit 1; }

echo "=== window tests on :$display with openbox"
QT_QPA_PLATFORM=xcb timeout 180 "$bin" "$@"
