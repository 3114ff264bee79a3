# SPDX-License-Identifier: GPL-3.0-or-later
"""The Windows wheel holds what its library needs on a Windows with nothing
else installed: every DLL that zm5520evm.dll imports, and that those import
in turn, is in the wheel beside it or is one Windows itself provides (the
list is Wine's builtin DLLs, as tools/deploy-windows.sh reads it). Also the
wheel's tag and the package files Python needs.

Usage: windows_wheel.py [--skip-missing] WHEEL   (--skip-missing: exit 77,
ctest's skip, when there is no such wheel)"""

import pathlib
import re
import sys
import tempfile
import zipfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from make_wheel import dll_imports, is_windows_system_dll  # noqa: E402

PACKAGE_FILES = {"__init__.py", "__init__.pyi", "_bench.py", "_capi.py", "_convert.py",
                 "_errors.py", "_monitor.py", "_results.py", "py.typed", "zm5520evm.dll"}


def problems(wheel):
    """What is wrong with the wheel, as lines; none when it is whole."""
    found = []
    if not re.fullmatch(r"zm5520evm-[0-9.]+-py3-none-win_amd64\.whl", wheel.name):
        found.append(f"{wheel.name} is not tagged py3-none-win_amd64")
    with tempfile.TemporaryDirectory() as folder, zipfile.ZipFile(wheel) as archive:
        archive.extractall(folder)
        package = pathlib.Path(folder) / "zm5520evm"
        present = {p.name for p in package.iterdir()} if package.is_dir() else set()
        found += [f"the package lacks {name}" for name in sorted(PACKAGE_FILES - present)]
        dlls = {p.name.lower(): p for p in package.glob("*.dll")}
        for dll in sorted(dlls.values()):
            for name in dll_imports(dll):
                if name.lower() not in dlls and not is_windows_system_dll(name):
                    found.append(f"{dll.name} imports {name}, which is neither in the wheel "
                                 "nor a Windows DLL")
    return found


def main():
    args = sys.argv[1:]
    skip_missing = args[:1] == ["--skip-missing"]
    wheel = pathlib.Path(args[-1])
    if skip_missing and not wheel.is_file():
        print(f"skipped: no {wheel} (make wheel builds it)")
        sys.exit(77)
    found = problems(wheel)
    for line in found:
        print("FAIL:", line)
    if not found:
        print(f"ok: {wheel} holds every DLL its library needs")
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
