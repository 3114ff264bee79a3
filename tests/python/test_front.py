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

def test_the_state_folder_is_evmctls_unless_told_and_a_blank_device_may_stay(own_state_folder):
    library = pathlib.Path(_capi.lib._name).resolve().parent
    if library == pathlib.Path(EVMCTL).resolve().parent:  # the build tree: both beside themselves
        assert zm5520evm.default_state_folder() == library
    assert zm5520evm.open(simulate=True).options["state_folder"] == own_state_folder
    with zm5520evm.open(simulate=True, state_folder=None, calibrate_if_blank=False) as bench:
        assert (bench.options["state_folder"], bench.measure_once().amps, bench.notices) == \
            (None, 0, [])


# Notices (a blank device calibrated, a DAC value out of range, a results
# file given as a script) in a Python of its own: pytest's log handler
# would hide what the package printed.
QUIET_SESSION = """
import pathlib, sys, zm5520evm
results = pathlib.Path(sys.argv[1]) / "results.txt"
results.write_text('"a","b","c","d","e","f"\\r\\n')
with zm5520evm.open(simulate=True, state_folder=results.parent) as bench:
    bench.read_registers()
    for call in (lambda: bench.set_dac(1, 7), lambda: bench.run_script(results)):
        try:
            call()
        except zm5520evm.ParseError:
            pass
    print(bench.notices)
"""


def test_the_library_prints_nothing_and_keeps_its_notices(tmp_path):
    done = subprocess.run([sys.executable, "-c", QUIET_SESSION, str(tmp_path)],
                          capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    assert "register 05h was 0" in done.stdout and "Error Loading Script!" in done.stdout


def test_values_are_rounded_to_their_resolution(bench):
    passes, data = list(bench.monitor(passes=3)), bench.measure(passes=3)
    for field, decimals in (("bus_volts", 4), ("shunt_volts", 6), ("amps", 5), ("watts", 4)):
        assert all(getattr(m, field) == round(getattr(m, field), decimals) for m in passes)
        assert (data[field] == data[field].round(decimals)).all(), field
    assert all(r.scaled == round(r.scaled, 6) for r in bench.read_registers().registers[1:5])


def test_repr_and_help_say_what_they_hold():
    bench = zm5520evm.open(simulate=True, sim_boards=2, reg_link="RL0002", state_folder=None)
    for text in ("simulated EVM, 2 boards of each kind", "reg_link='RL0002'", "device at 40h",
                 "state folder None", "open>"):
        assert text in repr(bench), repr(bench)
    bench.close()
    assert repr(bench).endswith("closed>")
    defaults = inspect.signature(zm5520evm.open).parameters
    assert (repr(defaults["vendor_id"].default), repr(defaults["device_address"].default)) == \
        ("0x3A5F", "0x40")
    with pytest.raises(zm5520evm.ParseError) as refused:
        zm5520evm.open(simulate=True, sim_faults=["reglink:nonsense"])
    faults = re.findall(r"[a-z]+(?:-[a-z]+)+", str(refused.value).split("is not one of")[1])
    assert len(faults) >= 10 and all(f in zm5520evm.open.__doc__ for f in faults), faults


# A float that is a shown limit but for its last bits is refused as the
# tab refuses the limit's text.
@pytest.mark.parametrize("lsb,refused", [(61.037e-6, True), (488.4e-6, True), (100e-6, False)])
def test_an_lsb_at_a_shown_limit_is_refused_in_the_tabs_words(lsb, refused):
    result = zm5520evm.Bench.calculate(rshunt_ohms=0.01, max_expected_amps=2,
                                       current_lsb_amps=lsb, config=0x399F)
    assert result.refusal_message == ("You selected a resolution out of range" if refused else "")
