#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs every test twice: in a normal build (benchmark tests
# included), and in a build with AddressSanitizer and UndefinedBehaviorSanitizer
# where any report fails the run. Checks the licence lines and the layers first;
# with clang present, ends with a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$(mktemp -d)
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"' EXIT
jobs=$(nproc)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

run_suite() { # name, extra cmake flags...
  local name=$1; shift
  local dir="$root/build/$name"
  echo "=== $name: configure and build"
  cmake -S "$root" -B "$dir" -G Ninja -DZINDLE_WERROR=ON "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== $name: tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

# The layers: common/ is plain C++, and no core library touches widgets.
if grep -rlE '#include <Q' common || grep -rlE '#include <(QtWidgets|QWidget|QApplication|QDialog|QMainWindow|QMessageBox)' \
     net server/core server/headless server/daemon client/core; then
  echo "layer check: the files above include what their layer must not" >&2
  exit 1
fi
bash scripts/check-spdx.sh

start=$(date +%s)
run_suite normal -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_BUILD_BENCH=ON
bash scripts/wm-tests.sh "$root/build/normal"
bash scripts/atspi-tests.sh "$root/build/normal"
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
run_suite sanitized -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_SANITIZE=ON -DZINDLE_BUILD_BENCH=OFF
if command -v clang++ >/dev/null; then
  echo "=== fuzz targets: a short run each"
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
else
  echo "=== fuzz targets: skipped (no clang++)"
fi
echo "=== all tests passed in both builds ($(( $(date +%s) - start )) s)"
