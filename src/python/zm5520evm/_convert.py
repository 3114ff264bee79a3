# SPDX-License-Identifier: GPL-3.0-or-later
"""From the library's statuses and structs to the package's exceptions and
results, and the warnings a run gives."""

import ctypes
import math
import warnings
from ctypes import byref

import numpy as np

from . import _capi
from ._errors import (BoardNotOpenableError, BoardSilentError, CancelledError, Error, FileError,
                      NoBoardError, NotAcknowledgedError, ParseError, ReadBackError)
from ._results import (CalibrationRefusal, CalibrationRequest, CalibrationResult, CalibrationRow,
                       DeviceInfo, DeviceKind, Measurement, MnemonicReply, RegisterValue)

# How long a wait lasts before Python's signal handlers get their turn: a
# fifth of the 0.2 s Ctrl-C may take to end a call.
SLICE = 0.05

_ERRORS = {
    _capi.ERR_NO_BOARD: NoBoardError,
    _capi.ERR_BOARD_NOT_OPENABLE: BoardNotOpenableError,
    _capi.ERR_BOARD_SILENT: BoardSilentError,
    _capi.ERR_NOT_ACKNOWLEDGED: NotAcknowledgedError,
    _capi.ERR_CANCELLED: CancelledError,
    _capi.ERR_INVALID_ARGUMENT: ParseError,
}


def _error(status, handle):
    """The exception for a failed call, with the library's text and details.
    handle None: the calling thread's last failure."""
    text = _capi.read_text(_capi.last_error, handle)
    if status in (_capi.ERR_READ_BACK, _capi.ERR_PARSE, _capi.ERR_FILE):
        info = _capi.ErrorInfo()
        _capi.last_error_info(handle, byref(info))
        if status == _capi.ERR_READ_BACK:
            return ReadBackError(text, info.reg, info.wanted, info.got)
        if status == _capi.ERR_PARSE:
            return ParseError(text, info.position)
        path = _capi.read_text(_capi.last_error_path, handle)
        errno = strerror = None
        if info.error_code_kind == _capi.CODE_ERRNO or (
                info.error_code_kind == _capi.CODE_SYSTEM and not _capi.WINDOWS):
            errno, strerror = info.error_code, _capi.text(info.error_message)
        error = FileError(text, path, errno, strerror)
        if info.error_code_kind == _capi.CODE_SYSTEM and _capi.WINDOWS:
            error.winerror = info.error_code
            error.strerror = _capi.text(info.error_message)
        return error
    return _ERRORS.get(status, Error)(text or _capi.status_name(status).decode())


def _check(status, handle=None):
    if status < 0:
        raise _error(status, handle)
    return status


def _length(passes, seconds):
    if passes < 0:
        raise ParseError(f"passes must be 0 (no count) or more, not {passes}")
    if seconds < 0:
        raise ParseError("seconds must be 0 (no limit) or more")
    return int(passes), float(seconds)


# The resolution of the shunt and bus voltage registers, in volts.
SHUNT_VOLTS_LSB = 1e-5
BUS_VOLTS_LSB = 0.004


def _decimals(resolution):
    """The decimals that hold a value of this resolution and one digit more,
    as evmctl's JSON writes it; None keeps the value as it is."""
    if not resolution > 0 or not math.isfinite(resolution):
        return None
    return min(max(math.ceil(-math.log10(resolution)) + 1, 0), 17)


def _rounded(value, resolution):
    """0.00998 rather than 0.009980000000000001."""
    places = _decimals(resolution)
    return value if places is None or not math.isfinite(value) else round(value, places)


def _register_values(snapshot):
    resolution = (0, SHUNT_VOLTS_LSB, BUS_VOLTS_LSB, snapshot.power_lsb_watts,
                  snapshot.current_lsb_amps)
    return [RegisterValue._make(r.reg, _capi.text(r.name), r.raw, _capi.text(r.hex),
                                _capi.text(r.binary),
                                _rounded(r.scaled, resolution[r.reg]) if r.has_scaled else None,
                                _capi.text(r.unit))
            for r in snapshot.registers[:snapshot.count]]


def _measurement(m):
    """A pass; the numbers of one the device did not acknowledge are NaN:
    they were never read."""
    if m.acknowledged:
        values = (_rounded(m.bus_volts, BUS_VOLTS_LSB), _rounded(m.shunt_volts, SHUNT_VOLTS_LSB),
                  _rounded(m.amps, m.current_lsb_amps), _rounded(m.watts, m.power_lsb_watts))
    else:
        values = (math.nan,) * 4
    return Measurement._make(_capi.text(m.time), m.time_epoch_s, bool(m.acknowledged), *values,
                             list(m.raw[:m.raw_count]), m.current_lsb_amps, m.power_lsb_watts)


def _fill_rows(rows, view, start):
    """measure()'s and stream()'s rows from the library's measurements:
    time_s from `start` (epoch seconds), each quantity rounded to its
    resolution, NaN where the device did not acknowledge. Returns how many
    it did not."""
    rows["time_epoch_s"] = view["time_epoch_s"]
    rows["time_s"] = np.round(view["time_epoch_s"] - start, 6)
    rows["acknowledged"] = view["acknowledged"] != 0
    for field, resolution in (("bus_volts", BUS_VOLTS_LSB), ("shunt_volts", SHUNT_VOLTS_LSB),
                              ("amps", view["current_lsb_amps"][0] if len(view) else 0),
                              ("watts", view["power_lsb_watts"][0] if len(view) else 0)):
        places = _decimals(resolution)
        rows[field] = view[field] if places is None else np.round(view[field], places)
    missing = ~rows["acknowledged"]
    count = int(missing.sum())
    if count:
        for field in ("bus_volts", "shunt_volts", "amps", "watts"):
            rows[field][missing] = np.nan
    return count


def _calibration_result(c):
    rows = [CalibrationRow._make(_capi.text(r.key), _capi.text(r.caption), r.value,
                                 _capi.text(r.text), _capi.text(r.unit))
            for r in c.rows[:c.row_count]]
    q = c.request
    request = CalibrationRequest._make(q.rshunt_ohms, q.max_expected_amps, q.current_lsb_amps,
                                       _capi.text(q.rshunt_text),
                                       _capi.text(q.max_expected_current_text),
                                       _capi.text(q.current_lsb_text))
    # The struct itself rides along (past the fields) for apply_calibration().
    return CalibrationResult._make(
        CalibrationRefusal(c.refusal), _capi.text(c.refusal_message), c.config,
        c.max_shunt_volts, c.max_bus_volts, c.max_possible_amps,
        _capi.text(c.max_possible_current_text), c.min_current_lsb_amps, c.max_current_lsb_amps,
        c.current_lsb_amps, c.calibration, c.power_lsb_watts, c.max_current_before_overflow_amps,
        c.max_current_before_overflow_code, c.max_shunt_before_overflow_volts, c.max_power_watts,
        bool(c.overflow_possible), _capi.text(c.overflow_note), rows, request, c)


def _reply(r, texts):
    return MnemonicReply._make(texts[r.index] if 0 <= r.index < len(texts) else "",
                               bytes(r.command), bytes(r.answer), bytes(r.reads[:r.read_count]),
                               bytes(r.acks[:r.ack_count]), bool(r.answered),
                               bool(r.acknowledged))


def _device(d):
    known = bool(d.ids_known)
    return DeviceInfo._make(_capi.text(d.path), d.vendor_id if known else None,
                            d.product_id if known else None, _capi.text(d.serial),
                            _capi.text(d.product), DeviceKind(d.kind), _capi.text(d.kind_name),
                            bool(d.openable), _capi.text(d.reason), bool(d.selected))


def _measurements_dtype():
    """The library's zm_measurement as numpy sees it, for the fields measure() keeps."""
    m = _capi.Measurement
    names = ("time_epoch_s", "acknowledged", "raw_count", "shunt_volts", "bus_volts", "amps",
             "watts", "current_lsb_amps", "power_lsb_watts")
    formats = ("<f8", "<i4", "<i4", "<f8", "<f8", "<f8", "<f8", "<f8", "<f8")
    return np.dtype({"names": names + ("raw",), "formats": formats + (("<u2", 8),),
                     "offsets": [getattr(m, n).offset for n in names + ("raw",)],
                     "itemsize": ctypes.sizeof(m)})


_C_MEASUREMENT = _measurements_dtype()


def _warn_unacknowledged(count, passes, stacklevel):
    if count:
        warnings.warn(f"the device did not acknowledge {count} of {passes} passes; their values "
                      "are NaN", RuntimeWarning, stacklevel=stacklevel + 1)


def _warn_uncalibrated(first, stacklevel):
    # The chip computes current and power only with a calibration.
    if first.acknowledged and first.raw_count > 5 and first.raw[5] == 0:
        warnings.warn("register 05h (Full Scale Cal) is 0, so current and power read 0; store a "
                      "calibration with apply_calibration()", RuntimeWarning,
                      stacklevel=stacklevel + 1)
