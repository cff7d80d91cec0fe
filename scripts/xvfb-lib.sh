# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the test scripts that need a virtual X display of their own.
#   start_xvfb NAME FIRST LAST
# takes the first free display number in FIRST..LAST, makes a work folder
# ($work) whose processes ($pids) are stopped and which is removed on exit,
# starts Xvfb there and waits (bounded) until it takes connections. Sets
# $display and DISPLAY.
start_xvfb() {
  local name=$1 first=$2 last=$3 n
  display=
  for n in $(seq "$first" "$last"); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then display=$n; break; fi
  done
  [[ -n $display ]] || { echo "$name: no free X display number" >&2; exit 1; }

  work=$(mktemp -d)
  pids=()
  trap cleanup_xvfb EXIT

  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ -S /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
  [[ -S /tmp/.X11-unix/X$display ]] || { echo "$name: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$display
}

cleanup_xvfb() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
