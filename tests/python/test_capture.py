# SPDX-License-Identifier: GPL-3.0-or-later
"""capture() on the simulated EVM's fake clock and load profiles: numpy
samples around each trigger, its file, and the refusals."""

import warnings

import numpy as np
import pytest

import zm5520evm

PERIOD = 0.008  # four registers on 1 ms frames
TRAIN = "pulse:at=2,width=0.1,amps=2;pulse:at=3,width=0.1,amps=2;pulse:at=4,width=0.1,amps=2"


@pytest.fixture
def loaded(tmp_path):
    with zm5520evm.open(simulate=True, fake_clock=True, state_folder=tmp_path,
                        sim_load=TRAIN) as b:
        yield b


@pytest.mark.parametrize("trigger,count,pre,post,captures", [
    ("amps>1.5", 0, 0.1, 0.2, 3),
    ("amps<1.5", 2, 0.0, 0.05, 2),
    ("amps>2.5", 1, 0.0, 0.0, 0),
])
def test_capture_gives_the_samples_around_each_trigger(loaded, tmp_path, trigger, count, pre,
                                                       post, captures):
    told = []
    with warnings.catch_warnings(record=True) as warned:
        warnings.simplefilter("always")
        got = loaded.capture(trigger, pre=pre, post=post, count=count, timeout=5,
                             folder=tmp_path / "out", on_capture=told.append)
    assert len(got) == captures and told == got
    assert [str(w.message) for w in warned] == (
        [] if captures else ["the time-out came after 0 of 1 captures"])
    for number, c in enumerate(got, 1):
        rows = c.samples
        assert c.number == number and not c.truncated
        assert rows["time_s"][c.trigger_index] == c.trigger_time
        assert pre <= c.trigger_time - rows["time_s"][0] < pre + PERIOD + 1e-6
        assert post <= rows["time_s"][-1] - c.trigger_time < post + PERIOD + 1e-6
        table = np.genfromtxt(c.file, delimiter=",", names=True, skip_header=2)
        assert np.allclose(table["amps"], rows["amps"], atol=1e-3)


@pytest.mark.parametrize("trigger,options,message", [
    ("volts>1", {}, "watches 'volts'"),
    ("amps>1", {"pre": -1}, "pre-trigger"),
    ("shunt_volts>1", {"registers": 2}, "shunt_volts"),
    ("amps>1", {"count": -1}, "count"),
])
def test_bad_requests_are_refused(loaded, trigger, options, message):
    with pytest.raises(zm5520evm.ParseError, match=message):
        loaded.capture(trigger, **options)
