#!/usr/bin/env bash
# Builds and runs every benchmark and prints one table of results (figure, measured, target,
# met?): the Windows-free core natively under Google Benchmark, the whole program under Wine in a
# private prefix on a headless display, each whole-program figure side by side with the floor
# program. Every "met?" is computed from this run's measurements.
#
# Build folders: $SEQUORA_BENCH_NATIVE (default build/bench) and $SEQUORA_BENCH_WINE (default
# build/bench-wine). Start-up runs: $SEQUORA_BENCH_RUNS (default 11).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh bench

native=${SEQUORA_BENCH_NATIVE:-build/bench}
wine_dir=${SEQUORA_BENCH_WINE:-build/bench-wine}
runs=${SEQUORA_BENCH_RUNS:-11}
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

cmake --preset bench -B "$native" >/dev/null
cmake --build "$native" --target core_bench -j "$jobs"
cmake --preset bench-wine -B "$wine_dir" >/dev/null
cmake --build "$wine_dir" --target sequora floor startup_bench grid_paint_bench launch_recorder -j "$jobs"

results="$wine_dir/bench-results"
rm -rf "$results"
mkdir -p "$results"

echo "== core benchmarks (native)"
"$native/bench/core_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$results/core.json" --benchmark_out_format=json

echo "== whole-program benchmarks (Wine)"
prefix="$PWD/$wine_dir/bench-prefix"
export WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
# One display for the prefix set-up and every measurement, so that no wineserver without a display
# is alive when a window is created.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -uo pipefail
    tests/wine/setup-prefix.sh "$WINEPREFIX" || exit 1
    bin="$1/bench"; out="$2"
    # A program that fails leaves its figures out of the table ("not measured"); the others run.
    measure() { name=$1; shift; wine "$@" >"$out/$name.txt" 2>"$out/$name.log" || echo "failed: $name (see $out/$name.log)"; }
    measure startup "$bin/startup_bench.exe" startup --runs "$3"
    measure recorder "$bin/startup_bench.exe" recorder --runs 10
    measure launch "$bin/startup_bench.exe" launch --runs 2
    measure paint "$bin/grid_paint_bench.exe" --repeats 300
    wineserver -w
' bench "$wine_dir" "$results" "$runs"

x86_64-w64-mingw32-objdump -p "$wine_dir/app/sequora.exe" | sed -n 's/^\s*DLL Name: //p' >"$results/imports.txt"
x86_64-w64-mingw32-objdump -p "$wine_dir/bench/floor.exe" | sed -n 's/^\s*DLL Name: //p' >"$results/floor-imports.txt"
{
    echo "size.target_bytes=$(stat -c %s "$wine_dir/app/sequora.exe")"
    echo "size.floor_bytes=$(stat -c %s "$wine_dir/bench/floor.exe")"
} >"$results/size.txt"

{
    echo "machine=$(uname -m), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
    echo "wine=$(wine --version 2>/dev/null)"
    echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
} >"$results/machine.txt"

python3 tools/bench_table.py "$results"
