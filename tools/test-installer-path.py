#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The installer's "evmctl on PATH" option under Wine, without the GUI.

setup.exe is built from the real script (packaging/windows) over a stand-in
deployment folder of one file, so no Qt for mingw-w64 is needed. Each case
sets the user's PATH, installs silently with /PATH, reads PATH, uninstalls
silently and reads PATH again: the user's own entries must come back whole,
whatever the PATH's length. Wine runs in a fresh prefix in a temporary folder.
Usage: tools/test-installer-path.py [VERSION]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The longest PATH the installer edits (user_path.nsh, NSIS_MAX_STRLEN 1024).
MOST = 1022


def own_path(length):
    """A PATH of the user's own of exactly `length` characters."""
    entries, n = [], 0
    while len(";".join(entries)) < length:
        entries.append(rf"C:\Tools\pkg{n:03d}\bin")
        n += 1
    text = ";".join(entries)
    return text[: length - 1] + "x" if len(text) > length else text


def cases(inst):
    """name, PATH before, PATH after the install, PATH the uninstaller finds
    (None: as the install left it), PATH after the uninstall. None: no value."""
    short = r"C:\Windows\system32;C:\Tools\bin"
    long = own_path(2000)
    fits = own_path(MOST - 1 - len(inst))
    over = own_path(MOST - len(inst))
    entry = short + ";" + inst.upper() + "\\"
    inside = inst + r"\plugins;" + short
    return [
        ("no PATH yet", None, inst, None, None),
        ("an empty PATH", "", inst, None, None),
        ("a short PATH", short, short + ";" + inst, None, short),
        ("a PATH of 2000 characters", long, long, None, long),
        ("a PATH that just fits", fits, fits + ";" + inst, None, fits),
        ("a PATH one character too long", over, over, None, over),
        ("the folder already an entry (other case, trailing \\)", entry, entry, None, entry),
        ("the folder only inside another entry", inside, inside + ";" + inst, None, inside),
        ("entries added after the install", short, short + ";" + inst,
         short + ";" + inst + r";C:\Later", short + r";C:\Later"),
        ("a PATH grown past the limit after the install", short, short + ";" + inst,
         long + ";" + inst, long + ";" + inst),
    ]


def wine(*args, check=True):
    """Runs a Wine command and returns its output. Through a file, not a pipe:
    the services Wine starts would hold a pipe open after the command ends."""
    with tempfile.TemporaryFile() as out:
        r = subprocess.run(["wine", *args], stdout=out, stderr=subprocess.DEVNULL, check=check,
                           timeout=60)
        out.seek(0)
        r.stdout = out.read().decode(errors="replace")
    return r


def read_path():
    r = wine("reg", "query", r"HKCU\Environment", "/v", "Path", check=False)
    for line in r.stdout.splitlines():
        m = re.match(r"^\s+Path\s+REG_\w+(?: {4}(.*))?$", line.rstrip("\r"), re.I)
        if m:
            return m.group(1) or ""
    return None


def set_path(value):
    if value is None:
        wine("reg", "delete", r"HKCU\Environment", "/v", "Path", "/f", check=False)
    else:
        wine("reg", "add", r"HKCU\Environment", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", value,
             "/f")


def show(value):
    if value is None:
        return "no value"
    return f"{len(value)} characters" + (f" {value!r}" if len(value) <= 80 else "")


def build_setup(work, version):
    deploy = os.path.join(work, "deploy")
    os.makedirs(deploy)
    with open(os.path.join(deploy, "evmctl.exe"), "w") as f:
        f.write("stand-in\n")
    setup = os.path.join(work, "setup.exe")
    subprocess.run([os.path.join(ROOT, "tools", "make-setup-windows.sh"), deploy, version, setup],
                   check=True, stdout=subprocess.DEVNULL)
    return setup


def main():
    version = sys.argv[1] if len(sys.argv) > 1 else "0.0.0"
    work = tempfile.mkdtemp(prefix="evm-installer-path-")
    home = os.path.join(work, "home")
    os.makedirs(home)
    os.environ.update(WINEPREFIX=os.path.join(work, "prefix"), WINEARCH="win64", WINEDEBUG="-all",
                      HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                      XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                      XDG_CACHE_HOME=os.path.join(home, ".cache"),
                      WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d")
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        os.environ.pop(name, None)
    failed = 0
    table = []
    try:
        setup = build_setup(work, version)
        # One server for every case, so each Wine command starts quickly.
        os.makedirs(os.environ["WINEPREFIX"])
        subprocess.run(["wineserver", "-p"], check=True)
        wine("wineboot", "-i")
        appdata = wine("cmd", "/c", "echo", "%LOCALAPPDATA%").stdout.strip()
        inst = appdata + r"\Programs\ZM5520-1 EVM"
        folder = wine("winepath", "-u", inst).stdout.strip()
        table = cases(inst)
        for name, before, installed, found, after in table:
            set_path(before)
            wine(setup, "/S", "/PATH")
            got_installed = read_path()
            if found is not None:
                set_path(found)
            # The uninstaller runs from a copy of itself and returns at once;
            # it is done when the folder is gone.
            wine(os.path.join(folder, "uninstall.exe"), "/S")
            for _ in range(300):
                if not os.path.exists(folder):
                    break
                time.sleep(0.1)
            got_after = read_path()
            problems = []
            if got_installed != installed:
                problems.append(f"after install {show(got_installed)}, not {show(installed)}")
            if got_after != after:
                problems.append(f"after uninstall {show(got_after)}, not {show(after)}")
            if problems:
                failed += 1
                print(f"FAIL {name}: " + "; ".join(problems))
            else:
                print(f"ok   {name}: {show(before)} -> {show(got_installed)} -> {show(got_after)}")
    finally:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL, check=False)
        shutil.rmtree(work, ignore_errors=True)
    print(f"installer PATH: {len(table) - failed} of {len(table)} cases passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
