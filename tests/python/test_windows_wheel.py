# SPDX-License-Identifier: GPL-3.0-or-later
"""tools/make_wheel.py puts beside a Windows library the MinGW DLLs it
imports, and windows_wheel.py finds a wheel that lacks one (or its loader,
or its tag). The library here
is MinGW's libstdc++-6.dll, which imports two such DLLs and Windows' own."""

import pathlib
import shutil
import subprocess
import zipfile

import pytest

import windows_wheel  # puts tools/ on the path, for make_wheel

import make_wheel  # noqa: E402,I100

SOURCES = pathlib.Path(__file__).resolve().parents[2] / "src" / "python" / "zm5520evm"

pytestmark = pytest.mark.skipif(shutil.which("x86_64-w64-mingw32-objdump") is None,
                                reason="needs mingw-w64 (make deps-windows)")


@pytest.fixture(scope="module")
def wheel(tmp_path_factory):
    """The package staged as make_wheel.py stages it (python3 -m build only
    zips what it is given), zipped as a wheel."""
    folder = tmp_path_factory.mktemp("stage")
    package = folder / "zm5520evm"
    package.mkdir()
    for source in SOURCES.iterdir():
        if source.suffix in (".py", ".pyi") or source.name == "py.typed":
            shutil.copy(source, package / source.name)
    gcc = subprocess.run(["x86_64-w64-mingw32-g++-posix", "-print-libgcc-file-name"],
                         capture_output=True, text=True, check=True).stdout.strip()
    make_wheel.strip(pathlib.Path(gcc).parent / "libstdc++-6.dll", package / "zm5520evm.dll",
                     "win_amd64")
    make_wheel.add_windows_runtime(package)
    made = folder / "zm5520evm-9.8.7-py3-none-win_amd64.whl"
    with zipfile.ZipFile(made, "w") as archive:
        for item in package.iterdir():
            archive.write(item, f"zm5520evm/{item.name}")
    return made


def rewritten(wheel, folder, name, leave_out):
    """A copy of the wheel named `name` without the members named in leave_out."""
    copy = folder / name
    with zipfile.ZipFile(wheel) as source, zipfile.ZipFile(copy, "w") as target:
        for item in source.infolist():
            if pathlib.PurePosixPath(item.filename).name not in leave_out:
                target.writestr(item, source.read(item))
    return copy


# A wheel as made, or with a part taken away: what the check finds.
CASES = [
    ("as made", "zm5520evm-9.8.7-py3-none-win_amd64.whl", (), []),
    ("without a runtime DLL", "zm5520evm-9.8.7-py3-none-win_amd64.whl",
     ("libwinpthread-1.dll",),
     [f"{dll} imports libwinpthread-1.dll, which is neither in the wheel nor a Windows DLL"
      for dll in ("libgcc_s_seh-1.dll", "zm5520evm.dll")]),
    ("without its loader", "zm5520evm-9.8.7-py3-none-win_amd64.whl", ("_capi.py",),
     ["the package lacks _capi.py"]),
    ("tagged for Linux", "zm5520evm-9.8.7-py3-none-linux_x86_64.whl", (),
     ["zm5520evm-9.8.7-py3-none-linux_x86_64.whl is not tagged py3-none-win_amd64"]),
]


@pytest.mark.parametrize("name,file,leave_out,found", CASES, ids=[c[0] for c in CASES])
def test_the_windows_wheel_holds_every_dll_its_library_needs(name, file, leave_out, found,
                                                            wheel, tmp_path):
    with zipfile.ZipFile(wheel) as archive:
        dlls = sorted(pathlib.PurePosixPath(n).name for n in archive.namelist()
                      if n.endswith(".dll"))
    assert dlls == ["libgcc_s_seh-1.dll", "libwinpthread-1.dll", "zm5520evm.dll"]
    assert windows_wheel.problems(rewritten(wheel, tmp_path, file, leave_out)) == found
