# SPDX-License-Identifier: GPL-3.0-or-later
"""The ZM5520/1 evaluation module from Python.

Open a session with open() and drive the EVM through its Bench: read and
write registers, calibrate, measure, log, send mnemonic commands, run
scripts and drive the test board. Every failure is a zm5520evm.Error
subclass whose message is the program's own text for it.

    import zm5520evm

    with zm5520evm.open(simulate=True) as bench:
        data = bench.measure(passes=10)   # a numpy structured array
        print(data["amps"])
        for m in bench.monitor(passes=3):
            print(m.time, m.bus_volts, m.amps)

The result types (RegisterSnapshot, Measurement, ...) are small read-only
classes; as_dict() gives any of them as a dict, nested results included.
"""

from ._zm5520evm import (
    Bench,
    BoardNotOpenableError,
    BoardSilentError,
    CalibrationRefusal,
    CalibrationRequest,
    CalibrationRestore,
    CalibrationResult,
    CalibrationRow,
    CancelledError,
    Converter,
    DacChannel,
    DeviceInfo,
    DeviceKind,
    Error,
    FileError,
    LogSummary,
    Measurement,
    MnemonicReply,
    Monitor,
    MuxInput,
    NoBoardError,
    NotAcknowledgedError,
    ParseError,
    ReadBackError,
    Reference,
    RegisterSnapshot,
    RegisterValue,
    RunSummary,
    ScriptResult,
    ScriptRowResult,
    WriteResult,
    open,
)

__version__ = Bench.version()

_RESULTS = (
    CalibrationRequest,
    CalibrationRestore,
    CalibrationResult,
    CalibrationRow,
    DeviceInfo,
    LogSummary,
    Measurement,
    MnemonicReply,
    RegisterSnapshot,
    RegisterValue,
    RunSummary,
    ScriptResult,
    ScriptRowResult,
    WriteResult,
)


def _fields(cls):
    return tuple(name for name, value in vars(cls).items() if isinstance(value, property))


def _plain(value):
    if isinstance(value, _RESULTS):
        return value.as_dict()
    if isinstance(value, list):
        return [_plain(v) for v in value]
    return value


def _as_dict(self):
    """The fields as a dict; results inside it are dicts too."""
    return {name: _plain(getattr(self, name)) for name in type(self)._fields}


def _repr(self):
    shown = ", ".join(f"{name}={getattr(self, name)!r}" for name in type(self)._fields)
    return f"{type(self).__name__}({shown})"


for _cls in _RESULTS:
    _cls._fields = _fields(_cls)
    _cls.as_dict = _as_dict
    _cls.__repr__ = _repr
del _cls

__all__ = [
    "Bench",
    "BoardNotOpenableError",
    "BoardSilentError",
    "CalibrationRefusal",
    "CalibrationRequest",
    "CalibrationRestore",
    "CalibrationResult",
    "CalibrationRow",
    "CancelledError",
    "Converter",
    "DacChannel",
    "DeviceInfo",
    "DeviceKind",
    "Error",
    "FileError",
    "LogSummary",
    "Measurement",
    "MnemonicReply",
    "Monitor",
    "MuxInput",
    "NoBoardError",
    "NotAcknowledgedError",
    "ParseError",
    "ReadBackError",
    "Reference",
    "RegisterSnapshot",
    "RegisterValue",
    "RunSummary",
    "ScriptResult",
    "ScriptRowResult",
    "WriteResult",
    "open",
    "__version__",
]
