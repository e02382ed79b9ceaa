#!/usr/bin/env bash
# Builds the parser fuzzers with clang (libFuzzer, ASan, UBSan) and runs them.
#   tests/fuzz/run.sh [seconds per target] [target...]   (default: 60, ini history)
# Each run starts from tests/fuzz/corpus/<target>/ and merges what it finds
# back into it, minimised to what adds edge coverage. Findings are written to
# build-fuzz/<target>-crash-*; the script then exits with status 1.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ini history)
out=build-fuzz
mkdir -p "$out"
CXX=${CXX:-clang++}
flags=(-std=c++17 -g -O1 -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
for t in "${targets[@]}"; do
    "$CXX" "${flags[@]}" -o "$out/fuzz_$t" "tests/fuzz/fuzz_$t.cpp" \
        accounting/IniParser.cpp accounting/History.cpp
done
status=0
for t in "${targets[@]}"; do
    corpus=tests/fuzz/corpus/$t
    work=$out/work-$t
    mkdir -p "$corpus" "$work"
    extra=()
    [ "$t" = ini ] && extra=(-max_len=4096 -dict=tests/fuzz/ini.dict)
    [ "$t" = history ] && extra=(-max_len=8192 -dict=tests/fuzz/history.dict)
    echo "== fuzz_$t for ${seconds}s"
    seeds=("$corpus")
    [ -d "tests/fuzz/regressions/$t" ] && seeds+=("tests/fuzz/regressions/$t")
    "$out/fuzz_$t" "${extra[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$out/$t-" -rss_limit_mb=1024 -timeout=10 "$work" "${seeds[@]}" || status=1
    # Keep only what adds edge coverage: a corpus of a few hundred small files.
    fresh=$(mktemp -d)
    "$out/fuzz_$t" "${extra[@]}" -merge=1 -use_counters=0 "$fresh" "$corpus" "$work" \
        >/dev/null 2>&1
    rm -rf "$corpus"
    mv "$fresh" "$corpus"
    echo "corpus $t: $(ls "$corpus" | wc -l) files, $(du -sb "$corpus" | cut -f1) bytes"
done
ls "$out"/*-crash-* 2>/dev/null && status=1
exit $status
