# SPDX-License-Identifier: GPL-3.0-or-later
"""Statistics of measurements by the library's one implementation: of the
rows of measure() (Measured.stats()) or of any array with the same fields."""

from ctypes import byref

import numpy as np

from . import _capi
from ._convert import _check
from ._errors import ParseError
from ._results import QuantityStatistics, Statistics

_QUANTITIES = ("bus_volts", "shunt_volts", "amps", "watts")


def _quantity(q):
    return None if q.samples == 0 else QuantityStatistics._make(
        q.min, q.mean, q.max, q.std, q.peak_to_peak)


def statistics_from_c(s):
    """A Statistics of the library's zm_statistics."""
    return Statistics._make(s.samples, s.seconds, s.lost,
                            *(_quantity(getattr(s, name)) for name in _QUANTITIES),
                            s.charge_amp_seconds, s.charge_mah, s.energy_joules, s.energy_wh)


def statistics_of(rows):
    """The Statistics of a structured array with a time field ('time' or
    'time_s', seconds that do not decrease), any of bus_volts, shunt_volts,
    amps and watts (a missing one or NaN: not read) and optionally
    acknowledged (False: lost)."""
    rows = np.asarray(rows)
    names = rows.dtype.names or ()
    time = next((n for n in ("time_s", "time") if n in names), None)
    if time is None or rows.ndim != 1:
        raise ParseError("stats() takes a one-dimensional array with a 'time' or 'time_s' field")
    # Contiguous doubles, so one stride serves every column.
    keep = [np.ascontiguousarray(rows[time], dtype=np.float64)]
    for name in _QUANTITIES:
        keep.append(np.ascontiguousarray(rows[name], dtype=np.float64) if name in names
                    else None)
    keep.append(np.ascontiguousarray(rows["acknowledged"], dtype=np.uint8)
                if "acknowledged" in names else None)
    # The library steps every column by one stride: the flags, a byte
    # each, are applied here instead.
    acknowledged = keep[-1]
    if acknowledged is not None:
        lost = int(np.count_nonzero(acknowledged == 0))
        kept = acknowledged != 0
        keep = [None if column is None else column[kept] for column in keep[:-1]]
    else:
        lost = 0
        keep = keep[:-1]
    out = _capi.Statistics()
    out.struct_size = _capi.ctypes.sizeof(_capi.Statistics)
    pointers = [None if column is None else column.ctypes.data for column in keep]
    _check(_capi.statistics_of(*pointers, None, 8, len(keep[0]), byref(out)), None)
    out.lost += lost
    return statistics_from_c(out)


class Measured(np.ndarray):
    """The structured array measure() returns (see MEASURED_DTYPE), with
    stats(); a slice of it is one too."""

    def stats(self):
        """The Statistics of these rows: rows not acknowledged count as lost."""
        return statistics_of(self.view(np.ndarray))
