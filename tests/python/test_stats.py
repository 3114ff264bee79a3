# SPDX-License-Identifier: GPL-3.0-or-later
"""Statistics against numpy on random and edge data, of measure()'s rows and
of the last run, and the summary log."""

import csv

import numpy as np
import pytest

import zm5520evm


def rows_of(time, amps, bus=None, shunt=None, acknowledged=None):
    n = len(time)
    rows = np.zeros(n, dtype=zm5520evm._results.MEASURED_DTYPE)
    rows["time_s"] = time
    rows["amps"] = amps
    rows["bus_volts"] = 12.0 if bus is None else bus
    rows["shunt_volts"] = rows["amps"] * 0.01 if shunt is None else shunt
    rows["watts"] = rows["amps"] * rows["bus_volts"]
    rows["acknowledged"] = True if acknowledged is None else acknowledged
    return rows


def random_rows(n, seed, offset=0.0, spread=1.0):
    rng = np.random.default_rng(seed)
    time = 1.7e9 + np.cumsum(rng.uniform(0.002, 0.006, n))
    return rows_of(time, offset + spread * rng.standard_normal(n),
                   bus=12 + 1e-3 * rng.standard_normal(n))


# The figures themselves are the library's, checked against their
# definitions there; here the rows reach it whole, a quantity not read
# comes back as None, and uneven times weigh the charge.
CASES = {
    "uneven time steps": rows_of([0, 0.001, 0.5, 0.502, 2.0], [1, 2, 1, -3, 1]),
    "random": random_rows(20_000, 1),
    "shunt not read": rows_of(np.arange(300) * 0.004, np.linspace(-1, 1, 300), shunt=np.nan),
}


@pytest.mark.parametrize("name", CASES)
def test_figures_agree_with_numpy(name):
    rows = CASES[name]
    s = zm5520evm.statistics_of(rows)
    assert s.samples == len(rows) and s.lost == 0
    assert s.seconds == pytest.approx(rows["time_s"][-1] - rows["time_s"][0], abs=1e-9)
    for field in ("bus_volts", "shunt_volts", "amps", "watts"):
        values = rows[field]
        got = getattr(s, field)
        if np.isnan(values).all():
            assert got is None, field
            continue
        assert got.min == values.min() and got.max == values.max(), field
        assert got.mean == pytest.approx(values.mean(), rel=1e-12, abs=1e-15), field
        assert got.std == pytest.approx(values.std(), rel=1e-7, abs=1e-15), field
        assert got.peak_to_peak == pytest.approx(np.ptp(values), rel=1e-12, abs=1e-15), field
    dt = np.diff(rows["time_s"])
    charge = np.sum(rows["amps"][:-1] * dt)
    energy = np.sum(rows["watts"][:-1] * dt)
    assert s.charge_amp_seconds == pytest.approx(charge, rel=1e-9, abs=1e-12)
    assert s.charge_mah == pytest.approx(charge / 3.6, rel=1e-9, abs=1e-12)
    assert s.energy_joules == pytest.approx(energy, rel=1e-9, abs=1e-12)
    assert s.energy_wh == pytest.approx(energy / 3600, rel=1e-9, abs=1e-12)
    # A slice of measure()'s kind of array gives the figures of its rows.
    measured = rows.view(zm5520evm.Measured)
    assert measured[: len(rows) // 2 + 1].stats().samples == len(rows) // 2 + 1


def test_rows_not_acknowledged_count_as_lost_only():
    rows = rows_of(np.arange(6.0), [1, 2, 99, 3, 99, 4],
                   acknowledged=[True, True, False, True, False, True])
    s = zm5520evm.statistics_of(rows)
    assert (s.samples, s.lost) == (4, 2)
    assert s.amps.max == 4 and s.amps.mean == 2.5
    # Each holds until the next one measured: 1*1 + 2*2 + 3*2.
    assert s.charge_amp_seconds == pytest.approx(11)
    with pytest.raises(zm5520evm.ParseError):
        zm5520evm.statistics_of(np.zeros(3))


@pytest.mark.parametrize("fast,registers", [(False, 4), (True, 4), (True, 2)])
def test_a_run_gives_the_statistics_of_its_rows(bench, fast, registers):
    rows = bench.measure(seconds=2, fast=fast, registers=registers)
    s = rows.stats()
    assert s.samples == len(rows)
    assert s.amps.mean == pytest.approx(rows["amps"].mean(), rel=1e-12)
    assert (s.shunt_volts is None) == (registers == 2)
    last = bench.last_stats()
    assert last.samples == s.samples
    assert last.amps.mean == pytest.approx(s.amps.mean, rel=1e-12)
    # The rows' time_s is to the microsecond; the library's own times are not rounded.
    assert last.charge_amp_seconds == pytest.approx(s.charge_amp_seconds, rel=1e-6)
    assert last.amps.mean == pytest.approx(1.0, abs=0.1)


def test_log_takes_a_summary_interval_and_refuses_a_bad_one(bench, tmp_path):
    file = tmp_path / "summary.csv"
    summary = bench.log(file, seconds=4, fast=True, summary=0.5)
    # The rows themselves are the library's summary log, tested there.
    with open(file, newline="") as f:
        assert next(csv.reader(f))[-1].endswith("interval 0.5 s")
    assert summary.logged > 0
    for bad in (0, -1, "x", float("nan")):
        with pytest.raises(zm5520evm.ParseError):
            bench.log(file, seconds=1, summary=bad)
