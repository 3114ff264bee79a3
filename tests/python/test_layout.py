# SPDX-License-Identifier: GPL-3.0-or-later
"""The package's ctypes structs are laid out as the C compiler lays out
zm5520evm.h's (struct_layout.c prints that, ctest names it in
ZM5520EVM_STRUCT_LAYOUT): a field at another offset or of another size would
read another field's bytes without any error."""

import ctypes
import os
import subprocess

import pytest

from zm5520evm import _capi

LAYOUT = os.environ.get("ZM5520EVM_STRUCT_LAYOUT", "")
STRUCTS = {
    "zm_options": _capi.Options, "zm_error_info": _capi.ErrorInfo,
    "zm_device_info": _capi.DeviceInfo, "zm_register_value": _capi.RegisterValue,
    "zm_register_snapshot": _capi.RegisterSnapshot, "zm_write_result": _capi.WriteResult,
    "zm_calibration_request": _capi.CalibrationRequest,
    "zm_calibration_row": _capi.CalibrationRow, "zm_calibration_result": _capi.CalibrationResult,
    "zm_calibration_restore": _capi.CalibrationRestore, "zm_measurement": _capi.Measurement,
    "zm_run_summary": _capi.RunSummary, "zm_log_summary": _capi.LogSummary,
    "zm_mnemonic_reply": _capi.MnemonicReply, "zm_script_result": _capi.ScriptResult,
    "zm_script_row": _capi.ScriptRow, "zm_run_details": _capi.RunDetails,
    "zm_quantity_statistics": _capi.QuantityStatistics, "zm_statistics": _capi.Statistics,
}


def c_layout():
    if not os.access(LAYOUT, os.X_OK):
        pytest.skip("ZM5520EVM_STRUCT_LAYOUT names no built struct_layout")
    lines = subprocess.run([LAYOUT], capture_output=True, text=True, check=True).stdout
    return {name: tuple(map(int, numbers))
            for name, *numbers in (line.split() for line in lines.splitlines())}


def python_layout():
    layout = {}
    for c_name, struct in STRUCTS.items():
        layout[c_name] = (ctypes.sizeof(struct),)
        for field, _ in struct._fields_:
            place = getattr(struct, field)
            layout[f"{c_name}.{'pass' if field == 'pass_' else field}"] = (place.offset, place.size)
    return layout


def test_every_struct_and_field_is_where_the_c_compiler_puts_it():
    c, python = c_layout(), python_layout()
    assert set(c) == set(python)
    assert {k: v for k, v in python.items() if c[k] != v} == {}
