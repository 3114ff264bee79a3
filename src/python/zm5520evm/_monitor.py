# SPDX-License-Identifier: GPL-3.0-or-later
"""monitor()'s iterator over a run of the library polled in slices."""

import ctypes
import threading
import warnings
from ctypes import byref, c_size_t, c_void_p

import numpy as np

from . import _capi
from ._convert import (_C_MEASUREMENT, _ERRORS, SLICE, _check, _fill_rows, _measurement,
                       _warn_unacknowledged)
from ._errors import Error
from ._results import MEASURED_DTYPE, RunSummary


_SLICE_MS = int(SLICE * 1000)
# How long close() waits for the loop of another thread to let go of the
# run once it was woken: the rest of a pass and a board's time-out.
_CLOSE_WAIT = 5.0


class Monitor:
    """The passes of a continuous reading, one Measurement per iteration.

    The run reads on a thread of the library's own and queues its passes
    (up to 1024) for the loop. The bench is taken until the run ends, the
    loop is left, close() is called or the bench is closed; `summary` is
    the RunSummary once the run is over. A pass the device did not
    acknowledge has NaN numbers; a run that ends by its length with such
    passes warns (RuntimeWarning) with their count. Iterate from one thread
    at a time."""

    def __init__(self, bench, passes, seconds, mode=_capi.MODE_PASSES, queue=0):
        self._bench = bench
        self._passes = passes
        self._seconds = seconds
        self._mode = mode
        self._queue = queue
        self._run = None
        self._finished = False
        self._closing = False
        self._summary = None
        self._unacknowledged = 0
        # Held by the thread in __next__; a second one is refused.
        self._iterating = threading.Lock()
        # Held while the run's pointer is used from a thread that does not
        # iterate (close()), so it is not freed under that thread.
        self._run_guard = threading.Lock()

    def __iter__(self):
        return self

    def __enter__(self):
        return self

    def __exit__(self, *args):
        self.close()

    @property
    def summary(self):
        """The RunSummary once the run has ended; None before."""
        return self._summary

    def __next__(self):
        self._take_turn("monitor")
        try:
            if self._finished:
                raise StopIteration
            if self._run is None:
                self._start()
            m = _capi.Measurement()
            try:
                status = _capi.TIMEOUT
                while status == _capi.TIMEOUT:
                    status = _capi.run_next(self._run, byref(m), _SLICE_MS)
            except BaseException:
                # Ctrl-C: the run ends here and the bench is free again.
                self._finish()
                raise
            if status == _capi.OK:
                if not m.acknowledged:
                    self._unacknowledged += 1
                return _measurement(m)
            self._end(status)
            raise StopIteration
        finally:
            self._iterating.release()

    def _start(self):
        bench = self._bench
        handle = bench._take(self)
        run = c_void_p()
        try:
            _check(_capi.run_start_mode(handle, self._mode, self._passes, self._seconds,
                                        self._queue, byref(run)), handle)
        except BaseException:
            bench._monitor = None
            raise
        self._run = run

    def _take_turn(self, name):
        """One thread iterates at a time; a close() from another ends it."""
        if not self._iterating.acquire(False):
            if self._closing:
                raise StopIteration  # close() of another thread has it
            raise Error(f"this {name}() is being iterated by another thread; iterate it from "
                        "one thread at a time")

    def _end(self, status, stacklevel=3):
        """The run is over: its failure is raised, its unanswered passes told."""
        failure = None
        if status < 0 and status != _capi.ERR_CANCELLED:
            text = _capi.read_text(_capi.run_last_error, self._run)
            failure = _ERRORS.get(status, Error)(text)
        self._finish()
        if failure is not None:
            raise failure
        if status == _capi.DONE:
            _warn_unacknowledged(self._unacknowledged, self._summary.passes, stacklevel)

    def _finish(self):
        """Ends the run and frees it; the bench is free again. Once."""
        if self._finished:
            return
        self._finished = True
        with self._run_guard:
            run, self._run = self._run, None
        if run is not None:
            _capi.run_close(run)
            self._summary = _summary_of(run)
            _capi.run_free(run)
            self._bench._release(self)

    def close(self):
        """Ends the run at the pass in progress; the bench is free. From any
        thread: a loop in another thread then ends (StopIteration)."""
        self._closing = True
        with self._run_guard:
            if self._run is not None:
                # Wakes a __next__ of another thread, which then lets go.
                _capi.run_close(self._run)
        if not self._iterating.acquire(timeout=_CLOSE_WAIT):
            raise Error("the monitor() loop of another thread did not end")
        try:
            self._finish()
        finally:
            self._iterating.release()

    def __del__(self):
        try:
            self._finish()
        except Exception:  # noqa: BLE001 - nothing to tell at collection
            pass


def _summary_of(run):
    """The run's RunSummary as it stands; None when the library gave none."""
    summary = _capi.RunSummary()
    details = _capi.RunDetails(struct_size=ctypes.sizeof(_capi.RunDetails))
    if (_capi.run_summary_get(run, byref(summary)) != _capi.OK
            or _capi.run_details_get(run, byref(details)) != _capi.OK):
        return None
    return RunSummary._make(summary.passes, summary.unacknowledged, bool(summary.stopped),
                            summary.lost, details.rate)


class Stream(Monitor):
    """A run as numpy blocks (MEASURED_DTYPE rows), for runs too long to
    hold: each block is what the run queued by the time it is asked for, at
    least one row and at most `block`. The queue between the run and the
    loop is bounded; what finds it full is lost, counted in `lost` as the
    run goes and in the summary, and a RuntimeWarning gives the count when
    the run ends. Leaving the loop, close() or the end of the iterator ends
    the run."""

    def __init__(self, bench, passes, seconds, mode, block):
        super().__init__(bench, passes, seconds, mode, queue=max(16 * block, 4096))
        self._block = block
        self._array = (_capi.Measurement * block)()
        self._lost = 0
        self._t0 = None  # the first row's time, from which time_s counts

    @property
    def lost(self):
        """Samples lost so far: read, but the queue had no room for them."""
        if self._summary is not None:
            return self._summary.lost
        with self._run_guard:
            if self._run is not None:
                details = _capi.RunDetails(struct_size=ctypes.sizeof(_capi.RunDetails))
                if _capi.run_details_get(self._run, byref(details)) == _capi.OK:
                    self._lost = details.lost
        return self._lost

    def __next__(self):
        self._take_turn("stream")
        try:
            if self._finished:
                raise StopIteration
            if self._run is None:
                self._start()
            count = c_size_t(0)
            try:
                status = _capi.TIMEOUT
                while status == _capi.TIMEOUT:
                    status = _capi.run_take(self._run, self._array, self._block, byref(count),
                                            _SLICE_MS)
            except BaseException:
                self._finish()
                raise
            if status == _capi.OK:
                return self._rows(count.value)
            self._end(status, stacklevel=3)
            if self._summary is not None and self._summary.lost:
                warnings.warn(f"{self._summary.lost} of {self._summary.passes} samples were lost: "
                              "the loop did not keep up with the run", RuntimeWarning,
                              stacklevel=2)
            raise StopIteration
        finally:
            self._iterating.release()

    def _rows(self, n):
        view = np.frombuffer(self._array, dtype=_C_MEASUREMENT, count=n)
        rows = np.empty(n, dtype=MEASURED_DTYPE)
        if self._t0 is None:
            self._t0 = float(view["time_epoch_s"][0])
        self._unacknowledged += _fill_rows(rows, view, self._t0)
        return rows
