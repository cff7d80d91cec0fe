#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the codec fuzz targets with clang (libFuzzer + ASan + UBSan) into
# build-fuzz/ and runs each for a bounded time, one result line per target.
#
#   scripts/fuzz.sh [seconds-per-target]      (default 60)
#
# Corpora are kept in build-fuzz/corpus-<target>/ so later runs build on earlier
# ones; a finding is written to build-fuzz/<target>-crash-* and makes the script
# exit non-zero.
set -u
seconds="${1:-60}"
case "$seconds" in '' | *[!0-9]*) echo "usage: $0 [seconds-per-target]" >&2; exit 2 ;; esac

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-fuzz"
mkdir -p "$out"
cxx="${CXX_FUZZ:-clang++}"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer -I"$root" -I"$root/fuzz")
common_sources=("$root"/common/*.cpp)
targets=(fuzz_divide_combine fuzz_framing fuzz_messages fuzz_version fuzz_arrival)
# Targets that drive the server core need Qt and its meta-object compiler.
qt_targets=(fuzz_arrival)
moc="${MOC:-/usr/lib/qt6/libexec/moc}"
qt_headers=(server/core/ServerCore.h server/core/LogModel.h server/core/QtServerTransport.h net/ServerTransport.h)
qt_sources=("$root"/server/core/*.cpp "$root"/net/SettingsStore.cpp "$root"/tests/support/FakeTransport.cpp)

# Builds a Qt target: moc output into build-fuzz/moc/, then one compiler call.
build_qt_target() { # target binary
    mkdir -p "$out/moc"
    local mocs=()
    for h in "${qt_headers[@]}"; do
        local m="$out/moc/moc_$(basename "$h" .h).cpp"
        "$moc" -I"$root" "$root/$h" -o "$m" || return 1
        mocs+=("$m")
    done
    # shellcheck disable=SC2046
    "$cxx" "${flags[@]}" -fPIC $(pkg-config --cflags Qt6Core Qt6Network) "$root/fuzz/$1.cpp" \
        "${common_sources[@]}" "${qt_sources[@]}" "${mocs[@]}" $(pkg-config --libs Qt6Core Qt6Network) -o "$2"
}

# A few well-formed inputs to start from (the fuzzer finds the rest).
seed() { # target name bytes...
    local dir="$out/corpus-$1"
    mkdir -p "$dir"
    printf "$3" >"$dir/seed-$2"
}
seed fuzz_divide_combine plain 'x\0a\\#b#c\\\\d#x\\r\\n'
seed fuzz_divide_combine escapes 'x\0\\q#\\N#ab\\'
seed fuzz_framing chat 'xxxxxxxxxxxxnick> hallo\r\n\0\377\377ACKD\0\377\377USRL1#a#0\0rest'
seed fuzz_messages cack '\0\377\377CACKnick#\\#pw#0.2 build #0013'
seed fuzz_messages user '\0\377\377USRN 12 #naam#1'
seed fuzz_messages file '\0\377\377FILE3#a\\#b.txt#127.0.0.1#40001'
seed fuzz_version client 'xxxxxxxxxxxx0.2 build #0013'
seed fuzz_version old 'xxxxxxxxxxxx0.1 build #0016'
seed fuzz_arrival login '\0\0\0\0\0\0\0\0\3\0\3\1\1\2hallo\0'

failed=0
for t in "${targets[@]}"; do
    bin="$out/$t"
    # Rebuild only when a source is newer than the binary.
    stale=0
    is_qt=0
    for q in "${qt_targets[@]}"; do [ "$q" = "$t" ] && is_qt=1; done
    deps=("$root/fuzz/$t.cpp" "$root"/fuzz/*.h "$root"/common/*.cpp "$root"/common/*.h)
    [ "$is_qt" -eq 1 ] && deps+=("$root"/server/core/* "$root"/net/* "$root"/tests/support/FakeTransport.*)
    for src in "${deps[@]}"; do
        [ "$src" -nt "$bin" ] && stale=1
    done
    if [ "$is_qt" -eq 1 ]; then
        build() { build_qt_target "$t" "$bin"; }
    else
        build() { "$cxx" "${flags[@]}" "$root/fuzz/$t.cpp" "${common_sources[@]}" -o "$bin"; }
    fi
    if [ "$stale" -eq 1 ] && ! build 2>"$out/$t.build.log"; then
        echo "$t: BUILD FAILED (see $out/$t.build.log)"
        failed=1
        continue
    fi
    log="$out/$t.log"
    (cd "$out" && timeout $((seconds + 60)) "$bin" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/$t-" "$out/corpus-$t" >"$log" 2>&1)
    rc=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    corpus=$(ls "$out/corpus-$t" | wc -l)
    if [ "$rc" -eq 0 ]; then
        echo "$t: ok, ${runs:-?} runs in ${seconds}s, coverage ${cov:-?} edges, corpus $corpus inputs"
    else
        artifact=$(grep -o "$out/$t-[a-z-]*[0-9a-f]*" "$log" | tail -1)
        reason=$(grep -m1 -E 'ERROR: |property failed|runtime error' "$log" | sed 's/^==[0-9]*==//')
        echo "$t: FOUND after ${runs:-?} runs: ${reason:-exit code $rc} ${artifact:+($artifact)}"
        failed=1
    fi
done
exit "$failed"
