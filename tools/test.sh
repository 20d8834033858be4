#!/usr/bin/env bash
# Builds and runs every test: the native core (with AddressSanitizer and UBSan), the fuzzers
# over their corpora, and the Win32 build under Wine in a private prefix on a headless display.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test

jobs=$(nproc)

cmake --preset native
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
tools/fuzz.sh smoke

cmake --preset wine
cmake --build --preset wine -j "$jobs"
# One display for the whole run: the prefix set-up and every test share it, so no wineserver
# without a display is alive when a window is created.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset wine
