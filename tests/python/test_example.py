# SPDX-License-Identifier: GPL-3.0-or-later
"""examples/python/sweep_and_plot.py runs on the simulated EVM, with or
without matplotlib."""

import importlib.util
import os
import subprocess
import sys

import numpy as np

from conftest import EXAMPLES


def test_sweep_and_plot_checks_limits_and_saves_its_data(tmp_path):
    done = subprocess.run(
        [sys.executable, os.path.join(EXAMPLES, "python", "sweep_and_plot.py"), "--out",
         str(tmp_path), "--passes", "5"],
        capture_output=True, text=True, timeout=30, check=False)
    assert done.returncode == 0, done.stdout + done.stderr
    assert done.stdout.splitlines()[-1] == "PASS"
    sweep = np.genfromtxt(tmp_path / "sweep.csv", delimiter=",", names=True)
    assert len(sweep) == 9
    assert np.all(np.abs(sweep["read_volts"] - sweep["set_volts"]) <= 0.010)
    passes = np.genfromtxt(tmp_path / "measurements.csv", delimiter=",", names=True)
    # 1 A through the 10 mOhm shunt, scaled by the calibration it applied.
    assert np.allclose(passes["amps"], 1, atol=0.01)
    if importlib.util.find_spec("matplotlib"):
        assert (tmp_path / "sweep_and_plot.png").stat().st_size > 0
    else:
        assert "matplotlib is not installed" in done.stdout
