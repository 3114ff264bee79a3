#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Sweep a DAC of the test board, check what a converter reads back, then
measure the device's current and power, and save both as CSV (and a plot
when matplotlib is installed: apt install python3-matplotlib).

    /usr/bin/python3 sweep_and_plot.py --out results        # the simulated EVM
    /usr/bin/python3 sweep_and_plot.py --boards --out results

Exit status 0 when every step is within its limits, 1 otherwise.
"""

import argparse
import pathlib
import sys

import numpy as np

import zm5520evm

# What the sweep accepts: the converter reads the DAC within 10 mV.
LIMIT_VOLTS = 0.010
SHUNT_OHMS = 0.01


def sweep(bench, volts):
    """Each DAC B setting and what CNV1 reads of it."""
    bench.set_mux(zm5520evm.Converter.CNV1, plus=zm5520evm.MuxInput.DAC,
                  minus=zm5520evm.MuxInput.GND)
    rows = []
    for v in volts:
        bench.set_dac(zm5520evm.DacChannel.B, v)
        rows.append((v, bench.read_converter(zm5520evm.Converter.CNV1)))
    return np.array(rows, dtype=[("set_volts", "f8"), ("read_volts", "f8")])


def measure(bench, passes):
    """`passes` passes of current and power, on a calibration of our shunt."""
    calibration = bench.calculate(rshunt_ohms=SHUNT_OHMS, max_expected_amps=2,
                                  current_lsb_amps=100e-6, config=bench.read_config())
    if not calibration.ok:
        raise SystemExit(calibration.refusal_message)
    bench.apply_calibration(calibration)
    return bench.measure(passes=passes)


def plot(steps, data, file):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot (apt install python3-matplotlib)")
        return
    figure, (left, right) = plt.subplots(1, 2, figsize=(10, 4))
    left.plot(steps["set_volts"], steps["read_volts"] - steps["set_volts"], "o-")
    left.set_xlabel("DAC B (V)")
    left.set_ylabel("CNV1 - DAC B (V)")
    right.plot(data["time_s"], data["amps"] * 1000)
    right.set_xlabel("time (s)")
    right.set_ylabel("current (mA)")
    figure.tight_layout()
    figure.savefig(file)
    print(f"plot: {file}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=pathlib.Path, default=pathlib.Path("."),
                        help="folder of the CSV files and the plot")
    parser.add_argument("--boards", action="store_true",
                        help="the USB boards instead of the simulated EVM")
    parser.add_argument("--passes", type=int, default=20)
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)

    try:
        with zm5520evm.open(simulate=not args.boards) as bench:
            # The device is powered from the test board.
            bench.set_supply(True)
            try:
                steps = sweep(bench, np.linspace(0.5, 4.5, 9))
                data = measure(bench, args.passes)
            finally:
                bench.set_supply(False)
    except zm5520evm.Error as e:
        print(f"{type(e).__name__}: {e}", file=sys.stderr)
        return 1

    error = steps["read_volts"] - steps["set_volts"]
    failed = 0
    for (set_volts, read_volts), e in zip(steps, error):
        verdict = "PASS" if abs(e) <= LIMIT_VOLTS else "FAIL"
        failed += verdict == "FAIL"
        print(f"DAC B {set_volts:.3f} V  CNV1 {read_volts:.4f} V  {e * 1000:+.2f} mV  {verdict}")
    good = data[data["acknowledged"]]
    print(f"{len(good)} of {len(data)} passes: current {good['amps'].mean() * 1000:.3f} mA, "
          f"power {good['watts'].mean() * 1000:.3f} mW, bus {good['bus_volts'].mean():.3f} V")
    failed += len(good) < len(data)

    np.savetxt(args.out / "sweep.csv", steps, delimiter=",", header="set_volts,read_volts",
               comments="")
    np.savetxt(args.out / "measurements.csv", data, delimiter=",", fmt="%.9g",
               header=",".join(data.dtype.names), comments="")
    plot(steps, data, args.out / "sweep_and_plot.png")
    print("PASS" if failed == 0 else f"FAIL: {failed} step(s) out of limits")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
