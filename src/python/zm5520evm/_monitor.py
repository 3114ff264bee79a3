# SPDX-License-Identifier: GPL-3.0-or-later
"""monitor()'s iterator over a run of the library polled in slices."""

import threading
from ctypes import byref, c_void_p

from . import _capi
from ._convert import _ERRORS, SLICE, _check, _measurement, _warn_unacknowledged
from ._errors import Error
from ._results import RunSummary

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

    def __init__(self, bench, passes, seconds):
        self._bench = bench
        self._passes = passes
        self._seconds = seconds
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
        if not self._iterating.acquire(False):
            if self._closing:
                raise StopIteration  # close() of another thread has it
            raise Error("this monitor() is being iterated by another thread; iterate it from one "
                        "thread at a time")
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
            failure = None
            if status < 0 and status != _capi.ERR_CANCELLED:
                text = _capi.read_text(_capi.run_last_error, self._run)
                failure = _ERRORS.get(status, Error)(text)
            self._finish()
            if failure is not None:
                raise failure
            if status == _capi.DONE:
                _warn_unacknowledged(self._unacknowledged, self._summary.passes, 2)
            raise StopIteration
        finally:
            self._iterating.release()

    def _start(self):
        bench = self._bench
        handle = bench._take(self)
        run = c_void_p()
        try:
            _check(_capi.run_start(handle, self._passes, self._seconds, 0, byref(run)), handle)
        except BaseException:
            bench._monitor = None
            raise
        self._run = run

    def _finish(self):
        """Ends the run and frees it; the bench is free again. Once."""
        if self._finished:
            return
        self._finished = True
        with self._run_guard:
            run, self._run = self._run, None
        if run is not None:
            _capi.run_close(run)
            summary = _capi.RunSummary()
            if _capi.run_summary_get(run, byref(summary)) == _capi.OK:
                self._summary = RunSummary._make(summary.passes, summary.unacknowledged,
                                                 bool(summary.stopped))
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
