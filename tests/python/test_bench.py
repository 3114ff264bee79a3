# SPDX-License-Identifier: GPL-3.0-or-later
"""The binding's own work: the bench's lifetime, the error types, the
iterator, the GIL and Ctrl-C."""

import errno
import os
import signal
import threading
import time
import weakref

import numpy as np
import pytest

import zm5520evm


def test_closing_releases_the_bench_and_later_calls_raise(tmp_path):
    def notice(text):
        pass

    kept = weakref.ref(notice)
    with zm5520evm.open(simulate=True, on_notice=notice, state_folder=tmp_path) as bench:
        assert bench.read_config() == 0x399F
        assert bench.options["state_folder"] == tmp_path
    del notice
    assert bench.closed
    # The C++ bench is gone with everything it held.
    assert kept() is None
    for call in (bench.read_registers, bench.devices, lambda: bench.measure(passes=1),
                 lambda: next(bench.monitor())):
        with pytest.raises(zm5520evm.Error, match="the bench is closed"):
            call()
    bench.close()


def missing_file(bench, folder):
    return bench.load_registers(folder / "missing.csv")


def short_file(folder):
    path = folder / "short.csv"
    path.write_text("1\r\n" * 22)
    return path


def stopped(bench, _):
    bench.request_stop()
    try:
        bench.measure_once()
    finally:
        bench.clear_stop()


# fault, call, type, text, attributes
ERRORS = [
    ("reglink:no-board", lambda b, d: b.read_registers(), zm5520evm.NoBoardError,
     "no register link board found", {}),
    ("reglink:no-permission", lambda b, d: b.read_registers(), zm5520evm.BoardNotOpenableError,
     "cannot be opened", {}),
    ("reglink:no-reply", lambda b, d: b.measure(passes=10), zm5520evm.BoardSilentError,
     "the register link did not answer", {}),
    ("reglink:no-reply", lambda b, d: next(b.monitor()), zm5520evm.BoardSilentError,
     "the register link did not answer", {}),
    ("interface:no-reply", lambda b, d: b.send("CMD ON"), zm5520evm.BoardSilentError,
     "'CMD ON': the interface board did not answer", {}),
    ("reglink:non-zero-status", lambda b, d: b.measure_once(), zm5520evm.NotAcknowledgedError,
     "the device at address 40h did not acknowledge", {}),
    (None, lambda b, d: b.write_register(2, 0x1234), zm5520evm.ReadBackError,
     "register 02h at address 40h reads back", {"reg": 2, "wanted": 0x1234}),
    (None, lambda b, d: b.encode("CMD NOSUCHWORD"), zm5520evm.ParseError, "'CMD NOSUCHWORD': ",
     {"position": 5}),
    # The main window's own words where it has them, a reason after them.
    (None, lambda b, d: b.write_register(5, 0x10000), zm5520evm.ParseError,
     "value 65536: The value you entered is larger then 16 bits.  Register Length = 16 bit.", {}),
    (None, missing_file, zm5520evm.FileError, "Bad File Name in Load File: cannot read '",
     {"errno": errno.ENOENT}),
    (None, lambda b, d: b.load_registers(short_file(d)), zm5520evm.ParseError,
     "Bad File Name in Load File: ", {}),
    (None, lambda b, d: b.encode(""), zm5520evm.ParseError, " is not a valid interface type.",
     {}),
    (None, lambda b, d: b.set_dac(zm5520evm.DacChannel.A, 4.95), zm5520evm.ParseError,
     "Vin > max input voltage or Vin< min input voltage (DAC A: 4.95 V; 0.05 V to 4.9 V", {}),
    # The hint names the caller's own argument.
    ("reglink:non-zero-status", lambda b, d: b.read_registers(), zm5520evm.NotAcknowledgedError,
     "did not acknowledge (see device_address)", {}),
    (None, stopped, zm5520evm.CancelledError, "stopped", {}),
    (None, lambda b, d: b.measure(), zm5520evm.ParseError, "give passes or seconds", {}),
]


@pytest.mark.parametrize("fault,call,kind,text,attributes", ERRORS,
                         ids=[f"{e[2].__name__}-{e[0]}" for e in ERRORS])
def test_each_failure_raises_its_own_type_naming_the_fault(fault, call, kind, text, attributes,
                                                           tmp_path):
    bench = zm5520evm.open(simulate=True, sim_faults=[fault] if fault else [])
    with pytest.raises(kind) as raised:
        call(bench, tmp_path)
    assert isinstance(raised.value, zm5520evm.Error)
    assert text in str(raised.value)
    for name, value in attributes.items():
        assert getattr(raised.value, name) == value


def test_errors_are_also_the_builtin_a_program_catches():
    assert issubclass(zm5520evm.ParseError, ValueError)
    assert issubclass(zm5520evm.FileError, OSError)
    for name in ("NoBoardError", "BoardNotOpenableError", "BoardSilentError",
                 "NotAcknowledgedError", "ReadBackError", "ParseError", "FileError",
                 "CancelledError"):
        assert getattr(zm5520evm, name).__mro__[1] is zm5520evm.Error


@pytest.mark.filterwarnings("ignore:register 05h")
def test_monitor_iterates_in_step_and_frees_the_bench(bench):
    run = bench.monitor(passes=3)
    first = next(run)
    assert isinstance(first, zm5520evm.Measurement) and first.acknowledged
    with pytest.raises(zm5520evm.Error, match="a monitor\\(\\) is running"):
        bench.read_registers()
    rest = list(run)
    assert len(rest) == 2 and rest[0].time_epoch_s > first.time_epoch_s
    assert (run.summary.passes, run.summary.stopped) == (3, False)
    # Left early, the run ends and the bench is free again.
    for passes, _ in zip(bench.monitor(), range(5)):
        pass
    assert bench.read_config() == 0x399F
    with bench.monitor() as endless:
        next(endless)
    assert len(bench.measure(passes=4)) == 4


def test_measure_holds_one_row_per_pass(bench):
    # The first measurement gave the blank simulated device its default
    # calibration (A000), so current reads at once.
    data = bench.measure(seconds=3)
    assert len(data) == 5  # a pass is six registers of 100 ms
    assert data["amps"] == pytest.approx(np.full(5, data["shunt_volts"][0] / 0.01), rel=0.01)
    # Without a state folder too, scaled by the calibration it wrote.
    with zm5520evm.open(simulate=True, state_folder=None) as stateless:
        assert stateless.measure(passes=2)["amps"] == pytest.approx([1.0, 1.0], rel=0.01)
    bench.write_register(5, 0)
    with pytest.warns(RuntimeWarning, match="register 05h"):
        assert not bench.measure(passes=1)["amps"].any()
    restored = bench.calibrate_if_blank()
    assert (restored.was_blank, restored.wrote, restored.from_stored_inputs) == (True, 0xA000, False)
    assert bench.calibrate_if_blank().message == ""
    # A calibration for twice the shunt halves the current the device reports.
    bench.apply_calibration(bench.calculate(rshunt_ohms=0.02, max_expected_amps=2,
                                            current_lsb_amps=100e-6, config=bench.read_config()))
    data = bench.measure(passes=1)
    assert data["amps"] == pytest.approx(data["shunt_volts"] / 0.02, rel=0.01)


def send_sigint_after(seconds):
    sent = []

    def interrupt():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(seconds, interrupt)
    timer.start()
    return timer, sent


def loop_monitor(bench, _):
    for _ in bench.monitor():
        pass


def loop_script(bench, folder):
    script = folder / "loop.txt"
    script.write_text('"route","CMD MUX 05","",""\r\n"again","goto 1","",""\r\n')
    bench.run_script(script)


CTRL_C = [
    ("monitor, real time", False, loop_monitor),
    ("measure, real time", False, lambda b, _: b.measure(passes=1000)),
    # Nothing waits on a fake clock: the loop itself must let the handler in.
    ("script loop, fake clock", True, loop_script),
]


@pytest.mark.parametrize("name,fake_clock,call", CTRL_C, ids=[c[0] for c in CTRL_C])
def test_ctrl_c_ends_the_call_within_a_slice_and_leaves_the_bench_usable(name, fake_clock, call,
                                                                         tmp_path):
    bench = zm5520evm.open(simulate=True, fake_clock=fake_clock)
    counted = [0]
    running = threading.Event()
    running.set()

    def count():
        while running.is_set():
            counted[0] += 1
            time.sleep(0.001)

    # Another Python thread runs while the bench waits: the GIL is free.
    counter = threading.Thread(target=count, daemon=True)  # a failure must not hang the exit
    counter.start()
    timer, sent = send_sigint_after(0.15)
    try:
        with pytest.raises(KeyboardInterrupt):
            call(bench, tmp_path)
        ended = time.monotonic()
    finally:
        timer.join()
        running.clear()
        counter.join()
    assert ended - sent[0] < 0.2
    assert counted[0] > 20
    # Usable: the stop that ended the call is gone.
    assert bench.send("CMD ON")[0].answered



def test_an_exception_in_a_callback_ends_the_run_and_is_raised(bench, tmp_path):
    told = []

    def on_pass(m):
        told.append(m)
        if len(told) == 2:
            raise ValueError("enough")

    with pytest.raises(ValueError, match="enough"):
        bench.log(tmp_path / "log.csv", passes=100, on_pass=on_pass)
    assert len(told) == 2
    assert bench.log(tmp_path / "log.csv", passes=1).logged == 1


# (ZM5520EVM_LIBRARY, a library beside the package, Windows, what the system
# search finds) -> what is loaded. Only this differs between the platforms.
LIBRARIES = [
    ("/x/lib.so", True, False, None, "/x/lib.so"),
    ("", True, False, None, "/pkg/libzm5520evm.so.1"),
    ("", False, False, None, "libzm5520evm.so.1"),
    ("", True, True, None, "/pkg/zm5520evm.dll"),
    ("", False, True, "C:/bin/zm5520evm.dll", "C:/bin/zm5520evm.dll"),
    ("", False, True, None, "zm5520evm.dll"),
]


@pytest.mark.parametrize("named,beside,windows,found,loaded", LIBRARIES)
def test_the_library_named_beside_or_installed_is_loaded(named, beside, windows, found, loaded):
    from zm5520evm import _capi
    assert _capi.library_path(named, "/pkg", windows, exists=lambda p: beside,
                              find=lambda name: found) == loaded


# A long run returned whole: (arguments, pass length the package assumes,
# rows, longest step between passes). A pass is six registers of 100 ms
# settle and two 1 ms USB frames each. With a pass assumed ten times as long,
# the run in seconds fills its first array and goes on in others, each
# start leaving out one pass.
LONG_RUNS = [
    ({"passes": 20000}, None, 20000, 0.612),
    ({"seconds": 12240}, None, 20000, 0.612),
    ({"seconds": 600}, 6.0, None, 1.224),
]


@pytest.mark.filterwarnings("ignore:register 05h")
@pytest.mark.parametrize("length,assumed,rows,step", LONG_RUNS)
def test_a_long_run_comes_whole(length, assumed, rows, step, bench, monkeypatch):
    if assumed:
        from zm5520evm import _bench
        monkeypatch.setattr(_bench, "_PASS_SECONDS", assumed)
    data = bench.measure(**length)
    steps = np.diff(data["time_s"])
    assert steps.min() > 0.59 and steps.max() < step + 0.01
    if rows:
        assert len(data) == rows
    else:
        # Its first array held 141 passes, 86 s; the others hold the rest
        # but for the pass each one's start leaves out.
        assert data["time_s"][-1] - data["time_s"][0] > 0.98 * length["seconds"]
    with pytest.raises(zm5520evm.ParseError, match="at most 2097152 passes"):
        bench.measure(passes=2**21 + 1)
