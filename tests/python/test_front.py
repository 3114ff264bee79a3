# SPDX-License-Identifier: GPL-3.0-or-later
"""What the package shares with the other front ends: the calibration of a
blank device, the state folder, and a library's manners (nothing printed,
values to their resolution, help and repr that say what they hold)."""

import inspect
import pathlib
import re
import subprocess
import sys

import pytest

import zm5520evm
from zm5520evm import _capi
from conftest import EVMCTL

WROTE = "register 05h was 0: wrote A000 (the default calibration)"


@pytest.mark.parametrize("rule,amps,notices", [(True, 1.0, [WROTE]), (False, 0.0, [])])
def test_a_blank_device_is_calibrated_before_the_first_measurement_unless_told_not(
        tmp_path, rule, amps, notices):
    told = []
    with zm5520evm.open(simulate=True, state_folder=tmp_path, calibrate_if_blank=rule,
                        on_notice=told.append) as bench:
        assert bench.measure_once().amps == pytest.approx(amps, abs=0.01)
        assert bench.read_registers().registers[5].raw == (0xA000 if rule else 0)
        assert bench.notices == told == notices


def test_the_state_folder_is_the_one_evmctl_uses_unless_told_otherwise(own_state_folder):
    library = pathlib.Path(_capi.lib._name).resolve().parent
    evmctl = pathlib.Path(EVMCTL).resolve().parent
    if library == evmctl:
        # The build tree: both keep their state beside themselves.
        assert zm5520evm.default_state_folder() == evmctl
    assert zm5520evm.open(simulate=True).options["state_folder"] == own_state_folder
    assert zm5520evm.open(simulate=True, state_folder=None).options["state_folder"] is None


# A session with notices (a state file that cannot be read, a blank device
# calibrated, a DAC value out of range, a results file given as a script),
# in a Python of its own: pytest's own log handler would hide what the
# package printed.
QUIET_SESSION = """
import pathlib, sys, zm5520evm
folder = pathlib.Path(sys.argv[1])
(folder / "ZM5520_1EVM_Settings.csv").write_bytes(b"\\xff\\xfe not a settings file")
results = folder / "results.txt"
results.write_text('"a","b","c","d","e","f"\\r\\n')
with zm5520evm.open(simulate=True, state_folder=folder) as bench:
    bench.read_registers()
    for call in (lambda: bench.set_dac(zm5520evm.DacChannel.B, 7),
                 lambda: bench.run_script(results)):
        try:
            call()
        except zm5520evm.ParseError:
            pass
        else:
            sys.exit("not refused")
    print(len(bench.notices))
    print("\\n".join(bench.notices))
"""


def test_the_library_prints_nothing_and_keeps_its_notices(tmp_path):
    done = subprocess.run([sys.executable, "-c", QUIET_SESSION, str(tmp_path)],
                          capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    assert "Error Loading Script!" in done.stdout, done.stdout
    assert "register 05h was 0" in done.stdout, done.stdout


# field, resolution in decimals (the register's LSB and one digit more)
ROUNDED = [("bus_volts", 4), ("shunt_volts", 6), ("amps", 5), ("watts", 4)]


def test_values_are_rounded_to_their_resolution(bench):
    passes = list(bench.monitor(passes=3)) + [bench.measure_once()]
    data = bench.measure(passes=3)
    snapshot = bench.read_registers()
    for field, decimals in ROUNDED:
        for m in passes:
            assert getattr(m, field) == round(getattr(m, field), decimals), (field, m)
        assert (data[field] == data[field].round(decimals)).all(), field
    for r in snapshot.registers[1:5]:
        assert r.scaled == round(r.scaled, 6), r


def test_enums_are_int_enums_and_an_int_does(bench):
    for kind in (zm5520evm.DacChannel, zm5520evm.Converter, zm5520evm.Reference,
                 zm5520evm.MuxInput, zm5520evm.DeviceKind, zm5520evm.CalibrationRefusal):
        assert all(isinstance(member, int) for member in kind), kind
    assert bench.set_dac(1, 1.0) == pytest.approx(1.0)


@pytest.mark.parametrize("options,shown", [
    ({}, ["simulated EVM, 1 board of each kind", "device at 40h", "open>"]),
    ({"sim_boards": 2, "reg_link": "RL0002"}, ["2 boards of each kind", "reg_link='RL0002'"]),
    ({"device_address": 0x41, "state_folder": None}, ["device at 41h", "state folder None"]),
])
def test_repr_says_which_boards_and_whether_open(options, shown):
    bench = zm5520evm.open(simulate=True, **options)
    for text in shown:
        assert text in repr(bench), repr(bench)
    bench.close()
    assert repr(bench).endswith("closed>")


def test_help_shows_the_defaults_as_the_readme_writes_them_and_every_fault():
    parameters = inspect.signature(zm5520evm.open).parameters
    assert repr(parameters["vendor_id"].default) == "0x3A5F"
    assert repr(parameters["device_address"].default) == "0x40"
    with pytest.raises(zm5520evm.ParseError) as refused:
        zm5520evm.open(simulate=True, sim_faults=["reglink:nonsense"])
    names = re.findall(r"[a-z]+(?:-[a-z]+)+", str(refused.value).split("is not one of", 1)[1])
    assert len(names) >= 10, refused.value
    for name in names:
        assert name in zm5520evm.open.__doc__, name


# An LSB at a shown limit is refused as the tab refuses the limit's text,
# though the float given is not the text's value to the last bit.
@pytest.mark.parametrize("lsb,refusal", [
    (61.037e-6, zm5520evm.CalibrationRefusal.CURRENT_LSB),
    (488.4e-6, zm5520evm.CalibrationRefusal.CURRENT_LSB),
    (100e-6, zm5520evm.CalibrationRefusal.NONE),
])
def test_an_lsb_at_a_shown_limit_is_refused_in_the_tabs_words(lsb, refusal):
    result = zm5520evm.Bench.calculate(rshunt_ohms=0.01, max_expected_amps=2,
                                       current_lsb_amps=lsb, config=0x399F)
    assert result.refusal == refusal
    if refusal:
        assert result.refusal_message == "You selected a resolution out of range"
