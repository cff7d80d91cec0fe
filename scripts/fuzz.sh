#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds every libFuzzer target of fuzz/ (fuzz/fuzz_*.cpp, listed in
# fuzz/CMakeLists.txt) with clang, ASan and UBSan into build-fuzz/, and runs each
# for a bounded time, one result line per target.
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
targets=()
for src in "$root"/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$src" .cpp)")
done

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if ! cmake -S "$root" -B "$out/build" -G Ninja -DCMAKE_CXX_COMPILER="${CXX_FUZZ:-clang++}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_FUZZ=ON -DBUILD_TESTING=OFF "${launcher[@]}" \
        >"$out/configure.log" 2>&1 ||
    ! cmake --build "$out/build" -j "${FUZZ_JOBS:-2}" --target "${targets[@]}" >"$out/build.log" 2>&1; then
    echo "fuzz targets: BUILD FAILED (see $out/configure.log and $out/build.log)"
    exit 1
fi

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
seed fuzz_control_words words 'NEXTCHUNKSTOPACPTBYE'
seed fuzz_chunk_stream cancel '\0\0\0\0\0\0\0\1\0FILETRANSFERSTOP'
seed fuzz_arrival login '\0\0\0\0\0\0\0\0\3\0\3\1\1\2hallo\0'
seed fuzz_tls_arrival record '\1\0\26\3\1\0\5hallo'

failed=0
for t in "${targets[@]}"; do
    bin="$out/build/fuzz/$t"
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
