# SPDX-License-Identifier: GPL-3.0-or-later
"""Bench, Monitor and open(): the C library's session in Python.

How a call runs. A short call on a simulated bench with the fake clock
never waits, so it goes straight to the library (ctypes lets the GIL go for
the time of the call). A call that may wait (any call on a real-time bench,
and every run: measure, monitor_batch, log, send, run_script) runs on a
thread of its own while the calling thread waits for it in slices of
SLICE seconds, so that Ctrl-C reaches it: the KeyboardInterrupt asks the
library to stop, waits for the call to return and is raised then, leaving
the bench usable. A monitor() polls its run in slices of the same length.
"""

import collections
import contextlib
import ctypes
import json
import logging
import os
import pathlib
import threading
import warnings
import weakref
from ctypes import byref, c_double, c_size_t, c_uint16, c_void_p

import numpy as np

from . import _capi
from ._convert import (_C_MEASUREMENT, SLICE, _calibration_result, _check, _device, _error,
                       _fill_rows, _length, _measurement, _register_values, _reply, _warn_uncalibrated,
                       _warn_unacknowledged)
from ._errors import Error, ParseError
from ._monitor import Monitor, Stream
from ._stats import Measured, statistics_from_c
from ._results import (MEASURED_DTYPE, Capture, CalibrationResult, CalibrationRestore,
                       Converter, DacChannel, LogSummary, MuxInput, Reference, RegisterSnapshot,
                       ScriptResult, ScriptRowResult, WriteResult)

# A pass reads six registers of 100 ms each; a run given in seconds gets
# room for a quarter more passes than that, up to _PIECE passes (11 hours
# of a real board), and goes on in a new array when it fills one (the start
# of each leaves out one pass).
_PASS_SECONDS = 0.6
_PIECE = 1 << 16
# The most passes one measure() holds: 2**21 passes, weeks of a real board;
# longer runs belong in log().
_MAX_PASSES = 1 << 21
# How long close() waits for a call of another thread to end once asked to
# stop: a pass, a row or a wait slice, and a board's 1 s time-out.
_CLOSE_WAIT = 5.0
# The fast modes: room for this many samples a second in a run given in
# seconds (the link allows about 250), growing by pieces past it; between
# pieces the run starts again, which costs about one sample.
_FAST_RATE = 512
_FAST_GAP = 0.004
# What one stream() block holds at most by default: seconds of the fastest mode.
_BLOCK = 1024
# The main window's words for a register value past 16 bits.
_LARGER_THAN_16_BITS = "The value you entered is larger then 16 bits.  Register Length = 16 bit."
# The latest notices a Bench keeps for Bench.notices.
_NOTICES_KEPT = 100
# A library writes nothing on its own: the application configures logging.
_LOG = logging.getLogger("zm5520evm")
_LOG.addHandler(logging.NullHandler())

class _Stopper:
    """What a call that runs on a thread of its own learns of its caller: a
    Ctrl-C there, or an exception of a callback it made."""

    __slots__ = ("cancelled", "error")

    def __init__(self):
        self.cancelled = False
        self.error = None

    def callback(self, function, convert):
        """A callback for the library that calls function(convert(arg)); an
        exception it raises is kept and stops the call."""
        def call(_user, arg):
            if self.error is not None or self.cancelled:
                return 1
            try:
                function(convert(arg.contents))
            except BaseException as e:  # noqa: B902 - raised by the call instead
                self.error = e
                return 1
            return 0
        return call

    def raise_kept(self):
        if self.error is not None:
            error, self.error = self.error, None
            raise error


class Bench:
    """One session with the ZM5520/1 EVM: the register link, the interface
    board and the test board behind it.

    Get one from zm5520evm.open(). Every call blocks until it is done and
    raises a zm5520evm.Error subclass when it fails; a result is never a
    failure in disguise. While a call waits on the board the GIL is
    released, so other Python threads run, and Ctrl-C (KeyboardInterrupt)
    ends the call within 0.2 s, leaving the bench usable.

    A Bench is a context manager; close() (or the end of the `with` block)
    releases the boards, and every later call raises zm5520evm.Error.

        with zm5520evm.open(simulate=True) as bench:
            print(bench.read_registers().registers[2].scaled, "V")
            amps = bench.measure(passes=10)["amps"]

    Use a Bench from one thread at a time; request_stop() and close() may
    come from any."""

    def __init__(self, handle, real_time, options, notice_box, notice_fn, notices):
        self._handle = handle
        self._notices = notices
        self._open = True
        self._real_time = real_time
        self._options = options
        self._notice_box = notice_box
        self._notice_fn = notice_fn
        # Held for the length of each call: one at a time.
        self._lock = threading.Lock()
        # The thread a call of this bench runs in, to tell a callback's
        # close() from another thread's.
        self._caller = None
        self._monitor = None  # weakref to the live Monitor
        # Held where a thread that holds no call uses the handle (a stop),
        # so close() does not free it under that thread.
        self._handle_guard = threading.Lock()

    @staticmethod
    def version():
        """The program's version, as zm5520evm.__version__."""
        return _capi.version().decode()

    @property
    def options(self):
        """The options the bench was opened with, as a dict of open()'s arguments."""
        return dict(self._options)

    @property
    def closed(self):
        return not self._open

    @property
    def notices(self):
        """The latest notices of the session (at most 100), oldest first: a
        state file that could not be read, a stored choice that was ignored,
        a calibration written to a blank device."""
        return list(self._notices)

    def __repr__(self):
        o = self._options
        if o["simulate"]:
            boards = (f"simulated EVM, {o['sim_boards']} board"
                      f"{'' if o['sim_boards'] == 1 else 's'} of each kind")
        else:
            boards = "USB boards"
        named = ", ".join(f"{key}={o[key]!r}" for key in ("reg_link", "interface_board")
                          if o[key])
        if named:
            boards += ", " + named
        elif not o["simulate"]:
            boards += " (the stored choice, else the first found)"
        folder = o["state_folder"]
        return (f"<zm5520evm.Bench {boards}, device at {o['device_address']:02X}h, state folder "
                f"{str(folder) if folder is not None else None!r}, "
                f"{'open' if self._open else 'closed'}>")

    def __enter__(self):
        return self

    def __exit__(self, *args):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:  # noqa: BLE001 - nothing to tell at collection
            pass

    # ---- How calls take the bench ------------------------------------------

    def _refusal(self):
        if not self._open:
            return Error("the bench is closed")
        if self._monitor is not None:
            return Error("a monitor() is running on this bench: end its loop or close() it first")
        return Error("the bench is busy with a call of another thread")

    @contextlib.contextmanager
    def _held(self):
        """The handle, for one call at a time; another thread's call, or one
        while a monitor() runs or after close(), is refused at once."""
        lock = self._lock
        if not lock.acquire(False):
            raise self._refusal()
        try:
            if not self._open or self._monitor is not None:
                raise self._refusal()
            yield self._handle
        finally:
            lock.release()

    def _call(self, function, *args):
        """function(handle, *args), a call of the library that returns its
        status; raises its failure."""
        with self._held() as handle:
            if self._real_time:
                return self._in_thread(handle,
                                       lambda stopper: _check(function(handle, *args), handle))
            status = function(handle, *args)
            if status < 0:
                raise _error(status, handle)
            return status

    def _long(self, work, *args):
        """work(handle, stopper, *args) on a thread of its own (see the module's text)."""
        with self._held() as handle:
            return self._in_thread(handle, lambda stopper: work(handle, stopper, *args))

    def _in_thread(self, handle, work):
        stopper = _Stopper()
        outcome = []
        # Not Thread.join(): this Python's join, cut short by a signal, may
        # take a running thread for ended.
        ended = threading.Event()

        def run():
            self._caller = threading.get_ident()
            try:
                outcome.append((True, work(stopper)))
            except BaseException as e:  # noqa: B902 - raised in the caller's thread
                outcome.append((False, e))
            finally:
                self._caller = None
                ended.set()

        threading.Thread(target=run, name="zm5520evm call", daemon=True).start()
        try:
            while not ended.wait(SLICE):
                pass
        except BaseException:
            stopper.cancelled = True
            _capi.stop(handle)
            ended.wait()
            # A stop that came between two calls of the work would be kept
            # for the next call of the bench.
            _capi.clear_stop(handle)
            raise
        done, value = outcome[0]
        if not done:
            raise value
        return value

    def _take(self, monitor):
        """For a monitor(): the bench stays taken until _release()."""
        if not self._lock.acquire(False):
            raise self._refusal()
        try:
            if not self._open or self._monitor is not None:
                raise self._refusal()
            self._monitor = weakref.ref(monitor)
            return self._handle
        finally:
            self._lock.release()

    def _release(self, monitor):
        if self._monitor is not None and self._monitor() in (monitor, None):
            self._monitor = None

    # ---- Lifetime ----------------------------------------------------------

    def close(self):
        """Releases the boards. Ends a monitor() in progress and a call of
        another thread (which raises CancelledError, or returns its summary
        as stopped); later calls raise Error. From a callback of a call in
        progress it raises Error and closes nothing."""
        if not self._open:
            return
        if self._caller == threading.get_ident():
            raise Error("close() from inside a callback of the call in progress: close the "
                        "bench when that call has returned")
        monitor = self._monitor() if self._monitor is not None else None
        if monitor is not None:
            monitor.close()
        self._open = False
        if not self._lock.acquire(False):
            self._stop()
            if not self._lock.acquire(timeout=_CLOSE_WAIT):
                self._open = True
                raise Error("the bench is busy with another call, which was asked to stop and "
                            "has not ended; close it when that call has ended")
        try:
            with self._handle_guard:
                handle, self._handle = self._handle, None
                _capi.close(handle)
        finally:
            self._lock.release()
        # The notice callback is not called any more: its Python callable goes.
        self._notice_box.clear()
        self._notice_fn = None

    # ---- Registers and calibration -----------------------------------------

    def devices(self):
        """Every HID device present (list[DeviceInfo]), the boards told apart.
        Opens nothing for good."""
        capacity = 16
        while True:
            found = (_capi.DeviceInfo * capacity)()
            count = c_size_t(0)
            try:
                self._call(_capi.devices, found, capacity, byref(count))
            except Error:
                if count.value > capacity:
                    capacity = count.value
                    continue
                raise
            return [_device(d) for d in found[:count.value]]

    def read_registers(self, *, engineering=False):
        """Reads registers 00h-05h (00h-07h with engineering) as a
        RegisterSnapshot, scaled by the stored calibration or the one given to
        use_scaling()."""
        snapshot = _capi.RegisterSnapshot()
        self._call(_capi.read_registers, 1 if engineering else 0, snapshot)
        return RegisterSnapshot._make(snapshot.device_address, snapshot.current_lsb_amps,
                                      snapshot.power_lsb_watts,
                                      lambda: _register_values(snapshot))

    def write_register(self, reg, value):
        """Writes `value` to register `reg` and reads it back: a WriteResult, or
        ReadBackError when it reads back otherwise."""
        if value > 0xFFFF:
            raise ParseError(f"value {value}: {_LARGER_THAN_16_BITS}")
        if value < 0:
            raise ParseError(f"value {value} is not a 16-bit register value (0-65535)")
        result = _capi.WriteResult()
        self._call(_capi.write_register, reg, value, result)
        return WriteResult._make(result.reg, result.wrote, result.read)

    def read_config(self):
        """Register 00h, which sets the ranges the calibration works on."""
        config = c_uint16()
        self._call(_capi.read_config, byref(config))
        return config.value

    @staticmethod
    def calculate(*, rshunt_ohms, max_expected_amps, current_lsb_amps, config, rshunt_text="",
                  max_expected_current_text="", current_lsb_text=""):
        """The initial calibration (CalibrationResult) on the ranges register
        00h `config` sets (read_config() gives the device's). Pure: no board,
        no file. A refused input is in the result's refusal, not raised. The
        texts, when given, are what apply_calibration() keeps for later
        sessions."""
        if not 0 <= config <= 0xFFFF:
            raise ParseError(f"config {config} is not a 16-bit register value (0-65535)")
        request = _capi.CalibrationRequest(rshunt_ohms, max_expected_amps, current_lsb_amps)
        for field, value in (("rshunt_text", rshunt_text),
                             ("max_expected_current_text", max_expected_current_text),
                             ("current_lsb_text", current_lsb_text)):
            _set_text(request, field, value)
        result = _capi.CalibrationResult()
        _check(_capi.calculate(request, config, result))
        return _calibration_result(result)

    def calibrate_if_blank(self):
        """A device after power-up has 0 in register 05h and measures no
        current: writes the calibration of the stored inputs (or the defaults)
        then, as the main window does when it first opens. A
        CalibrationRestore. A simulated bench does it when it opens."""
        done = _capi.CalibrationRestore()
        self._call(_capi.calibrate_if_blank, done)
        return CalibrationRestore._make(bool(done.was_blank), done.wrote,
                                        bool(done.from_stored_inputs), _capi.text(done.message))

    def apply_calibration(self, calibration):
        """Writes register 05h (and 00h when the calibration's config differs
        from the device's), checks both, and keeps the inputs in the state
        folder so later sessions scale by them. ParseError for a refused
        calibration."""
        if not isinstance(calibration, CalibrationResult):
            raise TypeError("apply_calibration() takes the CalibrationResult of calculate()")
        self._call(_capi.apply_calibration, calibration._values[-1])

    def use_scaling(self, *, current_lsb_amps, power_lsb_watts):
        """Scale by these from now on instead of the stored calibration."""
        self._call(_capi.use_scaling, current_lsb_amps, power_lsb_watts)

    # ---- Measuring ---------------------------------------------------------

    def measure_once(self):
        """One pass as a Measurement; NotAcknowledgedError when the device gave
        no full pass."""
        m = _capi.Measurement()
        self._call(_capi.measure_once, m)
        return _measurement(m)

    def monitor(self, *, passes=0, seconds=0.0):
        """The continuous reading as an iterator of Measurement, for `passes`
        passes or `seconds` seconds (both 0: until the loop is left or the
        iterator closed). A pass the device did not fully give comes with
        acknowledged False and NaN numbers; a register link that stops
        answering raises BoardSilentError, a board that is gone NoBoardError.

            for m in bench.monitor(seconds=10):
                print(m.time, m.amps)"""
        passes, seconds = _length(passes, seconds)
        return Monitor(self, passes, seconds)

    def _passes(self, handle, stopper, passes, seconds, keep, mode=_capi.MODE_PASSES):
        """Runs zm_measure_mode (passes: at once; seconds: again while the
        array fills); keep(array, count) takes each array's passes. Returns
        (passes, unacknowledged, first pass or None, lost)."""
        fast = mode != _capi.MODE_PASSES
        gap = _FAST_GAP if fast else _PASS_SECONDS
        if passes:
            capacity = passes
        elif fast:
            capacity = min(int(seconds * _FAST_RATE * 1.25) + 16, _PIECE)
        else:
            capacity = min(int(seconds / _PASS_SECONDS * 1.25) + 16, _PIECE)
        array = (_capi.Measurement * capacity)()
        count = c_size_t(0)
        summary = _capi.RunSummary()
        details = _capi.RunDetails(struct_size=ctypes.sizeof(_capi.RunDetails))
        total = unacknowledged = lost = 0
        first = None
        left_seconds = seconds
        while True:
            status = _capi.measure_mode(handle, mode, passes, left_seconds, array, capacity,
                                        byref(count), byref(summary), byref(details))
            n = count.value
            lost += details.lost
            if n:
                if first is None:
                    first = _capi.Measurement.from_buffer_copy(array[0])
                keep(array, n)
                total += n
                unacknowledged += summary.unacknowledged
            stopper.raise_kept()
            if status < 0:
                raise _error(status, handle)
            # Only a run in seconds that filled its array goes on.
            if passes or not summary.full or n == 0:
                break
            left_seconds = seconds - (array[n - 1].time_epoch_s - first.time_epoch_s + gap)
            if left_seconds <= 0:
                break
        return total, unacknowledged, first, lost

    def measure(self, *, passes=0, seconds=0.0, fast=False, registers=4):
        """A continuous reading of `passes` passes or `seconds` seconds as a
        numpy structured array, one row per pass, with the fields time_s
        (seconds from the first row, as the fast log counts them),
        time_epoch_s (as Measurement.time_epoch_s), bus_volts, shunt_volts,
        amps, watts (float64, rounded to their resolution) and acknowledged
        (bool).

        fast=True reads each conversion the device completes with no settle
        time (about 125 rows a second on a real board, set by the USB link
        and the conversion time of register 00h) instead of the main
        window's six-register pass (1.6 a second); registers=2 reads only
        current and bus voltage, power computed, shunt_volts NaN, at twice
        the rate. Samples read but lost (the library's queue had no room)
        give a RuntimeWarning with their count.

        The numbers of a pass the
        device did not acknowledge are NaN, and a RuntimeWarning gives how
        many there were; a register link that stops answering raises
        BoardSilentError, a board that is gone NoBoardError. A run ended by
        request_stop() or close() raises CancelledError. At most 2**21
        passes (weeks of a real board; log() takes longer runs). A device
        without a calibration (register 05h is 0) reads 0 A and 0 W, which a
        RuntimeWarning says:

            data = bench.measure(passes=100)
            print(data['amps'].mean(), data['watts'].max())

        The array's stats() gives the Statistics of its rows (or of a slice
        of them), by the library's one implementation."""
        if passes == 0 and seconds == 0:
            raise ParseError("give passes or seconds: measure() returns when the run is over")
        mode = _mode(fast, registers)
        passes, seconds = _held(passes, seconds, mode)
        # A count asked for is the array's size at once; a run in seconds
        # grows by pieces.
        pieces = [np.empty(passes, dtype=MEASURED_DTYPE)] if passes else []
        filled = [0]
        start = []  # the first row's time, from which time_s counts

        def keep(array, n):
            view = np.frombuffer(array, dtype=_C_MEASUREMENT, count=n)
            if passes:
                rows = pieces[0][filled[0]:filled[0] + n]
            else:
                rows = np.empty(n, dtype=MEASURED_DTYPE)
                pieces.append(rows)
            filled[0] += n
            if not start:
                start.append(view["time_epoch_s"][0])
            _fill_rows(rows, view, start[0])

        total, unacknowledged, first, lost = self._long(self._passes, passes, seconds, keep,
                                                        mode)
        if passes:
            data = pieces[0] if total == passes else pieces[0][:total].copy()
        else:
            data = np.concatenate(pieces) if pieces else np.empty(0, dtype=MEASURED_DTYPE)
        if unacknowledged:
            _warn_unacknowledged(int((~data["acknowledged"]).sum()), total, 2)
        _warn_lost(lost, total + lost, 2)
        if first is not None:
            _warn_uncalibrated(first, 2)
        return data.view(Measured)

    def stream(self, *, seconds=0.0, fast=True, registers=4, block=_BLOCK):
        """A run of `seconds` seconds (0: until the loop is left or the
        iterator closed) as an iterator of numpy blocks of MEASURED_DTYPE
        rows, for runs too long to hold: each block is what the run had
        read by the time it is asked for, one row at least and `block` at
        most. fast and registers as for measure(); fast=False streams the
        main window's passes.

        The run reads on a thread of the library's own into a bounded
        queue; a loop that does not keep up loses samples, which the
        iterator's `lost` counts as it goes, its `summary` (a RunSummary)
        gives once the run is over, and a RuntimeWarning tells at the end.
        Leaving the loop, close() or closing the bench ends the run.

            with bench.stream(seconds=60) as blocks:
                for rows in blocks:
                    print(len(rows), rows["amps"].mean())"""
        mode = _mode(fast, registers)
        _, seconds = _length(0, seconds)
        if isinstance(block, bool) or not isinstance(block, int) or not 1 <= block <= _PIECE:
            raise ParseError(f"block must be a whole number from 1 to {_PIECE}, not {block!r}")
        return Stream(self, 0, seconds, mode, block)

    def monitor_batch(self, *, passes=0, seconds=0.0):
        """The passes of a continuous reading as a list of Measurement, once
        the run is over; as measure() for NaN, warnings and failures."""
        passes, seconds = _held(passes, seconds)
        if passes == 0 and seconds == 0:
            raise ParseError("give passes or seconds: monitor_batch() returns when the run is "
                             "over")
        read = []
        total, unacknowledged, _, _ = self._long(
            self._passes, passes, seconds,
            lambda array, n: read.extend(_measurement(m) for m in array[:n]))
        _warn_unacknowledged(unacknowledged, total, 2)
        return read

    def log(self, file, *, passes=0, seconds=0.0, on_pass=None, summary=None, fast=False,
            registers=4):
        """Reads continuously into the log file of the main window, for
        `passes` passes or `seconds` seconds; only fully acknowledged passes
        are written. on_pass(Measurement) is called for every pass; an
        exception it raises ends the run and is raised. Returns a LogSummary
        (stopped when request_stop() or close() ended it); passes the device
        did not acknowledge give a RuntimeWarning with their count, a register
        link that stops answering raises BoardSilentError. A file marked
        read-only, a folder or a device is refused (FileError) before any
        board is touched.

        fast and registers as for measure(): the fast log's CSV, one line per
        sample. summary=S (seconds above 0) writes one row per interval of S
        seconds instead, for runs of days: its samples and those lost, min,
        mean and max of each quantity, its charge and energy (the layout is
        in the README); LogSummary.logged then counts the measurements
        summed up.

            bench.log("week.csv", seconds=7 * 86400, fast=True, summary=1.0)"""
        if passes == 0 and seconds == 0:
            raise ParseError("give passes or seconds")
        passes, seconds = _length(passes, seconds)
        mode = _mode(fast, registers)
        if summary is None:
            interval = 0.0
        else:
            try:
                interval = float(summary)
            except (TypeError, ValueError):
                raise ParseError(f"summary must be seconds above 0, not {summary!r}") from None
            if not interval > 0 or interval == float("inf"):
                raise ParseError(f"summary must be seconds above 0, not {summary!r}")
        name = _capi.path_bytes(file)

        def work(handle, stopper):
            summary = _capi.LogSummary()
            callback = (_capi.PASS_FN() if on_pass is None else  # NULL: none
                        _capi.PASS_FN(stopper.callback(on_pass, _measurement)))
            status = _capi.log_mode_each(handle, name, mode, passes, seconds, interval, callback,
                                         None, byref(summary))
            stopper.raise_kept()
            # Stopped, it says so in its summary; a stop it never saw is a failure.
            if status < 0 and not (status == _capi.ERR_CANCELLED and summary.stopped):
                raise _error(status, handle)
            return summary

        s = self._long(work)
        _warn_unacknowledged(s.unacknowledged, s.passes, 2)
        return LogSummary._make(_capi.text(s.file), s.passes, s.logged, s.unacknowledged,
                                bool(s.stopped))

    def last_stats(self):
        """The Statistics of the acknowledged measurements of the last
        measure(), monitor(), monitor_batch(), stream() or log() (also of
        one stopped or failed part way); all 0 before the first."""
        out = _capi.Statistics()
        out.struct_size = ctypes.sizeof(_capi.Statistics)
        self._call(_capi.last_statistics, byref(out))
        return statistics_from_c(out)
    def capture(self, trigger, *, pre=0.0, post=0.0, count=1, timeout=0.0, folder=None,
                registers=4, on_capture=None):
        """Fast samples watched for a level crossing; returns a list of
        Capture, one per trigger, each with its samples as a numpy array of
        MEASURED_DTYPE rows and its trigger_time.

        trigger: 'amps>0.5' fires when the current rises past 0.5 A,
            'bus_volts<11' when the bus voltage falls below 11 V, 'watts~2'
            on either crossing of 2 W; shunt_volts too (not with
            registers=2). A value already past the level at the start
            needs to come back and cross it. A text it cannot read raises
            ParseError naming it.
        pre, post: seconds kept before the trigger and taken after it (0 to
            3600). The trigger is armed once `pre` seconds were read, and
            again right after each capture.
        count: captures to take (0: until timeout, request_stop() or close()).
        timeout: seconds after which the run ends, captured or not (0:
            none); fewer than `count` captures then give a RuntimeWarning
            and the list holds those there are.
        folder: each capture is also saved there (made when missing) as a
            file of its own in the fast log's layout (Capture.file).
        on_capture(Capture) is called as each completes; an exception it
        raises ends the run and is raised.

        A device without a calibration (register 05h is 0) gets the stored one
        first, as every measurement does unless open(calibrate_if_blank=False).

            for c in bench.capture("amps>1.5", pre=0.05, post=0.2, timeout=10):
                print(c.trigger_time, c.samples["amps"].max())"""
        if isinstance(count, bool) or not isinstance(count, int) or count < 0:
            raise ParseError(f"count must be a whole number 0 or above, not {count!r}")
        mode = _mode(True, registers)
        request = _capi.CaptureRequest()
        request.struct_size = ctypes.sizeof(_capi.CaptureRequest)
        request.mode = mode
        request.trigger = str(trigger).encode("utf-8")
        request.pre_seconds = float(pre)
        request.post_seconds = float(post)
        request.count = count
        request.timeout_seconds = float(timeout)
        request.folder = None if folder is None else _capi.path_bytes(folder)
        captures = []

        def convert(info, samples):
            n = info.samples
            rows = np.empty(n, dtype=MEASURED_DTYPE)
            # time_s counts from the capture's first sample, as in its file.
            start = info.trigger_time_epoch_s
            if n:
                array = (_capi.Measurement * n).from_address(ctypes.addressof(samples.contents))
                view = np.frombuffer(array, dtype=_C_MEASUREMENT, count=n)
                start = float(view["time_epoch_s"][0])
                _fill_rows(rows, view, start)
            file = _capi.text(info.file)
            return Capture._make(info.number, round(info.trigger_time_epoch_s - start, 6),
                                 info.trigger_index, rows, file or None, bool(info.truncated))

        def work(handle, stopper):
            def told(_user, info, samples):
                if stopper.error is not None or stopper.cancelled:
                    return 1
                try:
                    c = convert(info.contents, samples)
                    captures.append(c)
                    if on_capture is not None:
                        on_capture(c)
                except BaseException as e:  # noqa: B902 - raised by the call instead
                    stopper.error = e
                    return 1
                return 0

            summary = _capi.CaptureSummary()
            status = _capi.capture(handle, byref(request), _capi.CAPTURE_FN(told), None,
                                   byref(summary))
            stopper.raise_kept()
            if status < 0:
                raise _error(status, handle)
            return summary

        summary = self._long(work)
        if summary.timed_out:
            warnings.warn(f"the time-out came after {summary.captures} of {count} captures",
                          RuntimeWarning, stacklevel=2)
        _warn_unacknowledged(summary.unacknowledged, summary.samples, 2)
        _warn_lost(summary.lost, summary.samples + summary.lost, 2)
        return captures

    # ---- Register files ----------------------------------------------------

    def _register_file(self, function, file):
        name = _capi.path_bytes(file)
        capacity = 64
        while True:
            values = (c_uint16 * capacity)()
            count = c_size_t(0)
            try:
                self._call(function, name, values, capacity, byref(count))
            except Error:
                if count.value > capacity:
                    capacity = count.value
                    continue
                raise
            return list(values[:count.value])

    def save_registers(self, file):
        """Saves the registers into a register file (one decimal value per
        line); returns the values saved."""
        return self._register_file(_capi.save_registers, file)

    def load_registers(self, file):
        """Writes the registers a register file changes; returns the file's
        values. Nothing is written when the file is not one (ParseError)."""
        return self._register_file(_capi.load_registers, file)

    # ---- Interface board ---------------------------------------------------

    def send(self, texts, *, on_reply=None):
        """Sends each mnemonic text (a str or a list of them) to the interface
        board and returns a MnemonicReply for each. ParseError before anything
        is sent when one does not parse; BoardSilentError at the first one
        unanswered. on_reply(MnemonicReply) is called as each answer comes,
        the unanswered one too."""
        # One text is one command, not a command per character.
        commands = [texts] if isinstance(texts, str) else list(texts)
        for command in commands:
            if not isinstance(command, str):
                raise TypeError(f"send() takes str commands, not {type(command).__name__}")
            if "\n" in command or "\r" in command:
                raise ParseError(f"{command!r}: a command is one line")
        encoded = [c.encode("utf-8") for c in commands]

        def work(handle, stopper):
            replies = []
            if on_reply is None:
                batch = (_capi.MnemonicReply * max(len(encoded), 1))()
                count = c_size_t(0)
                status = _capi.send(handle, b"\n".join(encoded), batch, len(batch), byref(count))
                replies = [_reply(r, commands) for r in batch[:count.value]]
                _check(status, handle)
                return replies
            # Every command is checked before the first is sent.
            report = (ctypes.c_uint8 * _capi.REPORT_SIZE)()
            for command in encoded:
                _check(_capi.encode(command, report))
            one = _capi.MnemonicReply()
            for index, command in enumerate(encoded):
                if stopper.cancelled:
                    break
                count = c_size_t(0)
                status = _capi.send(handle, command, byref(one), 1, byref(count))
                if count.value:
                    reply = _reply(one, [commands[index]])
                    replies.append(reply)
                    on_reply(reply)
                _check(status, handle)
            return replies

        return self._long(work)

    @staticmethod
    def encode(text):
        """The 32-byte command report a mnemonic text makes as a session's
        first command; no board. ParseError when it does not parse."""
        report = (ctypes.c_uint8 * _capi.REPORT_SIZE)()
        _check(_capi.encode(text.encode("utf-8"), report))
        return bytes(report)

    def run_script(self, file, *, max_seconds=0.0, on_row=None, dut_id=None, station_id=None,
                   operator=None, junit=None, record=None):
        """Runs a script file (four quoted fields per line) as the script
        window does and returns a ScriptResult. max_seconds (0: none) ends the
        run with the step in progress. on_row(ScriptRowResult) is called
        after each row; an exception it raises ends the run and is raised. A
        break step is skipped.

        The result's `record` is the run's record as a dict, for the DUT,
        station and operator ids given. junit and record name files to write
        it to as JUnit XML and as JSON; they are written also when the run
        fails or cannot start, before its error is raised."""
        name = _capi.path_bytes(file)
        ids = tuple(None if v is None else str(v).encode("utf-8")
                    for v in (dut_id, station_id, operator))
        files = tuple(None if f is None else _capi.path_bytes(f) for f in (record, junit))

        def work(handle, stopper):
            result = _capi.ScriptResult()
            # The bench is the call's while it runs: a row told then keeps a
            # text too long for the struct cut; the result's rows are whole.
            callback = (_capi.ROW_FN() if on_row is None else _capi.ROW_FN(
                stopper.callback(on_row, lambda r: self._script_row(None, r))))
            status = _capi.run_script_each(handle, name, max_seconds, callback, None,
                                           byref(result))
            # The files of a run that failed say so; theirs is the first error.
            if files != (None, None):
                _check(_capi.save_script_record(handle, *ids, *files), handle)
            stopper.raise_kept()
            if status < 0 and not (status == _capi.ERR_CANCELLED and result.stopped):
                raise _error(status, handle)
            rows = self._script_rows(handle)
            run_record = json.loads(_capi.read_text(_capi.script_record, handle, *ids))
            return ScriptResult._make(rows, result.pass_, result.fail, bool(result.stopped),
                                      bool(result.timed_out), bool(result.board_answered),
                                      run_record)

        return self._long(work)

    @staticmethod
    def _script_row(handle, r):
        cells = [_capi.text(getattr(r, column)) for column in _capi.SCRIPT_COLUMNS]
        if r.truncated and handle is not None:
            cells = [_capi.read_text(_capi.script_cell, handle, r.row, column)
                     for column in range(len(_capi.SCRIPT_COLUMNS))]
        return ScriptRowResult._make(r.row, *cells, bool(r.skipped))

    def _script_rows(self, handle):
        capacity = 64
        while True:
            rows = (_capi.ScriptRow * capacity)()
            count = c_size_t(0)
            status = _capi.script_rows(handle, rows, capacity, byref(count))
            if status == _capi.ERR_BUFFER_TOO_SMALL and count.value > capacity:
                capacity = count.value
                continue
            _check(status, handle)
            return [self._script_row(handle, r) for r in rows[:count.value]]

    def save_script_results(self, file):
        """Writes the rows of the last run_script() as a results file."""
        self._call(_capi.save_script_results, _capi.path_bytes(file))

    # ---- Test board --------------------------------------------------------

    def read_converter(self, which, reference=Reference.FACTORY_5V):
        """Reads a converter of the test board: volts, or the signed code with
        Reference.DIGITAL_CODES."""
        value = c_double()
        self._call(_capi.read_converter, Converter(which), Reference(reference), byref(value))
        return value.value

    def read_loop_current(self):
        """The 4-20 mA loop in amperes; on the 5 V reference only."""
        value = c_double()
        self._call(_capi.read_loop_current, byref(value))
        return value.value

    def set_mux(self, which, plus=MuxInput.UNCHANGED, minus=MuxInput.UNCHANGED):
        """Switches the inputs of a converter; MuxInput.UNCHANGED leaves one as
        it is."""
        self._call(_capi.set_mux, Converter(which), MuxInput(plus), MuxInput(minus))

    def set_dac(self, channel, volts, reference=Reference.FACTORY_5V, *, auto_cal=False):
        """Sets a DAC output. With auto_cal the output is read back and
        corrected, and the value read back is returned; otherwise the
        setting."""
        value = c_double()
        self._call(_capi.set_dac, DacChannel(channel), volts, Reference(reference),
                   1 if auto_cal else 0, byref(value))
        return value.value

    def set_supply(self, on):
        """Switches the device's supply (Vdut) on or off."""
        self._call(_capi.set_supply, 1 if on else 0)

    # ---- Stopping ----------------------------------------------------------

    def request_stop(self):
        """Ends the operation in progress (in another thread) at its next pass,
        row or wait; it raises CancelledError (measure, monitor_batch) or
        returns a result marked stopped (log, run_script; a monitor() loop
        ends). With no call in progress the stop is
        kept for the next call, which then raises CancelledError at once,
        unless clear_stop() drops it. May be called from any thread."""
        self._stop()

    def _stop(self):
        with self._handle_guard:
            if self._handle is not None:
                _capi.stop(self._handle)

    def clear_stop(self):
        """Drops a stop that request_stop() kept for the next call."""
        with self._handle_guard:
            if self._handle is not None:
                _capi.clear_stop(self._handle)


def _held(passes, seconds, mode=_capi.MODE_PASSES):
    """The length of a run whose passes are held until it is over, checked."""
    passes, seconds = _length(passes, seconds)
    most = _MAX_PASSES / _FAST_RATE if mode != _capi.MODE_PASSES else _MAX_PASSES * _PASS_SECONDS
    if passes > _MAX_PASSES or (not passes and seconds > most):
        raise ParseError(f"at most {_MAX_PASSES} passes ({most:.0f} s) in one run that returns "
                         "them; stream() and log() take longer runs")
    return passes, seconds


def _mode(fast, registers):
    """The library's mode for measure() and stream()'s arguments, checked."""
    if registers not in (2, 4) or isinstance(registers, bool):
        raise ParseError(f"registers must be 4 (shunt, bus, power, current) or 2 (current and "
                         f"bus), not {registers!r}")
    if not fast:
        if registers != 4:
            raise ParseError("registers=2 is a fast mode: give fast=True as well")
        return _capi.MODE_PASSES
    return _capi.MODE_FAST if registers == 4 else _capi.MODE_FAST_TWO


def _warn_lost(lost, read, stacklevel):
    if lost:
        warnings.warn(f"{lost} of {read} samples were lost: the caller did not keep up with the "
                      "run", RuntimeWarning, stacklevel=stacklevel + 1)


def _set_text(struct, field, value):
    data = value.encode("utf-8")
    size = getattr(type(struct), field).size
    if len(data) >= size:
        raise ParseError(f"{field} is longer than {size - 1} bytes")
    setattr(struct, field, data)


class _Hex(int):
    """An int that help() shows as the README writes it."""

    def __repr__(self):
        return f"0x{int(self):X}"


class _StateFolder:
    """open()'s default state folder: the one the GUI and evmctl use."""

    def __repr__(self):
        return "STATE_FOLDER"


STATE_FOLDER = _StateFolder()


def default_state_folder():
    """The folder where the GUI and evmctl keep the calibration, board choice
    and USB address (their --config-dir aside), as a pathlib.Path; open()
    uses it unless told otherwise. FileError when there is none."""
    buffer = ctypes.create_string_buffer(4096)
    needed = c_size_t(0)
    _check(_capi.default_state_folder(buffer, len(buffer), byref(needed)))
    return pathlib.Path(os.fsdecode(buffer.value))


def open(*, simulate=False, fake_clock=True, sim_faults=(), sim_boards=1, reference_volts=5.0,
         reg_link="", interface_board="", vendor_id=_Hex(0x3A5F), state_folder=STATE_FOLDER,
         device_address=_Hex(0x40), usb_address=None, on_notice=None, sim_load=None,
         sim_frame_ms=1.0, calibrate_if_blank=True):
    """Opens a session with the EVM and returns its Bench.

    simulate: the simulated EVM (both boards and the device, in the process)
        instead of USB boards.
    fake_clock: with simulate, waits pass at once on a virtual clock, so the
        100 ms settle time of each register and the 1 s time-out of a silent
        board cost nothing; False waits in real time, as the boards do.
    sim_faults: with simulate, at most one fault a board shows for the whole
        session, as BOARD:FAULT: BOARD 'reglink' or 'interface', FAULT one of
        no-board, no-reply, wrong-reply-code, non-zero-status, write-failure,
        read-failure, wrong-echo, garbage, unplug, no-permission,
        slow-reply[:MS] (answering MS ms late, 2000 by default); BOARD:FAULT@N
        starts it after N reports (e.g. ["reglink:no-reply"]).
    sim_boards: with simulate, the number of boards of each kind.
    reference_volts: with simulate, the test board's reference jumper (5 or 3).
    sim_load: with simulate, a load that changes over time, as
        `evmctl --sim-load` takes it: "TERM;TERM...", each "KIND:key=value,..."
        with times in seconds since open(), amperes and volts, KIND one of
        constant (amps, volts), step (at, ...), pulse (at, width, ...), ramp
        (at, over, ...: from 0 at `at`), noise (its size); later terms act on
        the earlier ones. None: a constant 1 A at 12 V. A bad text raises
        ParseError naming the bad term.
    sim_frame_ms: with simulate, the USB frame each report takes each way,
        so a register read costs two; 0 answers at once.
    reg_link, interface_board: the board of each kind to take, by serial
        number or path; empty takes the stored choice, else the first one found.
    vendor_id: the USB vendor id of the boards.
    state_folder: where the calibration, board choice and USB address of
        earlier sessions are kept; STATE_FOLDER (the default) is the folder
        the GUI and evmctl use (default_state_folder()), so a calibration one
        of them stored scales this session too; None touches no state file.
    device_address: the ZM5520/1's 7-bit I2C address.
    usb_address: the interface board's product id for this session; None
        takes the stored one.
    on_notice: called with each notice (a state file that cannot be read, a
        stored choice that is ignored, a calibration written to a blank
        device). Every notice is also kept in Bench.notices and logged on the
        'zm5520evm' logger; the package prints nothing.
    calibrate_if_blank: a device loses register 05h with its power, and then
        measures no current. True: before the session's first measurement a
        device whose 05h reads 0 gets the stored (or default) calibration, as
        the main window gives it when it opens, with a notice; False leaves
        it as it is.

    Opening a real bench touches no board: the first call that needs one
    finds it. A simulated device starts, as a real one does, with 0 in
    register 05h."""
    faults = [sim_faults] if isinstance(sim_faults, str) else list(sim_faults)
    if len(faults) > 1:
        raise ParseError(f"one simulated fault at a time, not {len(faults)}")
    if faults and not simulate:
        raise ParseError("sim_faults works on the simulated EVM only; add simulate=True")
    if sim_load is not None and not simulate:
        raise ParseError("sim_load works on the simulated EVM only; add simulate=True")
    if state_folder is STATE_FOLDER:
        folder = default_state_folder()
    else:
        folder = None if state_folder is None else pathlib.Path(state_folder)
    options = _capi.Options()
    _capi.options_init(options)
    options.simulate = 1 if simulate else 0
    options.fake_clock = 1 if fake_clock else 0
    options.sim_boards = sim_boards
    options.reference_volts = reference_volts
    options.vendor_id = vendor_id
    options.device_address = device_address
    options.usb_address = -1 if usb_address is None else usb_address
    options.sim_frame_ms = sim_frame_ms
    options.calibrate_if_blank = 1 if calibrate_if_blank else 0
    for field, value in (("sim_fault", faults[0] if faults else ""), ("reg_link", reg_link),
                         ("interface_board", interface_board),
                         ("state_folder", "" if folder is None else str(folder)),
                         ("sim_load", sim_load or "")):
        _set_text(options, field, value)
    notices = collections.deque(maxlen=_NOTICES_KEPT)
    told = [notices.append, _LOG.warning] + ([on_notice] if on_notice is not None else [])
    # The library holds the callback; the callables leave with close().
    box = list(told)

    def notice(_user, text):
        for tell in box:
            tell((text or b"").decode("utf-8", "replace"))

    notice_fn = _capi.NOTICE_FN(notice)
    options.on_notice = notice_fn
    handle = c_void_p()
    _check(_capi.open(options, byref(handle)))
    given = {"simulate": simulate, "fake_clock": fake_clock, "sim_faults": faults,
             "sim_boards": sim_boards, "reference_volts": reference_volts, "reg_link": reg_link,
             "interface_board": interface_board, "vendor_id": vendor_id, "state_folder": folder,
             "device_address": device_address, "usb_address": usb_address, "sim_load": sim_load,
             "sim_frame_ms": sim_frame_ms}
    given["calibrate_if_blank"] = calibrate_if_blank
    return Bench(handle, not (simulate and fake_clock), given, box, notice_fn, notices)
