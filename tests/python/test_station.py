# SPDX-License-Identifier: GPL-3.0-or-later
"""A test station's files: evmctl's and the package's JUnit XML against the
schema GitLab and Jenkins read (xmllint), and the JSON records against the
schema the README documents (python3-jsonschema)."""

import json
import pathlib
import subprocess

import jsonschema
import pytest

import zm5520evm

from conftest import EVMCTL, EXAMPLES

ROOT = pathlib.Path(__file__).resolve().parents[2]
XSD = ROOT / "tests" / "data" / "script" / "junit-10.xsd"
SCHEMA = json.loads((ROOT / "docs" / "script_record.schema.json").read_text())


def check_junit(file):
    run = subprocess.run(["xmllint", "--noout", "--schema", str(XSD), str(file)],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr


def check_record(record):
    jsonschema.validate(record, SCHEMA, cls=jsonschema.Draft202012Validator)


BAD_LIMITS = '"CNV1 sees DAC B","write_dac_b 2.5","",""\r\n"too high","read_cnv1","4","5"\r\n'

# name, common options, script (None: the example), exit status, outcome per record file
RUNS = [
    ("three pairs, the second goes silent",
     ["--sim-boards", "3", "--sim-fault", "interface#2:no-reply@5"], None, 1,
     {"out-IB0001.json": "PASS", "out-IB0002.json": "ERROR", "out-IB0003.json": "PASS"}),
    ("a FAIL", [], BAD_LIMITS, 1, {"out.json": "FAIL"}),
]


@pytest.mark.parametrize("name,options,script,status,outcomes", RUNS, ids=[r[0] for r in RUNS])
def test_evmctl_records_follow_their_schemas(name, options, script, status, outcomes, tmp_path):
    file = pathlib.Path(EXAMPLES) / "dac_to_converters.txt"
    if script is not None:
        file = tmp_path / "script.txt"
        file.write_text(script)
    boards = ["--boards", "all"] if len(outcomes) > 1 else []
    run = subprocess.run(
        [EVMCTL, "--simulate", "--sim-fast", "--config-dir", str(tmp_path), *options, "script",
         str(file), *boards, "--junit", str(tmp_path / "out.xml"),
         "--record", str(tmp_path / "out.json"), "--dut-id", "D1", "--station-id", "S<&>1"],
        capture_output=True, text=True, timeout=60)
    assert run.returncode == status, run.stderr
    check_junit(tmp_path / "out.xml")
    for record_file, outcome in outcomes.items():
        record = json.loads((tmp_path / record_file).read_text())
        check_record(record)
        assert record["outcome"] == outcome
        assert (record["dut_id"], record["station_id"]) == ("D1", "S<&>1")
        # An unfinished run says why; a finished one ran every row it reached.
        assert (record["error"] is None) == (outcome in ("PASS", "FAIL"))


def test_run_script_returns_the_record_and_writes_its_files(bench, tmp_path):
    example = pathlib.Path(EXAMPLES) / "dac_to_converters.txt"
    result = bench.run_script(example, dut_id="D7", station_id="S2", operator="ana",
                              junit=tmp_path / "run.xml", record=tmp_path / "run.json")
    check_record(result.record)
    assert result.record["outcome"] == "PASS"
    assert (result.record["dut_id"], result.record["operator"]) == ("D7", "ana")
    assert [s["outcome"] for s in result.record["steps"] if s["checks_value"]] == ["PASS"] * 3
    assert json.loads((tmp_path / "run.json").read_text())["steps"] == result.record["steps"]
    check_junit(tmp_path / "run.xml")


def test_a_run_that_cannot_start_still_writes_its_record(tmp_path):
    with zm5520evm.open(simulate=True, fake_clock=True, sim_faults=("interface:no-board",)) as b:
        with pytest.raises(zm5520evm.Error):
            b.run_script(pathlib.Path(EXAMPLES) / "dac_to_converters.txt",
                         record=tmp_path / "run.json")
    record = json.loads((tmp_path / "run.json").read_text())
    check_record(record)
    assert record["outcome"] == "ERROR"
    assert "interface board" in record["error"]
