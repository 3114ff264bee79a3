# SPDX-License-Identifier: GPL-3.0-or-later
"""measure(fast=...) and stream() on the simulated EVM's fake clock: what
each mode reads, the bounded stream and its lost samples, and its end."""

import time

import numpy as np
import pytest

import zm5520evm

# fast, registers, shunt read, fewest rows in a second of the fake clock
MODES = [
    (False, 4, True, 1),
    (True, 4, True, 100),
    (True, 2, False, 100),
]


@pytest.mark.parametrize("fast,registers,shunt_read,fewest", MODES)
def test_measure_reads_what_its_mode_reads(bench, fast, registers, shunt_read, fewest):
    rows = bench.measure(seconds=1, fast=fast, registers=registers)
    assert len(rows) >= fewest
    assert rows["acknowledged"].all()
    assert np.all(np.diff(rows["time_s"]) > 0), "a sample given twice"
    assert np.isnan(rows["shunt_volts"]).all() != shunt_read
    assert np.allclose(rows["amps"], 1.0, atol=0.1)
    # Power is read, or computed from current and bus voltage: it is there either way.
    assert np.allclose(rows["watts"], rows["amps"] * rows["bus_volts"], rtol=0.05)


@pytest.mark.parametrize("registers,shunt_read", [(4, True), (2, False)])
def test_stream_gives_every_sample_in_bounded_blocks(bench, registers, shunt_read):
    told = []
    with bench.stream(seconds=1, registers=registers, block=64) as blocks:
        for rows in blocks:
            assert 1 <= len(rows) <= 64
            told.append(rows)
    rows = np.concatenate(told)
    summary = blocks.summary
    assert summary.lost == 0 and not summary.stopped
    assert len(rows) == summary.passes >= 100
    assert summary.rate > 100
    assert np.all(np.diff(rows["time_s"]) > 0)
    assert np.isfinite(rows["shunt_volts"]).all() == shunt_read


def test_a_stream_that_is_not_read_loses_samples_and_says_so(bench):
    # A minute at 125 samples a second is more than the queue holds.
    blocks = bench.stream(seconds=60, block=1)
    given = len(next(blocks))
    deadline = time.monotonic() + 10
    while blocks.lost == 0 and time.monotonic() < deadline:
        time.sleep(0.01)
    # An unbounded queue would hold them all and lose none.
    assert blocks.lost > 0, "the queue grew past its bound, or the run never ran"
    with pytest.warns(RuntimeWarning, match="samples were lost"):
        for rows in blocks:
            given += len(rows)
    summary = blocks.summary
    assert summary.lost == blocks.lost > 0
    # Every sample read was either given or counted lost, none both.
    assert given + summary.lost == summary.passes


def test_leaving_the_loop_ends_the_run_and_frees_the_bench(bench):
    with bench.stream() as blocks:
        for _ in blocks:
            break
    assert blocks.summary is not None and blocks.summary.stopped
    assert bench.read_config() == 0x399F
    with pytest.raises(StopIteration):
        next(blocks)
