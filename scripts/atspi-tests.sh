#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The client as a screen reader sees it, on the real stack: a virtual X display
# (Xvfb), a private session bus with the AT-SPI registry, a console chat server
# on the loopback address, and the client with Qt's accessibility bridge on.
# tests/atspi/ConnectAndHear.py then drives the client over AT-SPI. Everything
# it starts it stops again; every wait is bounded.
#
#   scripts/atspi-tests.sh [build folder]   (default build/normal)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath "${1:-build/normal}")
for bin in "$build/client/ZindleChatClient" "$build/server/ZindleChatServer"; do
  [[ -x $bin ]] || { echo "atspi-tests: $bin is not built" >&2; exit 1; }
done

source scripts/xvfb-lib.sh
start_xvfb atspi-tests 141 190
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS

# A port nobody listens on right now, on the loopback address.
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$build/server/ZindleChatServer" --headless --port "$port" >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

echo "=== screen-reader test on :$display, server on 127.0.0.1:$port"
# The session bus starts the accessibility bus and its registry on demand and
# ends with the inner command; the client ends with it too (its bus is gone),
# and is stopped here in any case. The client speaks plaintext (--plain): the
# question about a certificate is not what this test is about.
status=0
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb timeout 120 dbus-run-session -- bash -c '
  "$1/client/ZindleChatClient" --plain >"$2/client.log" 2>&1 &
  client=$!
  timeout 90 /usr/bin/python3 "$3/tests/atspi/ConnectAndHear.py" "$4"
  status=$?
  kill $client 2>/dev/null; wait $client 2>/dev/null
  exit $status' atspi "$build" "$work" "$root" "$port" || status=$?
if ((status != 0)); then
  echo "atspi-tests: failed ($status); the client said:" >&2
  cat "$work/client.log" >&2 || true
  echo "atspi-tests: the server said:" >&2
  cat "$work/server.log" >&2 || true
fi
exit $status
