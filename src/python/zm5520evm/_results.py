# SPDX-License-Identifier: GPL-3.0-or-later
"""The result types, the enums and measure()'s row type. Plain Python: the
values come from the C library already converted (see _bench.py)."""

import enum

import numpy as np

__all__ = [
    "CalibrationRefusal", "CalibrationRequest", "CalibrationRestore", "CalibrationResult",
    "CalibrationRow", "Converter", "DacChannel", "DeviceInfo", "DeviceKind", "LogSummary",
    "MEASURED_DTYPE", "Measurement", "MnemonicReply", "MuxInput", "QuantityStatistics",
    "Reference", "RegisterSnapshot", "RegisterValue", "RunSummary", "ScriptResult",
    "ScriptRowResult", "Statistics", "WriteResult",
]


class Reference(enum.IntEnum):
    """How the converters are read and the DAC is set: the factory
    coefficients of the 5 V or 3 V reference, a reference the user gave, or
    raw codes."""
    NONE = 0
    FACTORY_5V = 1
    FACTORY_3V = 2
    USER = 3
    DIGITAL_CODES = 4


class Converter(enum.IntEnum):
    """The test board's two converters."""
    CNV1 = 0
    CNV2 = 1


class MuxInput(enum.IntEnum):
    """What one converter input is switched to; UNCHANGED leaves it as it is."""
    UNCHANGED = 0
    OPEN = 1
    GND = 2
    DAC = 3


class DacChannel(enum.IntEnum):
    """The test board's DAC outputs."""
    A = 0
    B = 1
    C = 2
    D = 3


class DeviceKind(enum.IntEnum):
    """What a HID device is to the program."""
    OTHER = 0
    REG_LINK = 1
    INTERFACE = 2


class CalibrationRefusal(enum.IntEnum):
    """Which input the initial calibration refused, in the order the
    calibration tab checks them."""
    NONE = 0
    RSHUNT = 1
    MAX_EXPECTED_CURRENT = 2
    CURRENT_LSB = 3
    TOO_LARGE = 4


for _enum in (Reference, Converter, MuxInput, DacChannel, DeviceKind, CalibrationRefusal):
    _enum.__module__ = "zm5520evm"


class _Result:
    """A small read-only result: the values sit in one tuple, in the order of
    `_fields`, and each field is a property over its place."""

    __slots__ = ("_values",)
    _fields: tuple = ()

    @classmethod
    def _make(cls, *values):
        # Results are made by the thousand in a run: no __init__ in the way.
        self = object.__new__(cls)
        object.__setattr__(self, "_values", values)
        return self

    def __setattr__(self, name, value):
        raise AttributeError(f"{type(self).__name__} is read-only")

    def as_dict(self):
        """The fields as a dict; results inside it are dicts too."""
        return {name: _plain(getattr(self, name)) for name in self._fields}

    def __repr__(self):
        shown = ", ".join(f"{name}={getattr(self, name)!r}" for name in self._fields)
        return f"{type(self).__name__}({shown})"


def _plain(value):
    if isinstance(value, _Result):
        return value.as_dict()
    if isinstance(value, list):
        return [_plain(v) for v in value]
    return value


def _field(index, doc):
    return property(lambda self: self._values[index], doc=doc)


def _result(name, doc, fields, extra=None):
    """A _Result subclass with `fields`, each (name, docstring or None)."""
    namespace = {"__doc__": doc, "__slots__": (), "__module__": "zm5520evm",
                 "_fields": tuple(f for f, _ in fields)}
    for index, (field, field_doc) in enumerate(fields):
        namespace[field] = _field(index, field_doc)
    namespace.update(extra or {})
    return type(name, (_Result,), namespace)


RegisterValue = _result("RegisterValue", "One register of a read pass.", [
    ("reg", "Register number, 0-7."),
    ("name", "'Config', 'Shunt Voltage', ..."),
    ("raw", "The 16-bit value."),
    ("hex", "The value as the program shows it: '399F'."),
    ("binary", "'0011 1001 1001 1111'."),
    ("scaled", "Registers 01h-04h: the quantity in `unit`; None for the others."),
    ("unit", "'V', 'W', 'A' or ''."),
])

class RegisterSnapshot(_Result):
    """Registers 00h to the last one of a pass, all acknowledged."""

    # The registers stay in the library's form until `registers` is first
    # read: a loop that reads the bench for one value should not pay for
    # eight objects each time.
    __slots__ = ("_registers", "_convert")
    __module__ = "zm5520evm"
    _fields = ("device_address", "current_lsb_amps", "power_lsb_watts", "registers")
    device_address = _field(0, None)
    current_lsb_amps = _field(1, "The scaling the values were scaled with; 0: none.")
    power_lsb_watts = _field(2, None)

    @classmethod
    def _make(cls, device_address, current_lsb_amps, power_lsb_watts, convert):
        """convert() gives the list of RegisterValue, once."""
        self = object.__new__(cls)
        put = object.__setattr__
        put(self, "_values", (device_address, current_lsb_amps, power_lsb_watts))
        put(self, "_registers", None)
        put(self, "_convert", convert)
        return self

    @property
    def registers(self):
        """list[RegisterValue], by number."""
        if self._registers is None:
            object.__setattr__(self, "_registers", self._convert())
            object.__setattr__(self, "_convert", None)
        return list(self._registers)


WriteResult = _result("WriteResult", "A register written and read back as the same value.", [
    ("reg", None), ("wrote", None), ("read", None),
])

CalibrationRestore = _result(
    "CalibrationRestore", "What calibrate_if_blank() found in register 05h and did.", [
        ("was_blank", "Register 05h read 0."),
        ("wrote", "The calibration written; 0 when none was."),
        ("from_stored_inputs", "The last session's inputs, not the defaults."),
        ("message", "In words; '' when 05h was set."),
    ])

CalibrationRequest = _result(
    "CalibrationRequest",
    "The inputs of the initial calibration and the texts kept for later sessions.", [
        ("rshunt_ohms", None), ("max_expected_amps", None), ("current_lsb_amps", None),
        ("rshunt_text", None), ("max_expected_current_text", None), ("current_lsb_text", None),
    ])

CalibrationRow = _result("CalibrationRow", "One calculated row as the calibration tab shows it.", [
    ("key", "'max_shunt_volts', ..., as the CalibrationResult field."),
    ("caption", "'Max Shunt Voltage', ..."),
    ("value", None),
    ("text", "As the tab shows it."),
    ("unit", None),
])

CalibrationResult = _result(
    "CalibrationResult",
    "The initial calibration (Bench.calculate); a refused input is in\n"
    "`refusal` and `refusal_message`, not raised.", [
        ("refusal", None),
        ("refusal_message", None),
        ("config", "Register 00h the ranges came from."),
        ("max_shunt_volts", None),
        ("max_bus_volts", None),
        ("max_possible_amps", None),
        ("max_possible_current_text", None),
        ("min_current_lsb_amps", None),
        ("max_current_lsb_amps", None),
        ("current_lsb_amps", None),
        ("calibration", "Register 05h."),
        ("power_lsb_watts", None),
        ("max_current_before_overflow_amps", None),
        ("max_current_before_overflow_code", None),
        ("max_shunt_before_overflow_volts", None),
        ("max_power_watts", None),
        ("overflow_possible", None),
        ("overflow_note", None),
        ("rows", "list[CalibrationRow], in the tab's order."),
        ("request", None),
    ], {"ok": property(lambda self: self.refusal == CalibrationRefusal.NONE,
                       doc="True when no input was refused.")})
CalibrationResult._fields = ("ok",) + CalibrationResult._fields

Measurement = _result("Measurement", "One pass of the continuous reading.", [
    ("time", "Local time as the program shows it: '2026-01-15 09:00:00.000'."),
    ("time_epoch_s", "The same instant in seconds since 1970-01-01 00:00 UTC."),
    ("acknowledged", "Every register answered; the numbers are NaN otherwise."),
    ("bus_volts", None),
    ("shunt_volts", None),
    ("amps", None),
    ("watts", None),
    ("raw", "Registers 00h-05h as read."),
    ("current_lsb_amps", "The scaling, and so the resolution, of `amps`; 0: none."),
    ("power_lsb_watts", None),
], {name: property(lambda self, reg=reg: self.raw[reg] if reg < len(self.raw) else None,
                   doc=f"Register {reg:02X}h as read; None when it was not.")
    for name, reg in (("shunt_raw", 1), ("bus_raw", 2), ("power_raw", 3), ("current_raw", 4))})

RunSummary = _result("RunSummary", "How a monitor or stream run ended.", [
    ("passes", "Measurements read, the lost ones too."),
    ("unacknowledged", "Passes in which not every register answered."),
    ("stopped", "Ended by a stop request."),
    ("lost", "Read but never given: the loop did not keep up and the bounded queue was full."),
    ("rate", "Measurements per second between the first and the last; 0 with fewer than two."),
])

LogSummary = _result("LogSummary", "How a log run ended.", [
    ("file", None),
    ("passes", None),
    ("logged", "Passes written to the file."),
    ("unacknowledged", None),
    ("stopped", None),
])

QuantityStatistics = _result("QuantityStatistics", "Figures of one quantity over a run.", [
    ("min", None),
    ("mean", "Of the values, each sample weighing the same."),
    ("max", None),
    ("std", "Population standard deviation (divided by the count, as numpy's std())."),
    ("peak_to_peak", "max - min."),
])

Statistics = _result("Statistics", """The statistics of the acknowledged measurements of a run.

Charge and energy integrate current and power with each sample holding its
value until the next one's time; `seconds` runs from the first sample to the
last, so charge_amp_seconds / seconds is the time-weighted mean current.
Measurements not acknowledged, and those lost on the way, count in `lost`
only. A quantity that was not read is None.""", [
    ("samples", None),
    ("seconds", None),
    ("lost", None),
    ("bus_volts", "QuantityStatistics, or None when not read."),
    ("shunt_volts", None),
    ("amps", None),
    ("watts", None),
    ("charge_amp_seconds", None),
    ("charge_mah", None),
    ("energy_joules", None),
    ("energy_wh", None),
])

DeviceInfo = _result("DeviceInfo", "One HID device, the boards told apart.", [
    ("path", None),
    ("vendor_id", "None when the system did not tell."),
    ("product_id", None),
    ("serial", None),
    ("product", None),
    ("kind", None),
    ("kind_name", "'register link', 'interface board' or ''."),
    ("openable", None),
    ("reason", "Why it cannot be opened."),
    ("selected", "The board a session takes by the stored or given choice."),
])

MnemonicReply = _result("MnemonicReply", "One mnemonic command and the interface board's answer.", [
    ("text", None),
    ("command", "The 32-byte command report."),
    ("answer", "The 32-byte answer report."),
    ("reads", "The bytes read."),
    ("acks", "The acknowledge bytes; 00 is an acknowledge."),
    ("answered", "The board answered at all."),
    ("acknowledged", "Every acknowledge is 00."),
])

ScriptRowResult = _result("ScriptRowResult", "One script row after its run.", [
    ("row", None),
    ("description", None),
    ("step", None),
    ("low", None),
    ("high", None),
    ("result", None),
    ("verdict", "'PASS', 'FAIL' or ''."),
    ("skipped", "A break step, which needs a person."),
])

ScriptResult = _result("ScriptResult", "The rows of a script run and its verdict.", [
    ("rows", "list[ScriptRowResult]."),
    ("pass_count", None),
    ("fail_count", None),
    ("stopped", None),
    ("timed_out", "Ended by max_seconds."),
    ("board_answered", "False: the interface board stopped answering."),
    ("record", "The run's record as a dict: ids, script and its SHA-256, boards, times,\n"
               "outcome and every step (see the README's \"Test stations\")."),
], {"passed": property(
    lambda self: (self.fail_count == 0 and self.board_answered and not self.stopped
                  and not self.timed_out),
    doc="No FAIL, the board answered, and the run was neither stopped nor timed out.")})
ScriptResult._fields = ScriptResult._fields + ("passed",)

# One row of measure()'s array.
MEASURED_DTYPE = np.dtype([("time_s", "<f8"), ("time_epoch_s", "<f8"), ("bus_volts", "<f8"),
                           ("shunt_volts", "<f8"),
                           ("amps", "<f8"), ("watts", "<f8"), ("acknowledged", "?")])

Capture = _result("Capture", "One triggered capture (Bench.capture()).", [
    ("number", "1 for the first of the run."),
    ("trigger_time", "The trigger's instant in seconds, as samples['time_s'] counts them\n"
                     "(from the capture's first sample): the first sample past the level."),
    ("trigger_index", "That sample's row in samples."),
    ("samples", "A numpy array of MEASURED_DTYPE rows, from `pre` seconds before the\n"
                "trigger to the first sample `post` seconds after it."),
    ("file", "The file the capture was saved to; None when no folder was given."),
    ("truncated", "Ended at 1,048,576 samples, before its post-trigger time."),
])
