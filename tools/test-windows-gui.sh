#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows GUI under Wine on a virtual screen: its window tests, its
# pictures of every window beside the Linux GUI's, its start without a board,
# and setup.exe installing, running and uninstalling silently. Wine runs in a
# prefix of its own inside the build folder and sees only the fonts named
# below, so the pictures do not depend on what this machine has installed.
# Usage: tools/test-windows-gui.sh WINDOWS_GUI_BUILD_DIR LINUX_GUI SETUP_EXE VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
linux_gui=$(realpath "$2")
setup=$(realpath "$3")
version=$4
cd "$(dirname "$0")/.."
root=$(pwd)
deploy="$build/zm5520-evm-$version-windows-x86_64"
# The window tests also need Qt Test, which the program does not ship.
qt=$(sed -n 's/^EVM_WINDOWS_QT:[A-Z]*=//p' "$build/CMakeCache.txt")
work="$build/wine-test"
rm -rf "$work"
mkdir -p "$work"

export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export HOME="$build/winehome" XDG_CONFIG_HOME="$build/winehome/.config"
export XDG_DATA_HOME="$build/winehome/.local/share" XDG_CACHE_HOME="$build/winehome/.cache"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_STYLE_OVERRIDE
mkdir -p "$HOME"
winpath() { echo "Z:${1//\//\\}"; }

# One font family for both builds, and Wine's own fonts for what Wine draws.
# Qt on Linux asks for "Sans Serif", which without the alias would be
# whatever DejaVu face fontconfig sorts first.
cat >"$work/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <dir>/usr/share/wine/fonts</dir>
  <cachedir>$work/fontcache</cachedir>
  <alias><family>Sans Serif</family><prefer><family>DejaVu Sans</family></prefer></alias>
  <alias><family>sans-serif</family><prefer><family>DejaVu Sans</family></prefer></alias>
</fontconfig>
EOF
export FONTCONFIG_FILE="$work/fonts.conf"

# This Wine hands no QT_* variable to a Windows program, so cmd inside Wine
# sets them: qtrun VAR=VALUE... -- PROGRAM ARGS..., the program's path in
# Windows form. A script, so that env and timeout can run it.
cat >"$work/qtrun" <<'EOF'
#!/usr/bin/env bash
sets=""
while [ "$1" != "--" ]; do
  sets+="set $1&& "
  shift
done
shift
exec wine cmd /c "$sets$*"
EOF
chmod +x "$work/qtrun"
qtrun="$work/qtrun"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# Windows' message font is DejaVu Sans at 9 pt (12 px at 96 dpi), the font
# and size Qt takes on Linux, so that both lay their windows out alike.
/usr/bin/python3 - "$work/fonts.reg" <<'EOF'
import struct, sys
face = "DejaVu Sans".encode("utf-16-le").ljust(64, b"\0")
logfont = struct.pack("<5l8B", -12, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0) + face
value = ",".join(f"{b:02x}" for b in logfont)
with open(sys.argv[1], "w", encoding="utf-16") as f:
    f.write("Windows Registry Editor Version 5.00\r\n\r\n")
    f.write("[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\r\n")
    for name in ("MessageFont", "MenuFont", "StatusFont", "IconFont", "CaptionFont", "SmCaptionFont"):
        f.write(f'"{name}"=hex:{value}\r\n')
EOF
wine regedit /S "$(winpath "$work/fonts.reg")" >/dev/null 2>&1
wineserver -w

failed=0
ok() { echo "ok   $*"; }
fail() {
  echo "FAIL $*"
  failed=1
}

# The window tests, on the offscreen platform as on Linux, with Qt's DLLs
# and plugins from the deployment folder: one suite at a time, each with a
# time-out, so that a test that waits forever under Wine is named and the
# run goes on.
echo "== evm_gui_tests.exe under Wine"
# Qt finds its platform plugins beside the program that loads them (the test
# program, and the GUI the screenshot tests start).
for dir in "$build/tests" "$build/src"; do cp -r "$deploy/platforms" "$deploy/styles" "$dir/"; done
# The offscreen platform reads its fonts from QT_QPA_FONTDIR alone.
gui_tests=(env WINEPATH="$(winpath "$deploy");$(winpath "$qt/bin")"
  "$qtrun" QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR="$(winpath /usr/share/fonts/truetype/dejavu)"
  -- "$(winpath "$build/tests/evm_gui_tests.exe")")
suites=$(timeout 120 "${gui_tests[@]}" --gtest_list_tests 2>/dev/null | tr -d '\r' | sed -n 's/^\([A-Za-z0-9_]*\)\.$/\1/p')
[ -n "$suites" ] || fail "evm_gui_tests.exe lists no tests"
passed=0
for suite in $suites; do
  log="$work/gui-tests-$suite.log"
  if timeout "${SUITE_TIMEOUT:-120}" "${gui_tests[@]}" --gtest_filter="$suite.*" >"$log" 2>&1; then
    passed=$((passed + $(tr -d '\r' <"$log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p')))
  elif [ $? = 124 ]; then
    fail "window tests $suite: no end within ${SUITE_TIMEOUT:-120} s, after: $(tr -d '\r' <"$log" | grep -E '^\[ (RUN|  FAILED) ' | tail -1)"
    wineserver -k >/dev/null 2>&1 || true
  else
    fail "window tests $suite"
    tr -d '\r' <"$log" | grep -v '^\[       OK \]' | tail -20
  fi
done
ok "window tests: $passed passed in $(wc -w <<<"$suites") suites"

# Every window pictured by both builds. In the Linux look (Fusion, FreeType)
# the sizes must agree; in the native Windows look only that each is painted.
echo "== pictures of every window"
# On the same virtual screen, so that windows sized to the screen compare.
QT_QPA_PLATFORM=xcb "$linux_gui" --simulate --screenshots "$work/shots-linux" >"$work/shots-linux.log" 2>&1 ||
  fail "Linux screenshots"
shots() { # folder
  local dir=$1
  timeout 300 "$qtrun" QT_STYLE_OVERRIDE="${STYLE:-}" QT_QPA_PLATFORM="${PLATFORM:-windows}" \
    -- "$(winpath "$deploy/zm5520-evm.exe")" --simulate --screenshots "$(winpath "$dir")" >"$dir.log" 2>&1
}
if STYLE=fusion PLATFORM=windows:fontengine=freetype shots "$work/shots-windows-fusion" &&
  /usr/bin/python3 tools/compare_screenshots.py --tolerance 4 "$work/shots-linux" \
    "$work/shots-windows-fusion" >"$work/compare-fusion.txt"; then
  ok "pictures in the Linux look: $(grep -c '^ok' "$work/compare-fusion.txt") windows within 4 px of Linux"
else
  fail "pictures in the Linux look"
  cat "$work/compare-fusion.txt" "$work/shots-windows-fusion.log" 2>/dev/null | grep -v '^ok' || true
fi
if shots "$work/shots-windows" &&
  /usr/bin/python3 tools/compare_screenshots.py --only-paint "$work/shots-linux" \
    "$work/shots-windows" >"$work/compare-native.txt"; then
  ok "pictures in the Windows look: $(grep -c '^ok' "$work/compare-native.txt") windows painted"
else
  fail "pictures in the Windows look"
  cat "$work/compare-native.txt" "$work/shots-windows.log" 2>/dev/null | grep -v '^ok' || true
fi

# No HID device exists under Wine: the program must say so in its own window.
echo "== start without a board"
wine "$deploy/zm5520-evm.exe" --config-dir "$(winpath "$work/no-board")" >"$work/no-board.log" 2>&1 &
gui=$!
found=""
for _ in $(seq 60); do
  if xdotool search --name "^USB Communication Problem$" >/dev/null 2>&1; then
    found=1
    break
  fi
  sleep 0.5
done
wineserver -k >/dev/null 2>&1 || true
wait "$gui" || true
if [ -n "$found" ]; then ok "\"USB Communication Problem\" shown without a board"; else fail "no \"USB Communication Problem\" window within 30 s"; fi

# The installer, silently, with evmctl on PATH; then the uninstaller.
echo "== setup.exe"
user=$(wine cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
appdata="$WINEPREFIX/drive_c/users/$user/AppData"
installed="$appdata/Local/Programs/ZM5520-1 EVM"
menu="$appdata/Roaming/Microsoft/Windows/Start Menu/Programs"
state="$appdata/Local/zm5520-evm/zm5520-evm/ZM5520_1EVM_Settings.csv"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\zm5520-evm'
# A PATH of the user's own, long but within what the installer edits
# (tools/test-installer-path.py tries the longer ones): it must come back whole.
own_path=$(for n in $(seq 100 139); do printf 'C:\\Tools\\pkg%d\\bin;' "$n"; done)
own_path=${own_path%;}
read_path() { wine reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_[A-Z_]* *//p'; }
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$own_path" /f >/dev/null 2>&1
wine "$setup" /S /PATH >/dev/null 2>&1 || fail "setup.exe /S failed"
wineserver -w
missing=$(cd "$deploy" && find . -type f | while read -r f; do [ -f "$installed/$f" ] || echo "$f"; done)
if [ -d "$installed" ] && [ -z "$missing" ]; then ok "installed in %LOCALAPPDATA%\\Programs"; else fail "not installed: ${missing:-no folder}"; fi
if wine "$installed/evmctl.exe" --version 2>/dev/null | tr -d '\r' | grep -qx "evmctl $version"; then
  ok "installed evmctl.exe --version"
else
  fail "installed evmctl.exe --version: $(wine "$installed/evmctl.exe" --version 2>&1 | head -1)"
fi
timeout 300 wine "$installed/zm5520-evm.exe" --simulate --screenshots "$(winpath "$work/shots-installed")" \
  >/dev/null 2>&1 || true
count() { find "$1" -name '*.png' 2>/dev/null | wc -l; }
if [ "$(count "$work/shots-installed")" = "$(count "$work/shots-linux")" ]; then
  ok "installed GUI pictured $(count "$work/shots-installed") windows"
else
  fail "installed GUI pictured $(count "$work/shots-installed") of $(count "$work/shots-linux") windows"
fi
wine reg query "$key" >"$work/key.txt" 2>/dev/null || true
for want in "DisplayName.*ZM5520/1 EVM" "DisplayVersion.*$version" "Publisher.*ZM5520/1 EVM developers" \
  "EstimatedSize.*REG_DWORD" "QuietUninstallString.*/S"; do
  grep -q "$want" "$work/key.txt" || fail "uninstall key has no $want"
done
ok "uninstall key: $(grep -c REG_ "$work/key.txt") values"
if [ -f "$menu/ZM5520∕1 EVM.lnk" ] && [ -f "$menu/ZM5520∕1 EVM (simulated).lnk" ]; then
  ok "two Start-menu entries"
else
  fail "Start-menu entries missing in $menu"
fi
on_path() { wine reg query 'HKCU\Environment' /v Path 2>/dev/null | grep -qi "Programs\\\\ZM5520-1 EVM"; }
if on_path; then ok "evmctl folder on PATH"; else fail "evmctl folder not on PATH"; fi
wine "$installed/evmctl.exe" --simulate calibrate --rshunt 0.01 --max-current 2 --lsb 100u --write \
  >/dev/null 2>&1 || true
[ -f "$state" ] || fail "the installed evmctl kept no state in $state"

# The uninstaller copies itself away and returns at once: wait for Wine to settle.
wine "$installed/uninstall.exe" /S >/dev/null 2>&1 || fail "uninstall.exe /S failed"
wineserver -w
# Once the folder is gone find fails, which is the good case.
left=$(find "$installed" -type f 2>/dev/null | head -3 || true)
if [ ! -e "$installed" ]; then ok "uninstalled: the folder is gone"; else fail "left after uninstall: ${left:-the folder}"; fi
if wine reg query "$key" >/dev/null 2>&1; then fail "uninstall key kept"; else ok "uninstall key removed"; fi
if on_path; then fail "PATH entry kept"; else ok "PATH entry removed"; fi
if [ "$(read_path)" = "$own_path" ]; then
  ok "the user's PATH of ${#own_path} characters kept whole"
else
  fail "the user's PATH of ${#own_path} characters is now $(read_path | wc -c) bytes"
fi
[ -e "$menu/ZM5520∕1 EVM.lnk" ] && fail "Start-menu entry kept"
if [ -f "$state" ]; then ok "state files kept"; else fail "uninstall removed the state files"; fi

[ "$failed" = 0 ] && echo "Windows GUI and installer: all passed under Wine"
exit "$failed"
