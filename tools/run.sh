#!/usr/bin/env bash
# Builds sequora.exe and starts it under Wine. It runs in its own Wine prefix
# (build/run-prefix, or $SEQUORA_WINEPREFIX), so it manages that prefix's start-up entries and
# never your own Wine's. Without a display it starts on a virtual one (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh build

cmake --preset wine
cmake --build --preset wine -j "$(nproc)" --target sequora

export WINEPREFIX="${SEQUORA_WINEPREFIX:-$PWD/build/run-prefix}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
exe="$PWD/build/wine/app/sequora.exe"
if [ -n "${DISPLAY:-}" ]; then
    [ -f "$WINEPREFIX/system.reg" ] || { wineboot -i; wineserver -w; }
    exec wine "$exe"
fi
echo "No DISPLAY: starting Sequora on a virtual display (Xvfb)."
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c \
    '[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i; wineserver -w; }; wine "$0"' "$exe"
