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

The package is plain Python over the C library libzm5520evm (zm5520evm.dll
on Windows) through ctypes: it loads the library beside it (a wheel, the
build tree), else the installed one; ZM5520EVM_LIBRARY names another.
"""

from ._bench import Bench, Monitor, Stream, open
from ._errors import (
    BoardNotOpenableError,
    BoardSilentError,
    CancelledError,
    Error,
    FileError,
    NoBoardError,
    NotAcknowledgedError,
    ParseError,
    ReadBackError,
)
from ._results import (
    CalibrationRefusal,
    CalibrationRequest,
    CalibrationRestore,
    CalibrationResult,
    CalibrationRow,
    Converter,
    DacChannel,
    DeviceInfo,
    DeviceKind,
    LogSummary,
    Measurement,
    MnemonicReply,
    MuxInput,
    QuantityStatistics,
    Reference,
    RegisterSnapshot,
    RegisterValue,
    RunSummary,
    ScriptResult,
    ScriptRowResult,
    Statistics,
    WriteResult,
)
from ._stats import Measured, statistics_of

__version__ = Bench.version()

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
    "Measured",
    "Measurement",
    "MnemonicReply",
    "Monitor",
    "MuxInput",
    "NoBoardError",
    "NotAcknowledgedError",
    "ParseError",
    "QuantityStatistics",
    "ReadBackError",
    "Reference",
    "RegisterSnapshot",
    "RegisterValue",
    "RunSummary",
    "ScriptResult",
    "ScriptRowResult",
    "Statistics",
    "Stream",
    "WriteResult",
    "open",
    "statistics_of",
    "__version__",
]
