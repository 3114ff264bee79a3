# SPDX-License-Identifier: GPL-3.0-or-later
"""capture() on the simulated EVM's fake clock and load profiles: numpy
samples around the trigger, the files, re-arming and the refusals."""

import csv
import re
import warnings

import numpy as np
import pytest

import zm5520evm

PERIOD = 0.008  # four registers on 1 ms frames
TRAIN = "pulse:at=2,width=0.1,amps=2;pulse:at=3,width=0.1,amps=2;pulse:at=4,width=0.1,amps=2"


@pytest.fixture
def loaded(tmp_path, request):
    with zm5520evm.open(simulate=True, fake_clock=True, state_folder=tmp_path,
                        sim_load=request.param) as b:
        b.calibrate_if_blank()
        yield b


@pytest.mark.parametrize("loaded,trigger,count,pre,post,captures", [
    (TRAIN, "amps>1.5", 1, 0.05, 0.2, 1),
    (TRAIN, "amps>1.5", 0, 0.1, 0.2, 3),
    (TRAIN, "amps<1.5", 2, 0.0, 0.05, 2),
    ("pulse:at=2,width=0.5,volts=10", "bus_volts<11", 1, 0.3, 0.1, 1),
], indirect=["loaded"])
def test_capture_gives_the_samples_around_each_trigger(loaded, tmp_path, trigger, count, pre,
                                                       post, captures):
    told = []
    got = loaded.capture(trigger, pre=pre, post=post, count=count, timeout=5,
                         folder=tmp_path / "out", on_capture=told.append)
    assert len(got) == captures and told == got
    source, edge, level = re.fullmatch(r"(\w+)([<>])(.+)", trigger).groups()
    level = float(level)
    for number, c in enumerate(got, 1):
        rows = c.samples
        assert c.number == number and not c.truncated
        assert rows.dtype.names == ("time", "bus_volts", "shunt_volts", "amps", "watts",
                                    "acknowledged")
        assert rows["time"][c.trigger_index] == c.trigger_time
        before, at = rows[source][c.trigger_index - 1], rows[source][c.trigger_index]
        if c.trigger_index:
            assert (before <= level < at) if edge == ">" else (before >= level > at)
        assert pre <= c.trigger_time - rows["time"][0] < pre + PERIOD + 1e-6
        assert post <= rows["time"][-1] - c.trigger_time < post + PERIOD + 1e-6
        # The file holds the same samples, with the trigger on its second line.
        with open(c.file, newline="") as f:
            lines = f.read().splitlines()
        assert lines[1].startswith("# trigger ") and trigger in lines[1]
        table = list(csv.DictReader(lines[2:]))
        assert len(table) == len(rows)
        assert np.allclose([float(r["amps"]) for r in table], rows["amps"], atol=1e-3)


@pytest.mark.parametrize("loaded", [TRAIN], indirect=True)
def test_no_crossing_until_the_time_out_is_a_warning_and_no_capture(loaded, tmp_path):
    with pytest.warns(RuntimeWarning, match="0 of 1 captures"):
        assert loaded.capture("amps>2.5", timeout=2, folder=tmp_path / "out") == []
    assert not (tmp_path / "out").exists() or not any((tmp_path / "out").iterdir())


@pytest.mark.parametrize("loaded", [""], indirect=True)
@pytest.mark.parametrize("arguments,message", [
    (("volts>1",), "watches 'volts'"),
    (("amps>one",), "the level 'one'"),
    (("amps>1",), None),
])
def test_bad_requests_are_refused_before_any_capture(loaded, arguments, message):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        if message is None:
            with pytest.raises(zm5520evm.ParseError, match="pre-trigger"):
                loaded.capture(*arguments, pre=-1)
            with pytest.raises(zm5520evm.ParseError, match="shunt_volts"):
                loaded.capture("shunt_volts>1", registers=2)
            with pytest.raises(zm5520evm.ParseError, match="count"):
                loaded.capture(*arguments, count=-1)
        else:
            with pytest.raises(zm5520evm.ParseError, match=message):
                loaded.capture(*arguments)
