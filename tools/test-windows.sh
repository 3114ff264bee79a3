#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows build under Wine: the core and command-line test programs,
# the C interface's test against the DLL, then evmctl.exe beside the Linux
# evmctl, whose output it must repeat byte for byte. Wine runs headless in a
# prefix of its own inside the build folder, so neither the user's Wine nor
# their desktop is touched.
# WINDOWS_WHEEL, when given, is the Python package for Windows: the C test
# runs once more against the DLL unpacked from it, the one its users get.
# Usage: tools/test-windows.sh WINDOWS_BUILD_DIR LINUX_EVMCTL [WINDOWS_WHEEL]
set -euo pipefail
build=$(cd "$1" && pwd)
linux_evmctl=$(realpath "$2")
wheel=${3:+$(realpath "$3")}
cd "$(dirname "$0")/.."

export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export HOME="$build/winehome" XDG_CONFIG_HOME="$build/winehome/.config"
export XDG_DATA_HOME="$build/winehome/.local/share" XDG_CACHE_HOME="$build/winehome/.cache"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i >/dev/null 2>&1
fi
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

failed=0
for t in evm_core_tests evm_cli_tests; do
  echo "== $t.exe under Wine"
  wine "$build/tests/$t.exe" --gtest_brief=1 || failed=1
done

# The C interface from C against zm5520evm.dll, which exports the committed
# symbols and needs no MinGW runtime DLL beside it.
echo "== capi_test.exe against zm5520evm.dll under Wine"
wine "$build/tests/capi/capi_test.exe" "$build/tests/capi" examples/dac_to_converters.txt || failed=1
tools/check-exports.sh "$build/src/zm5520evm.dll" src/api/zm5520evm.dll.exports || failed=1
dll_imports=$(x86_64-w64-mingw32-objdump -p "$build/src/zm5520evm.dll" | sed -n 's/^[[:space:]]*DLL Name: //p')
if grep -Eiq '^(libstdc|libgcc|libwinpthread)' <<<"$dll_imports"; then
  echo "FAIL zm5520evm.dll needs a MinGW runtime DLL:" $dll_imports
  failed=1
else
  echo "ok   zm5520evm.dll imports only" $dll_imports
fi

if [ -n "$wheel" ]; then
  echo "== capi_test.exe against the DLL of $(basename "$wheel")"
  unpacked="$build/wheel-unpacked"
  rm -rf "$unpacked" && mkdir -p "$unpacked"
  (cd "$unpacked" && python3 -m zipfile -e "$wheel" .)
  wheel_dll=$(find "$unpacked" -name zm5520evm.dll | head -n1)
  if [ -z "$wheel_dll" ]; then
    echo "FAIL no zm5520evm.dll in $wheel"
    failed=1
  else
    cp "$build/tests/capi/capi_test.exe" "$(dirname "$wheel_dll")/"
    wine "$(dirname "$wheel_dll")/capi_test.exe" "$build/tests/capi" examples/dac_to_converters.txt ||
      failed=1
  fi
fi

# The same command on both builds, each with a fresh state folder: stdout,
# stderr and the exit status must be the same.
work="$build/evmctl-compare"
rm -rf "$work"
mkdir -p "$work"
compare() {
  local name=$1
  shift
  mkdir -p "$work/linux-$name" "$work/windows-$name"
  local lc=0 wc=0
  "$linux_evmctl" --config-dir "$work/linux-$name" "$@" >"$work/$name.linux.out" \
    2>"$work/$name.linux.err" || lc=$?
  wine "$build/src/evmctl.exe" --config-dir "$work/windows-$name" "$@" \
    >"$work/$name.windows.out" 2>"$work/$name.windows.err" || wc=$?
  if [ "$lc" != "$wc" ] || ! cmp -s "$work/$name.linux.out" "$work/$name.windows.out" ||
    ! cmp -s "$work/$name.linux.err" "$work/$name.windows.err"; then
    echo "FAIL evmctl $*: exit $wc on Windows, $lc on Linux"
    diff "$work/$name.linux.out" "$work/$name.windows.out" || true
    diff "$work/$name.linux.err" "$work/$name.windows.err" || true
    failed=1
  else
    echo "ok   evmctl $* (exit $wc)"
  fi
}
echo "== evmctl.exe against the Linux evmctl"
# On virtual time both read the same conversions, whose noise is then the same.
compare read --simulate --sim-fast read
compare encode encode "CMD MUX 40"
compare script --simulate script examples/dac_to_converters.txt

# No HID device exists under Wine: the real Win32 enumeration must find no
# board and say so, not crash or hang.
code=0
timeout 60 wine "$build/src/evmctl.exe" --config-dir "$work/windows-none" read \
  >"$work/none.out" 2>"$work/none.err" || code=$?
if [ "$code" = 3 ] && grep -q "no register link board found" "$work/none.err"; then
  echo "ok   evmctl read without a board (exit 3)"
else
  echo "FAIL evmctl read without a board: exit $code"
  cat "$work/none.err"
  failed=1
fi

# Without --config-dir the state goes to the per-user folder the GUI uses,
# never to %TEMP%.
local_state="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/zm5520-evm/zm5520-evm"
rm -rf "$local_state"
code=0
wine "$build/src/evmctl.exe" --simulate calibrate --rshunt 0.01 --max-current 2 --lsb 100u \
  --write >/dev/null 2>&1 || code=$?
if [ "$code" = 0 ] && [ -f "$local_state/ZM5520_1EVM_Settings.csv" ]; then
  echo "ok   evmctl keeps its state in %LOCALAPPDATA%"
else
  echo "FAIL evmctl state folder: exit $code, nothing in $local_state"
  failed=1
fi

tools/test-windows-scpi.sh "$build" || failed=1

[ "$failed" = 0 ] && echo "Windows build: all passed under Wine"
exit "$failed"
