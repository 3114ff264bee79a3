# SPDX-License-Identifier: GPL-3.0-or-later
"""The C library (zm5520evm.h) through ctypes: its structs and functions as
the header declares them. Only the loading differs between platforms."""

import ctypes
import ctypes.util
import os
import sys
from ctypes import (CFUNCTYPE, POINTER, Structure, c_char, c_char_p, c_double, c_int32,
                    c_int64, c_size_t, c_uint8, c_uint16, c_uint32, c_void_p)

_HERE = os.path.dirname(os.path.abspath(__file__))
WINDOWS = sys.platform == "win32"
# The folders os.add_dll_directory() added stay added while these live.
_dll_directories = []


def library_path(named, here, windows, exists=os.path.exists, find=ctypes.util.find_library):
    """Which library to load: the one ZM5520EVM_LIBRARY names (`named`),
    else the one beside the package in `here` (a wheel, the build tree),
    else the installed one."""
    name = "zm5520evm.dll" if windows else "libzm5520evm.so.1"
    beside = os.path.join(here, name)
    if named:
        return named
    if exists(beside):
        return beside
    if windows:
        return find("zm5520evm") or name
    return name  # the dynamic linker's search: /usr/lib and the rest


def _load():
    path = library_path(os.environ.get("ZM5520EVM_LIBRARY"), _HERE, WINDOWS)
    if WINDOWS:
        # The MinGW runtime DLLs the library imports sit beside it.
        folder = os.path.dirname(os.path.abspath(path))
        if os.path.isdir(folder):
            _dll_directories.append(os.add_dll_directory(folder))
    try:
        return ctypes.CDLL(path)
    except OSError as e:
        raise ImportError(f"zm5520evm cannot load its library {path}: {e}") from e


lib = _load()

# Status codes
OK, DONE, TIMEOUT = 0, 1, 2
ERR_NO_BOARD = -1
ERR_BOARD_NOT_OPENABLE = -2
ERR_BOARD_SILENT = -3
ERR_NOT_ACKNOWLEDGED = -4
ERR_READ_BACK = -5
ERR_PARSE = -6
ERR_FILE = -7
ERR_CANCELLED = -8
ERR_BUSY = -9
ERR_INVALID_ARGUMENT = -10
ERR_BUFFER_TOO_SMALL = -11
ERR_INTERNAL = -12
ERR_FAILED = -13

MODE_PASSES, MODE_FAST, MODE_FAST_TWO = 0, 1, 2

CODE_NONE, CODE_ERRNO, CODE_SYSTEM, CODE_OTHER = 0, 1, 2, 3

NAME_SIZE = 64
TEXT_SIZE = 256
PATH_SIZE = 1024
MAX_REGISTERS = 8
RAW_REGISTERS = 8
REPORT_SIZE = 32
CALIBRATION_ROWS = 16

NOTICE_FN = CFUNCTYPE(None, c_void_p, c_char_p)


class Options(Structure):
    _fields_ = [
        ("struct_size", c_uint32),
        ("simulate", c_int32),
        ("fake_clock", c_int32),
        ("sim_fault", c_char * NAME_SIZE),
        ("sim_boards", c_int32),
        ("reference_volts", c_double),
        ("reg_link", c_char * TEXT_SIZE),
        ("interface_board", c_char * TEXT_SIZE),
        ("vendor_id", c_int32),
        ("state_folder", c_char * PATH_SIZE),
        ("device_address", c_int32),
        ("usb_address", c_int32),
        ("on_notice", NOTICE_FN),
        ("notice_user", c_void_p),
        ("sim_load", c_char * PATH_SIZE),
        ("sim_frame_ms", c_double),
        ("calibrate_if_blank", c_int32),
    ]


class ErrorInfo(Structure):
    _fields_ = [
        ("status", c_int32),
        ("reg", c_int32),
        ("wanted", c_int32),
        ("got", c_int32),
        ("position", c_int64),
        ("error_code", c_int32),
        ("error_code_kind", c_int32),
        ("error_message", c_char * TEXT_SIZE),
        ("path", c_char * PATH_SIZE),
    ]


class DeviceInfo(Structure):
    _fields_ = [
        ("path", c_char * PATH_SIZE),
        ("ids_known", c_int32),
        ("vendor_id", c_int32),
        ("product_id", c_int32),
        ("kind", c_int32),
        ("serial", c_char * TEXT_SIZE),
        ("product", c_char * TEXT_SIZE),
        ("kind_name", c_char * NAME_SIZE),
        ("openable", c_int32),
        ("selected", c_int32),
        ("reason", c_char * TEXT_SIZE),
    ]


class RegisterValue(Structure):
    _fields_ = [
        ("reg", c_int32),
        ("raw", c_int32),
        ("has_scaled", c_int32),
        ("reserved", c_int32),
        ("scaled", c_double),
        ("name", c_char * NAME_SIZE),
        ("hex", c_char * 8),
        ("binary", c_char * 24),
        ("unit", c_char * 8),
    ]


class RegisterSnapshot(Structure):
    _fields_ = [
        ("device_address", c_int32),
        ("count", c_int32),
        ("current_lsb_amps", c_double),
        ("power_lsb_watts", c_double),
        ("registers", RegisterValue * MAX_REGISTERS),
    ]


class WriteResult(Structure):
    _fields_ = [("reg", c_int32), ("wrote", c_int32), ("read", c_int32)]


class CalibrationRequest(Structure):
    _fields_ = [
        ("rshunt_ohms", c_double),
        ("max_expected_amps", c_double),
        ("current_lsb_amps", c_double),
        ("rshunt_text", c_char * NAME_SIZE),
        ("max_expected_current_text", c_char * NAME_SIZE),
        ("current_lsb_text", c_char * NAME_SIZE),
    ]


class CalibrationRow(Structure):
    _fields_ = [
        ("key", c_char * NAME_SIZE),
        ("caption", c_char * NAME_SIZE),
        ("value", c_double),
        ("text", c_char * NAME_SIZE),
        ("unit", c_char * 16),
    ]


class CalibrationResult(Structure):
    _fields_ = [
        ("refusal", c_int32),
        ("config", c_int32),
        ("refusal_message", c_char * TEXT_SIZE),
        ("max_shunt_volts", c_double),
        ("max_bus_volts", c_double),
        ("max_possible_amps", c_double),
        ("max_possible_current_text", c_char * NAME_SIZE),
        ("min_current_lsb_amps", c_double),
        ("max_current_lsb_amps", c_double),
        ("current_lsb_amps", c_double),
        ("calibration", c_int32),
        ("overflow_possible", c_int32),
        ("power_lsb_watts", c_double),
        ("max_current_before_overflow_amps", c_double),
        ("max_current_before_overflow_code", c_int64),
        ("max_shunt_before_overflow_volts", c_double),
        ("max_power_watts", c_double),
        ("overflow_note", c_char * TEXT_SIZE),
        ("row_count", c_int32),
        ("reserved", c_int32),
        ("rows", CalibrationRow * CALIBRATION_ROWS),
        ("request", CalibrationRequest),
    ]


class CalibrationRestore(Structure):
    _fields_ = [
        ("was_blank", c_int32),
        ("wrote", c_int32),
        ("from_stored_inputs", c_int32),
        ("reserved", c_int32),
        ("message", c_char * TEXT_SIZE),
    ]


class Measurement(Structure):
    _fields_ = [
        ("time_epoch_s", c_double),
        ("time", c_char * 32),
        ("acknowledged", c_int32),
        ("raw_count", c_int32),
        ("shunt_volts", c_double),
        ("bus_volts", c_double),
        ("amps", c_double),
        ("watts", c_double),
        ("raw", c_uint16 * RAW_REGISTERS),
        ("current_lsb_amps", c_double),
        ("power_lsb_watts", c_double),
    ]


class RunSummary(Structure):
    _fields_ = [
        ("passes", c_int64),
        ("unacknowledged", c_int64),
        ("lost", c_int64),
        ("stopped", c_int32),
        ("full", c_int32),
        ("finished", c_int32),
        ("reserved", c_int32),
    ]


class RunDetails(Structure):
    _fields_ = [
        ("struct_size", c_uint32),
        ("mode", c_int32),
        ("registers_read", c_int32),
        ("reserved", c_int32),
        ("lost", c_int64),
        ("rate", c_double),
    ]


class LogSummary(Structure):
    _fields_ = [
        ("passes", c_int64),
        ("logged", c_int64),
        ("unacknowledged", c_int64),
        ("unanswered", c_int64),
        ("stopped", c_int32),
        ("reserved", c_int32),
        ("file", c_char * PATH_SIZE),
    ]


class QuantityStatistics(Structure):
    _fields_ = [
        ("samples", c_int64),
        ("min", c_double),
        ("mean", c_double),
        ("max", c_double),
        ("std", c_double),
        ("peak_to_peak", c_double),
    ]


class Statistics(Structure):
    _fields_ = [
        ("struct_size", c_uint32),
        ("reserved", c_int32),
        ("samples", c_int64),
        ("lost", c_int64),
        ("seconds", c_double),
        ("first_time_epoch_s", c_double),
        ("bus_volts", QuantityStatistics),
        ("shunt_volts", QuantityStatistics),
        ("amps", QuantityStatistics),
        ("watts", QuantityStatistics),
        ("charge_amp_seconds", c_double),
        ("charge_mah", c_double),
        ("energy_joules", c_double),
        ("energy_wh", c_double),
    ]


class MnemonicReply(Structure):
    _fields_ = [
        ("index", c_int32),
        ("answered", c_int32),
        ("acknowledged", c_int32),
        ("read_count", c_int32),
        ("ack_count", c_int32),
        ("command", c_uint8 * REPORT_SIZE),
        ("answer", c_uint8 * REPORT_SIZE),
        ("reads", c_uint8 * REPORT_SIZE),
        ("acks", c_uint8 * REPORT_SIZE),
    ]


class ScriptResult(Structure):
    _fields_ = [
        ("pass_", c_int32),
        ("fail", c_int32),
        ("stopped", c_int32),
        ("timed_out", c_int32),
        ("board_answered", c_int32),
        ("passed", c_int32),
        ("row_count", c_int32),
        ("reserved", c_int32),
    ]


class ScriptRow(Structure):
    _fields_ = [
        ("row", c_int32),
        ("skipped", c_int32),
        ("truncated", c_int32),
        ("reserved", c_int32),
        ("description", c_char * TEXT_SIZE),
        ("step", c_char * TEXT_SIZE),
        ("low", c_char * NAME_SIZE),
        ("high", c_char * NAME_SIZE),
        ("result", c_char * TEXT_SIZE),
        ("verdict", c_char * 8),
    ]


SCRIPT_COLUMNS = ("description", "step", "low", "high", "result", "verdict")


class CaptureRequest(Structure):
    _fields_ = [
        ("struct_size", c_uint32),
        ("mode", c_int32),
        ("trigger", c_char_p),
        ("pre_seconds", c_double),
        ("post_seconds", c_double),
        ("count", c_int64),
        ("timeout_seconds", c_double),
        ("folder", c_char_p),
    ]


class CaptureInfo(Structure):
    _fields_ = [
        ("number", c_int64),
        ("samples", c_int64),
        ("trigger_index", c_int64),
        ("trigger_time_epoch_s", c_double),
        ("trigger_time", c_char * 32),
        ("truncated", c_int32),
        ("reserved", c_int32),
        ("file", c_char * PATH_SIZE),
    ]


class CaptureSummary(Structure):
    _fields_ = [
        ("captures", c_int64),
        ("samples", c_int64),
        ("unacknowledged", c_int64),
        ("lost", c_int64),
        ("stopped", c_int32),
        ("timed_out", c_int32),
        ("cut", c_int32),
        ("reserved", c_int32),
        ("rate", c_double),
    ]

# Callbacks of the calls that report as they go (0 goes on, else stops).
PASS_FN = CFUNCTYPE(c_int32, c_void_p, POINTER(Measurement))
ROW_FN = CFUNCTYPE(c_int32, c_void_p, POINTER(ScriptRow))
CAPTURE_FN = CFUNCTYPE(c_int32, c_void_p, POINTER(CaptureInfo), POINTER(Measurement))

_bench = c_void_p
_run = c_void_p
_size_p = POINTER(c_size_t)
_PROTOTYPES = {
    "zm_status_name": (c_char_p, [c_int32]),
    "zm_version": (c_char_p, []),
    "zm_check_version": (c_int32, [c_int32, c_int32]),
    "zm_options_init": (c_int32, [POINTER(Options)]),
    "zm_default_state_folder": (c_int32, [c_char_p, c_size_t, _size_p]),
    "zm_open": (c_int32, [POINTER(Options), POINTER(_bench)]),
    "zm_close": (None, [_bench]),
    "zm_last_error": (c_int32, [_bench, c_char_p, c_size_t, _size_p]),
    "zm_last_error_info": (c_int32, [_bench, POINTER(ErrorInfo)]),
    "zm_last_error_path": (c_int32, [_bench, c_char_p, c_size_t, _size_p]),
    "zm_stop": (c_int32, [_bench]),
    "zm_clear_stop": (c_int32, [_bench]),
    "zm_devices": (c_int32, [_bench, POINTER(DeviceInfo), c_size_t, _size_p]),
    "zm_read_registers": (c_int32, [_bench, c_int32, POINTER(RegisterSnapshot)]),
    "zm_write_register": (c_int32, [_bench, c_int32, c_uint16, POINTER(WriteResult)]),
    "zm_read_config": (c_int32, [_bench, POINTER(c_uint16)]),
    "zm_save_registers": (c_int32, [_bench, c_char_p, POINTER(c_uint16), c_size_t, _size_p]),
    "zm_load_registers": (c_int32, [_bench, c_char_p, POINTER(c_uint16), c_size_t, _size_p]),
    "zm_calculate": (c_int32, [POINTER(CalibrationRequest), c_uint16,
                               POINTER(CalibrationResult)]),
    "zm_apply_calibration": (c_int32, [_bench, POINTER(CalibrationResult)]),
    "zm_use_scaling": (c_int32, [_bench, c_double, c_double]),
    "zm_calibrate_if_blank": (c_int32, [_bench, POINTER(CalibrationRestore)]),
    "zm_measure_once": (c_int32, [_bench, POINTER(Measurement)]),
    "zm_measure": (c_int32, [_bench, c_int64, c_double, POINTER(Measurement), c_size_t, _size_p,
                             POINTER(RunSummary)]),
    "zm_run_start": (c_int32, [_bench, c_int64, c_double, c_size_t, POINTER(_run)]),
    "zm_measure_mode": (c_int32, [_bench, c_int32, c_int64, c_double, POINTER(Measurement),
                                  c_size_t, _size_p, POINTER(RunSummary), POINTER(RunDetails)]),
    "zm_run_start_mode": (c_int32, [_bench, c_int32, c_int64, c_double, c_size_t,
                                    POINTER(_run)]),
    "zm_run_take": (c_int32, [_run, POINTER(Measurement), c_size_t, _size_p, c_int32]),
    "zm_run_details_get": (c_int32, [_run, POINTER(RunDetails)]),
    "zm_run_next": (c_int32, [_run, POINTER(Measurement), c_int32]),
    "zm_run_summary_get": (c_int32, [_run, POINTER(RunSummary)]),
    "zm_run_last_error": (c_int32, [_run, c_char_p, c_size_t, _size_p]),
    "zm_run_close": (c_int32, [_run]),
    "zm_run_free": (None, [_run]),
    "zm_send": (c_int32, [_bench, c_char_p, POINTER(MnemonicReply), c_size_t, _size_p]),
    "zm_encode": (c_int32, [c_char_p, POINTER(c_uint8 * REPORT_SIZE)]),
    "zm_script_rows": (c_int32, [_bench, POINTER(ScriptRow), c_size_t, _size_p]),
    "zm_script_cell": (c_int32, [_bench, c_int32, c_int32, c_char_p, c_size_t, _size_p]),
    "zm_save_script_results": (c_int32, [_bench, c_char_p]),
    "zm_script_record": (c_int32, [_bench, c_char_p, c_char_p, c_char_p, c_char_p, c_size_t,
                                   _size_p]),
    "zm_save_script_record": (c_int32, [_bench, c_char_p, c_char_p, c_char_p, c_char_p,
                                        c_char_p]),
    "zm_read_converter": (c_int32, [_bench, c_int32, c_int32, POINTER(c_double)]),
    "zm_read_loop_current": (c_int32, [_bench, POINTER(c_double)]),
    "zm_set_mux": (c_int32, [_bench, c_int32, c_int32, c_int32]),
    "zm_set_dac": (c_int32, [_bench, c_int32, c_double, c_int32, c_int32, POINTER(c_double)]),
    "zm_set_supply": (c_int32, [_bench, c_int32]),
    "zm_log_each": (c_int32, [_bench, c_char_p, c_int64, c_double, PASS_FN, c_void_p,
                              POINTER(LogSummary)]),
    "zm_log_mode_each": (c_int32, [_bench, c_char_p, c_int32, c_int64, c_double, c_double,
                                   PASS_FN, c_void_p, POINTER(LogSummary)]),
    "zm_last_statistics": (c_int32, [_bench, POINTER(Statistics)]),
    "zm_statistics_of": (c_int32, [c_void_p, c_void_p, c_void_p, c_void_p, c_void_p, c_void_p,
                                   c_size_t, c_size_t, POINTER(Statistics)]),
    "zm_run_script_each": (c_int32, [_bench, c_char_p, c_double, ROW_FN, c_void_p,
                                     POINTER(ScriptResult)]),
    "zm_capture": (c_int32, [_bench, POINTER(CaptureRequest), CAPTURE_FN, c_void_p,
                             POINTER(CaptureSummary)]),
}


def _declare(name, restype, argtypes):
    function = getattr(lib, name)
    function.restype = restype
    function.argtypes = argtypes
    return function


for _name, (_restype, _argtypes) in _PROTOTYPES.items():
    globals()[_name[3:]] = _declare(_name, _restype, _argtypes)


def _check_layout():
    """The one struct the library gives its own size of: a Python whose
    ctypes lays structs out otherwise than the compiler of the library
    (pointer size, alignment) stops here, not in a call."""
    options = Options()
    options_init(options)
    if options.struct_size != ctypes.sizeof(Options):
        raise ImportError(f"zm5520evm: the library's zm_options has {options.struct_size} "
                          f"bytes, this package's {ctypes.sizeof(Options)}")
    if check_version(1, 0) != 1:
        raise ImportError(f"zm5520evm: the library {version().decode()} does not serve "
                          "version 1.0 of its interface")


_check_layout()


def text(buffer):
    """A NUL-terminated UTF-8 field of a struct as str."""
    return buffer.decode("utf-8", "replace")


def path_bytes(path):
    """A path as the library takes it: UTF-8 on every platform."""
    return os.fsdecode(path).encode("utf-8", "surrogateescape")


def read_text(call, *args):
    """A text the library gives as (buffer, capacity, needed), whole."""
    capacity = 256
    while True:
        buffer = ctypes.create_string_buffer(capacity)
        needed = c_size_t(0)
        status = call(*args, buffer, capacity, ctypes.byref(needed))
        if status == ERR_BUFFER_TOO_SMALL and needed.value > capacity:
            capacity = needed.value
            continue
        return buffer.value.decode("utf-8", "replace")
