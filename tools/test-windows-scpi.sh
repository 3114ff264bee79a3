#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# evmctl.exe serve under Wine, bound to 127.0.0.1, driven by the Linux VISA
# client (pyvisa with its pure-Python backend): the same script ctest runs
# against the Linux evmctl. Uses the Wine prefix of the build folder, as
# tools/test-windows.sh does.
# Usage: tools/test-windows-scpi.sh WINDOWS_BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."

export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" WINEARCH=win64 WINEDEBUG=-all
export HOME="${WINE_TEST_HOME:-$build/winehome}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's own services start now, on /dev/null: started by the first
# evmctl.exe they would hold its standard error open after it ends.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

echo "== evmctl.exe serve under Wine, driven by pyvisa-py"
EVMCTL_RUNNER=wine timeout 300 /usr/bin/python3 tests/scpi/scpi_visa_test.py "$build/src/evmctl.exe"
