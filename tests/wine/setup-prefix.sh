#!/usr/bin/env bash
# Creates the private Wine prefix the Wine tests run in (once), with the crash dialog off so a
# crashing test fails instead of waiting for a click.
set -euo pipefail
export WINEPREFIX="$1"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i
fi
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
wineserver -w
