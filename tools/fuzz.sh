#!/usr/bin/env bash
# Runs the libFuzzer targets of build/fuzz. "smoke" replays each corpus and fuzzes briefly (as the
# test command does); "long SECONDS" fuzzes each target for that long, adding finds to the corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-smoke}"
seconds="${2:-15}"
[ "$mode" = smoke ] && seconds=10

shopt -s nullglob
targets=(build/fuzz/tests/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets built"
    exit 0
fi
for target in "${targets[@]}"; do
    name=$(basename "$target")
    corpus="tests/fuzz/corpus/${name#fuzz_}"
    mkdir -p "$corpus"
    work=$(mktemp -d)
    echo "== $name: $seconds s over $corpus"
    if [ "$mode" = smoke ]; then
        # New finds go to a scratch folder so the checked-in corpus stays small.
        "$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 "$work" "$corpus" 2>&1 | tail -n 3
    else
        "$target" -max_total_time="$seconds" -max_len=4096 "$corpus" 2>&1 | tail -n 3
    fi
    rm -rf "$work"
done
