# SPDX-License-Identifier: GPL-3.0-or-later
"""A bench used from two threads, runs that fail or are stopped half-way:
each case ends in bounded time (a hang fails the test, it does not hang
the suite) with an outcome that says what happened."""

import threading
import time
import warnings

import numpy as np
import pytest

import zm5520evm

# Longer than any of these cases takes when it works.
HANG = 5.0


def in_thread(call):
    """Starts call() on a thread; the result: (thread, box with the value
    or the exception)."""
    box = {}

    def run():
        try:
            box["value"] = call()
        except BaseException as e:  # noqa: B902 - the test looks at it
            box["error"] = e

    thread = threading.Thread(target=run, daemon=True)
    thread.start()
    return thread, box


def finished(thread, within):
    thread.join(within)
    return not thread.is_alive()


def wait_until(condition, within=HANG):
    end = time.monotonic() + within
    while not condition():
        assert time.monotonic() < end, "the loop never started"
        time.sleep(0.005)


# How another thread ends a monitor() loop, and what the loop and the bench
# are left with: (name, action, the bench is closed after).
ENDINGS = [
    ("bench.close()", lambda bench, run: bench.close(), True),
    ("iterator.close()", lambda bench, run: run.close(), False),
    ("request_stop()", lambda bench, run: bench.request_stop(), False),
]


@pytest.mark.parametrize("name,action,closes", ENDINGS, ids=[e[0] for e in ENDINGS])
@pytest.mark.parametrize("fake_clock", [True, False], ids=["fake clock", "real time"])
def test_another_thread_ends_a_monitor_loop_in_under_a_second(name, action, closes, fake_clock):
    # The loop is either busy (fake clock: passes come at once, 20 times) or
    # waiting in next() for a pass of the real clock (once: a second each).
    for attempt in range(20 if fake_clock else 1):
        bench = zm5520evm.open(simulate=True, fake_clock=fake_clock)
        run = bench.monitor()
        seen = []
        loop, box = in_thread(lambda: [seen.append(m) for m in run])
        if fake_clock:
            wait_until(lambda: seen)
        else:
            time.sleep(0.05)
        started = time.monotonic()
        ender, ended = in_thread(lambda: action(bench, run))
        assert finished(ender, HANG) and finished(loop, HANG), f"hung in attempt {attempt}"
        assert time.monotonic() - started < 1.0, f"attempt {attempt}"
        assert "error" not in ended and "error" not in box, (ended, box)
        assert bench.closed == closes
        if not closes:
            # The bench is free again, and no stop is left for the next call.
            assert bench.read_config() == 0x399F
            bench.close()


def test_a_second_thread_on_one_iterator_gets_an_error_and_the_first_goes_on():
    bench = zm5520evm.open(simulate=True, fake_clock=False)
    run = bench.monitor(passes=1)
    first, box = in_thread(lambda: next(run))
    time.sleep(0.05)  # the first thread waits in next() for its pass
    with pytest.raises(zm5520evm.Error, match="another thread"):
        next(run)
    assert finished(first, HANG) and box["value"].acknowledged
    with pytest.raises(StopIteration):
        next(run)
    bench.close()


def stop_soon(bench):
    timer = threading.Timer(0.2, bench.request_stop)
    timer.start()
    return timer


def close_soon(bench):
    timer = threading.Timer(0.2, bench.close)
    timer.start()
    return timer


# A measure() ended before its count: how, and whether the bench is open after.
STOPS = [
    ("request_stop() from another thread", stop_soon, False),
    ("close() from another thread", close_soon, True),
    ("request_stop() before the call", lambda bench: bench.request_stop(), False),
]


@pytest.mark.parametrize("name,stop,closes", STOPS, ids=[s[0] for s in STOPS])
def test_a_stopped_measure_raises_and_leaves_no_stop_behind(name, stop, closes):
    # On the fake clock a run of weeks goes on reading until it is stopped.
    bench = zm5520evm.open(simulate=True)
    timer = stop(bench)
    started = time.monotonic()
    with pytest.raises(zm5520evm.CancelledError):
        bench.measure(seconds=1e6)
    assert time.monotonic() - started < 1.0
    if timer:
        timer.join(HANG)
    assert bench.closed == closes
    if not closes:
        assert len(bench.measure(passes=1)) == 1
        bench.close()


# A board that stops answering in the middle of a run: the run raises, as it
# would at its start, and returns nothing that looks like a measurement.
SILENT = [
    ("reglink:no-reply@40", zm5520evm.BoardSilentError),
    ("reglink:unplug@40", zm5520evm.NoBoardError),
]
RUNS = [
    ("measure", lambda b, d: b.measure(passes=20)),
    ("monitor", lambda b, d: list(b.monitor(passes=20))),
    ("monitor_batch", lambda b, d: b.monitor_batch(passes=20)),
    ("log", lambda b, d: b.log(d / "log.csv", passes=20)),
]


@pytest.mark.filterwarnings("ignore:the device did not acknowledge")
@pytest.mark.parametrize("fault,kind", SILENT, ids=[s[0] for s in SILENT])
@pytest.mark.parametrize("name,call", RUNS, ids=[r[0] for r in RUNS])
def test_a_run_whose_board_stops_answering_raises(name, call, fault, kind, tmp_path):
    with zm5520evm.open(simulate=True, sim_faults=[fault]) as bench:
        with pytest.raises(kind):
            call(bench, tmp_path)


def amps_of(result):
    if isinstance(result, np.ndarray):
        return result["amps"], result["acknowledged"]
    return np.array([m.amps for m in result]), np.array([m.acknowledged for m in result])


@pytest.mark.parametrize("name,call", RUNS, ids=[r[0] for r in RUNS])
def test_passes_the_device_did_not_acknowledge_are_nan_and_counted_once(name, call, tmp_path):
    with zm5520evm.open(simulate=True, sim_faults=["reglink:non-zero-status@30"]) as bench:
        with warnings.catch_warnings(record=True) as told:
            warnings.simplefilter("always")
            result = call(bench, tmp_path)
    counts = [str(w.message) for w in told if "did not acknowledge" in str(w.message)]
    assert counts == ["the device did not acknowledge 16 of 20 passes; their values are NaN"]
    if name == "log":
        assert (result.logged, result.unacknowledged) == (4, 16)
        return
    amps, acknowledged = amps_of(result)
    assert np.isnan(amps[~acknowledged]).all() and (~acknowledged).sum() == 16
    assert amps[acknowledged] == pytest.approx(np.ones(4), rel=0.01)
