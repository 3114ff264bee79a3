# SPDX-License-Identifier: GPL-3.0-or-later
"""The Linux wheel installed as a user installs it: into a fresh venv of
Debian's python3 (numpy from the system), without an index. The package
then measures from there and passes the whole pytest suite from there.

Usage: installed_wheel.py WHEEL   (ctest: python_wheel; EVMCTL and
EVM_EXAMPLES_DIR as for the suite)"""

import os
import pathlib
import subprocess
import sys
import tempfile

TESTS = pathlib.Path(__file__).resolve().parent
# pip's own start-up and a venv's creation take seconds on a busy machine.
TIMEOUT = 120


def run(args, **kwargs):
    done = subprocess.run(args, capture_output=True, text=True, timeout=TIMEOUT, **kwargs)
    if done.returncode != 0:
        sys.exit(f"FAIL: {' '.join(map(str, args))} exited {done.returncode}\n"
                 f"{done.stdout}{done.stderr}")
    return done.stdout


def main():
    wheel = pathlib.Path(sys.argv[1]).resolve()
    with tempfile.TemporaryDirectory(prefix="zm5520evm-venv-") as folder:
        venv = pathlib.Path(folder) / "v"
        python = venv / "bin" / "python"
        run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)])
        run([str(python), "-m", "pip", "install", "--no-index", "--disable-pip-version-check",
             "-q", str(wheel)])
        # Nothing of the tree may be what is imported.
        env = {k: v for k, v in os.environ.items()
               if k not in ("PYTHONPATH", "ZM5520EVM_LIBRARY", "LD_LIBRARY_PATH")}
        where = run([str(python), "-c", "import zm5520evm as e, zm5520evm._capi as c; "
                     "print(e.__file__); print(c.lib._name)"], env=env, cwd=folder).split()
        package = venv.resolve()
        if not all(pathlib.Path(p).resolve().is_relative_to(package) for p in where):
            sys.exit(f"FAIL: the package or its library is not the venv's: {where}")
        amps = run([str(python), "-c", "import zm5520evm as e; b=e.open(simulate=True); "
                    "print(*b.measure(passes=10)['amps'])"], env=env, cwd=folder).split()
        # The simulated load draws 1 A through its 10 mOhm shunt.
        if len(amps) != 10 or not all(0.99 < float(a) < 1.01 for a in amps):
            sys.exit(f"FAIL: the installed wheel measures {amps}, not ten currents of 1 A")
        print("measured from the venv:", " ".join(amps))
        # The wheel tools' own test needs no second run.
        suite = subprocess.run([str(python), "-m", "pytest", "-q", "-p", "no:cacheprovider",
                                "--ignore", str(TESTS / "test_windows_wheel.py"), str(TESTS)],
                               env=env, cwd=folder, timeout=TIMEOUT, check=False)
        sys.exit(suite.returncode)


if __name__ == "__main__":
    main()
