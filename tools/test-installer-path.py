#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The installer's "evmctl on PATH" under Wine, without the GUI: setup.exe is
# built from the real script over a stand-in file, in a fresh prefix. Each
# case sets the user's PATH, installs with /S /PATH, uninstalls with /S and
# checks PATH after each. Usage: tools/test-installer-path.py [VERSION]
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

MOST = 1022  # the longest PATH user_path.nsh edits (NSIS_MAX_STRLEN 1024)


def own_path(length):
    text = ";".join(rf"C:\Tools\pkg{n:03d}\bin" for n in range(length // 20 + 1))
    return text[:length]


def cases(inst):
    """name, PATH before, after the install, as the uninstaller finds it
    (None: unchanged), after the uninstall; None: no value."""
    short, long = r"C:\Windows\system32;C:\Tools\bin", own_path(2000)
    fits, over = own_path(MOST - 1 - len(inst)), own_path(MOST - len(inst))
    entry, inside = short + ";" + inst.upper() + "\\", inst + r"\plugins;" + short
    return [
        ("no PATH yet", None, inst, None, None),
        ("an empty PATH", "", inst, None, None),
        ("a short PATH", short, short + ";" + inst, None, short),
        ("a PATH of 2000 characters", long, long, None, long),
        ("a PATH that just fits", fits, fits + ";" + inst, None, fits),
        ("a PATH one character too long", over, over, None, over),
        ("the folder already an entry, other case, trailing \\", entry, entry, None, entry),
        ("the folder only inside another entry", inside, inside + ";" + inst, None, inside),
        ("entries added after the install", short, short + ";" + inst,
         short + ";" + inst + r";C:\Later", short + r";C:\Later"),
        ("a PATH grown past the limit after the install", short, short + ";" + inst,
         long + ";" + inst, long + ";" + inst),
    ]


def wine(*args):
    # Through a file: the services Wine starts would hold a pipe open.
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine", *args], stdout=out, stderr=subprocess.DEVNULL, timeout=60)
        out.seek(0)
        return out.read().decode(errors="replace")


def path_in(output):
    """The PATH that `reg query` printed in `output`; None: no value."""
    for line in output.splitlines():
        m = re.match(r"^\s+Path\s+REG_\w+(?: {4}(.*))?$", line.rstrip("\r"), re.I)
        if m:
            return m.group(1) or ""
    return None


def set_path(value):
    if value is None:
        return r"reg delete HKCU\Environment /v Path /f >nul 2>nul"
    # Backslashes before the closing quote are doubled, or they escape it.
    quoted = value + "\\" * (len(value) - len(value.rstrip("\\")))
    return rf'reg add HKCU\Environment /v Path /t REG_EXPAND_SZ /d "{quoted}" /f >nul'


def main():
    work = tempfile.mkdtemp(prefix="evm-installer-path-")
    home, prefix, deploy = (os.path.join(work, d) for d in ("home", "prefix", "deploy"))
    for d in (home, prefix, deploy):
        os.makedirs(d)
    os.environ.update(WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all", HOME=home,
                      XDG_CONFIG_HOME=home, XDG_DATA_HOME=home, XDG_CACHE_HOME=home,
                      WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d")
    os.environ.pop("DISPLAY", None)
    # The component "Python package and C library" goes in and out with the
    # rest, files in folders of their own included.
    sdk = os.path.join(work, "sdk")
    for stand_in in (os.path.join(deploy, "evmctl.exe"), os.path.join(sdk, "zm5520evm.dll"),
                     os.path.join(sdk, "python", "zm5520evm.whl")):
        os.makedirs(os.path.dirname(stand_in), exist_ok=True)
        with open(stand_in, "w") as f:
            f.write("stand-in\n")
    setup = os.path.join(work, "setup.exe")
    tools = os.path.dirname(os.path.abspath(__file__))
    subprocess.run([os.path.join(tools, "make-setup-windows.sh"), deploy,
                    sys.argv[1] if len(sys.argv) > 1 else "0.0.0", setup, sdk],
                   check=True, stdout=subprocess.DEVNULL)
    failed, table = 0, []
    try:
        # One server for every case, so each Wine command starts quickly.
        subprocess.run(["wineserver", "-p"], check=True)
        wine("wineboot", "-i")
        inst = wine("cmd", "/c", "echo", "%LOCALAPPDATA%").strip() + r"\Programs\ZM5520-1 EVM"
        folder = wine("winepath", "-u", inst).strip()
        table = cases(inst)
        # Each Wine command costs a second on a busy machine: one batch a
        # case up to the uninstaller, which runs from a copy of itself and is
        # done when the folder is gone.
        batch = os.path.join(prefix, "drive_c", "case.bat")
        shutil.copy(setup, os.path.join(prefix, "drive_c", "setup.exe"))
        for name, before, installed, found, after in table:
            lines = [set_path(before), r"start /wait C:\setup.exe /S /PATH",
                     r"reg query HKCU\Environment /v Path",
                     f'if exist "{inst}\\zm5520evm.dll" if exist "{inst}\\python\\zm5520evm.whl" '
                     "echo component installed",
                     f'if exist "{inst}\\evmctl-console.cmd" if exist '
                     '"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\evmctl console.lnk" '
                     "echo console entry installed"]
            if found is not None:
                lines.append(set_path(found))
            lines.append(f'start /wait "" "{inst}\\uninstall.exe" /S')
            with open(batch, "w", newline="\r\n") as f:
                f.write("@echo off\n" + "\n".join(lines) + "\n")
            output = wine("cmd", "/c", r"C:\case.bat")
            got = [path_in(output)]
            for _ in range(300):
                if not os.path.exists(folder):
                    break
                time.sleep(0.1)
            if "console entry installed" not in output:
                failed += 1
                print(f"FAIL {name}: no Start-menu entry for the evmctl console")
            if "component installed" not in output or os.path.exists(folder):
                failed += 1
                print(f"FAIL {name}: the library and wheel were not installed and removed whole")
            got.append(path_in(wine("reg", "query", r"HKCU\Environment", "/v", "Path")))
            lengths = " -> ".join("none" if v is None else str(len(v)) for v in [before, *got])
            if got == [installed, after]:
                print(f"ok   {name}: {lengths} characters")
            else:
                failed += 1
                want = [v if v is None or len(v) < 100 else f"{len(v)} characters" for v in (installed, after)]
                print(f"FAIL {name}: {lengths} characters; wanted {want[0]!r}, then {want[1]!r}")
    finally:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL, check=False)
        shutil.rmtree(work, ignore_errors=True)
    print(f"installer PATH: {len(table) - failed} of {len(table)} cases passed")
    return 1 if failed or not table else 0


if __name__ == "__main__":
    sys.exit(main())
