#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds a wheel of the Python package zm5520evm for one platform: the
package's Python files with the C library beside them, and on Windows every
DLL that library imports that Windows does not bring (the MinGW runtime).

The wheel is made by Debian's python3-build with setuptools
(src/python/setup.py), told the platform tag: the package holds no
extension module, so only the library fixes the platform.

Usage: make_wheel.py --platform linux_x86_64|win_amd64|... --version V
                     --sources DIR --library FILE --out DIR
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
SETUP_DIR = HERE.parent / "src" / "python"
PACKAGE_FILES = ("*.py", "*.pyi", "py.typed")
# What the package loads on each platform (zm5520evm/_capi.py).
WINDOWS_LIBRARY = "zm5520evm.dll"
LINUX_LIBRARY = "libzm5520evm.so.1"
MINGW_OBJDUMP = "x86_64-w64-mingw32-objdump"
# What Windows provides is what Wine provides: its builtin DLLs are the list.
WINDOWS_SYSTEM_DLLS = pathlib.Path("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows")


def dll_imports(path):
    """The DLL names a PE file imports, as its import table spells them."""
    dump = subprocess.run([MINGW_OBJDUMP, "-p", str(path)], capture_output=True, text=True,
                          check=True).stdout
    return [line.split("DLL Name:", 1)[1].strip() for line in dump.splitlines()
            if "DLL Name:" in line]


def is_windows_system_dll(name):
    key = name.lower()
    return key.startswith(("api-ms-win-", "ext-ms-win-")) or (WINDOWS_SYSTEM_DLLS / key).is_file()


def mingw_runtime_dirs():
    gcc = subprocess.run(["x86_64-w64-mingw32-g++-posix", "-print-libgcc-file-name"],
                         capture_output=True, text=True, check=True).stdout.strip()
    return [pathlib.Path(gcc).parent, pathlib.Path("/usr/x86_64-w64-mingw32/lib")]


def strip(source, target, platform):
    tool = "x86_64-w64-mingw32-strip" if platform.startswith("win") else "strip"
    subprocess.run([tool, "--strip-unneeded", "-o", str(target), str(source)], check=True)


def add_windows_runtime(folder):
    """Copies beside the library every DLL it needs, recursively, that is
    neither in the folder nor Windows' own; one found nowhere stops here
    rather than the user's import."""
    search = mingw_runtime_dirs()
    queue = sorted(folder.glob("*.dll"))
    present = {p.name.lower() for p in queue}
    while queue:
        for name in dll_imports(queue.pop()):
            if name.lower() in present or is_windows_system_dll(name):
                continue
            found = next((d / name for d in search if (d / name).is_file()), None)
            if found is None:
                sys.exit(f"make_wheel: {name} is imported but found in none of "
                         f"{', '.join(map(str, search))}")
            strip(found, folder / name, "win_amd64")
            present.add(name.lower())
            queue.append(folder / name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--platform", required=True, help="win_amd64, linux_x86_64, ...")
    parser.add_argument("--version", required=True)
    parser.add_argument("--sources", required=True, type=pathlib.Path,
                        help="the package folder with the .py files")
    parser.add_argument("--library", required=True, type=pathlib.Path)
    parser.add_argument("--out", required=True, type=pathlib.Path)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="zm5520evm-wheel-") as stage_name:
        stage = pathlib.Path(stage_name)
        for name in ("setup.py", "pyproject.toml"):
            shutil.copy(SETUP_DIR / name, stage / name)
        package = stage / "zm5520evm"
        package.mkdir()
        for pattern in PACKAGE_FILES:
            for source in args.sources.glob(pattern):
                shutil.copy(source, package / source.name)
        windows = args.platform.startswith("win")
        strip(args.library, package / (WINDOWS_LIBRARY if windows else LINUX_LIBRARY),
              args.platform)
        if windows:
            add_windows_runtime(package)
        env = dict(os.environ, ZM5520EVM_WHEEL_PLATFORM=args.platform,
                   ZM5520EVM_VERSION=args.version, SOURCE_DATE_EPOCH="1700000000")
        args.out.mkdir(parents=True, exist_ok=True)
        # A wheel of another version would be installed beside this one by a glob.
        for old in args.out.glob(f"zm5520evm-*-py3-none-{args.platform}.whl"):
            old.unlink()
        built = subprocess.run([sys.executable, "-m", "build", "--no-isolation", "--wheel",
                                "--outdir", str(args.out), str(stage)], env=env,
                               capture_output=True, text=True, check=False)
        if built.returncode != 0:
            sys.exit(f"make_wheel: python3 -m build failed:\n{built.stdout}{built.stderr}")
    wheel = args.out / f"zm5520evm-{args.version}-py3-none-{args.platform}.whl"
    if not wheel.is_file():
        sys.exit(f"make_wheel: the build made no {wheel}")
    print(f"{wheel} ({wheel.stat().st_size / 1024:.0f} KiB)")


if __name__ == "__main__":
    main()
