# SPDX-License-Identifier: GPL-3.0-or-later
"""Each operation gives what `evmctl --json` gives for the same simulated
board: the binding's conversion of every result type, field by field.
Measured values differ by the simulated device's noise; the JSON rounds
them to their resolution."""

import datetime
import os

import numpy as np
import pytest

import zm5520evm
from conftest import EXAMPLES, evmctl_document, start_evmctl

KINDS = {"reglink": zm5520evm.DeviceKind.REG_LINK, "interface": zm5520evm.DeviceKind.INTERFACE,
         "other": zm5520evm.DeviceKind.OTHER}
# Noise of the simulated conversions, as the evmctl tests allow it: two
# conversions lie up to 4 shunt counts or 2 bus counts apart, and a little
# more once their decimal texts are subtracted; current follows the shunt
# (4 mA at 100 uA a count) and power both.
NOISE = {1: 4e-5 + 1e-9, 2: 0.008 + 1e-9, 3: 0.06, 4: 0.005}


# The names a quantity has in every front end: evmctl's JSON, Python's
# results and numpy fields.
QUANTITIES = ("bus_volts", "shunt_volts", "amps", "watts")
RAW_CODES = ("shunt_raw", "bus_raw", "power_raw", "current_raw")
SCALING = ("current_lsb_amps", "power_lsb_watts")


def check_read(doc, snapshot, _):
    assert doc["schema"] == 1
    assert doc["device_address"] == snapshot.device_address
    for name in SCALING:
        assert doc[name] == pytest.approx(getattr(snapshot, name), rel=1e-9), name
    by_unit = {r.reg: r.scaled for r in snapshot.registers}
    for name, reg in zip(QUANTITIES, (2, 1, 4, 3)):
        assert doc[name] == pytest.approx(by_unit[reg], abs=NOISE[reg]), name
    assert len(doc["registers"]) == len(snapshot.registers)
    for want, got in zip(doc["registers"], snapshot.registers):
        assert (want["register"], want["name"], want["unit"]) == (got.reg, got.name, got.unit)
        if want["scaled"] is None:
            assert got.scaled is None
            assert (want["raw"], want["hex"], want["binary"]) == (got.raw, got.hex, got.binary)
        else:
            assert got.scaled == pytest.approx(want["scaled"], abs=NOISE[got.reg])


def check_calibrate(doc, result, _):
    assert result.ok
    assert doc["calibration"] == result.calibration
    assert doc["overflow_possible"] == result.overflow_possible
    assert doc["max_current_before_overflow_code"] == result.max_current_before_overflow_code
    for row in result.rows:
        assert doc["text"][row.key] == row.text.strip()
        if not row.key.endswith("_hex"):
            assert doc[row.key] == pytest.approx(row.value, rel=1e-9)
            # A row's key is the result's field of the same quantity.
            if hasattr(result, row.key):
                assert getattr(result, row.key) == pytest.approx(row.value, rel=1e-9), row.key
    assert {r.key for r in result.rows if not r.key.endswith("_hex")} <= \
        set(result._fields) | {"rshunt_ohms", "max_expected_amps"}


def check_send(doc, replies, _):
    assert len(doc["commands"]) == len(replies)
    for want, got in zip(doc["commands"], replies):
        assert want["text"] == got.text
        for field in ("command", "answer", "reads", "acks"):
            assert bytes(want[field]) == getattr(got, field), field
        assert (want["answered"], want["acknowledged"]) == (got.answered, got.acknowledged)


def check_monitor(lines, passes, _):
    assert len(lines) == len(passes) == 1
    for want, got in zip(lines, passes):
        assert want["acknowledged"] and got.acknowledged
        for name in QUANTITIES + RAW_CODES + ("time_epoch_s",):
            assert name in want and getattr(got, name) is not None, name
        # ISO 8601 with the zone, the same instant as the epoch seconds.
        assert datetime.datetime.fromisoformat(want["time"]).timestamp() == \
            pytest.approx(want["time_epoch_s"], abs=1e-3)
        assert datetime.datetime.fromtimestamp(got.time_epoch_s).strftime(
            "%Y-%m-%d %H:%M:%S") == got.time[:19]
        assert got.bus_volts == pytest.approx(want["bus_volts"], abs=NOISE[2])
        assert got.shunt_volts == pytest.approx(want["shunt_volts"], abs=NOISE[1])


def check_measure(lines, data, _):
    assert data.dtype.names == ("time_s", "time_epoch_s") + QUANTITIES[:1] + \
        ("shunt_volts", "amps", "watts", "acknowledged")
    assert set(QUANTITIES) <= set(lines[0]) and "time_s" in lines[0]
    assert len(data) == len(lines) == 1
    assert data["acknowledged"].all()
    want = np.array([line["bus_volts"] for line in lines])
    assert np.allclose(data["bus_volts"], want, atol=NOISE[2])


def check_devices(doc, devices, _):
    doc = doc["devices"]
    assert [(d["path"], d["vendor_id"], d["product_id"], d["serial"], d["product"],
             KINDS[d["kind"]], d["openable"], d["selected"]) for d in doc] == \
        [(d.path, d.vendor_id, d.product_id, d.serial, d.product, d.kind, d.openable,
          d.selected) for d in devices]


def check_script(doc, result, _):
    assert [(r["row"], r["step"], r["verdict"] or "", r["skipped"]) for r in doc["rows"]] == \
        [(r.row, r.step, r.verdict, r.skipped) for r in result.rows]
    assert (doc["pass"], doc["fail"], doc["verdict"]) == \
        (result.pass_count, result.fail_count, "PASS" if result.passed else "FAIL")


def check_saved(doc, saved, _):
    assert len(doc["registers"]) == len(saved)
    assert (doc["registers"][0], doc["registers"][5]) == (saved[0], saved[5])


def register_file(folder):
    path = folder / "regs.csv"
    values = [14751, 0, 0, 0, 0, 40960] + [0] * 17
    path.write_text("".join(f"{v}\r\n" for v in values))
    return path


SCRIPT = os.path.join(EXAMPLES, "dac_to_converters.txt")

CASES = [
    ("read", ["read"], lambda b, d: b.read_registers(), check_read),
    ("read engineering", ["read", "--engineering"],
     lambda b, d: b.read_registers(engineering=True), check_read),
    ("write", ["write", "05", "A000"], lambda b, d: b.write_register(5, 0xA000),
     lambda doc, w, _: (doc["register"], doc["wrote"], doc["read"]) == (w.reg, w.wrote, w.read)),
    ("calibrate", ["calibrate", "--rshunt", "10m", "--max-current", "2", "--lsb", "100u"],
     lambda b, d: b.calculate(rshunt_ohms=0.01, max_expected_amps=2, current_lsb_amps=100e-6,
                              config=b.read_config(), rshunt_text="10m",
                              max_expected_current_text="2", current_lsb_text="100u"),
     check_calibrate),
    ("encode", ["encode", "CMD MUX 40"], lambda b, d: zm5520evm.Bench.encode("CMD MUX 40"),
     lambda doc, report, _: bytes(doc["report"]) == report),
    ("send", ["send", "CMD MUX 05", "I2C CH2 S 91 ACKS R ACKM R ACKM P"],
     lambda b, d: b.send(["CMD MUX 05", "I2C CH2 S 91 ACKS R ACKM R ACKM P"]), check_send),
    ("monitor", ["monitor", "--passes", "1"], lambda b, d: list(b.monitor(passes=1)),
     check_monitor),
    ("measure", ["monitor", "--passes", "1"], lambda b, d: b.measure(passes=1), check_measure),
    ("devices", ["devices"], lambda b, d: b.devices(), check_devices),
    ("script", ["script", SCRIPT], lambda b, d: b.run_script(SCRIPT), check_script),
    ("save-regs", ["save-regs", "{dir}/evmctl.csv"],
     lambda b, d: b.save_registers(d / "python.csv"), check_saved),
    ("load-regs", ["load-regs", "{dir}/regs.csv"],
     lambda b, d: b.load_registers(register_file(d)),
     lambda doc, values, _: doc["registers"] == values),
    ("log", ["log", "{dir}/evmctl.csv", "--passes", "1"],
     lambda b, d: b.log(d / "python.csv", passes=1),
     lambda doc, s, _: (doc["passes"], doc["logged"], doc["interrupted"]) ==
     (s.passes, s.logged, s.stopped)),
]


@pytest.fixture(scope="module")
def evmctl_runs(tmp_path_factory):
    runs = {}
    for name, args, _, _ in CASES:
        folder = tmp_path_factory.mktemp("evmctl")
        register_file(folder)
        runs[name] = start_evmctl(folder, [a.format(dir=folder) for a in args])
    yield runs
    for run in runs.values():
        run.kill()
        run.communicate()


@pytest.mark.filterwarnings("ignore:register 05h")
@pytest.mark.parametrize("name,args,call,check", CASES, ids=[c[0] for c in CASES])
def test_operation_gives_what_evmctl_gives(name, args, call, check, bench, evmctl_runs, tmp_path):
    # Both devices start blank and get the default calibration before their
    # first measurement.
    result = call(bench, tmp_path)
    doc = evmctl_document(evmctl_runs[name], lines=args[0] == "monitor")
    assert check(doc, result, tmp_path) is not False, (doc, result)


def test_as_dict_gives_nested_results_as_dicts(bench):
    snapshot = bench.read_registers().as_dict()
    assert snapshot["registers"][2]["name"] == "Bus Voltage"
    assert set(snapshot["registers"][0]) == {"reg", "name", "raw", "hex", "binary", "scaled",
                                             "unit"}
    assert repr(bench.write_register(5, 0x1000)) == "WriteResult(reg=5, wrote=4096, read=4096)"
