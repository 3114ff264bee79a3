# SPDX-License-Identifier: GPL-3.0-or-later
"""evmctl serve driven by a real VISA client (pyvisa with its pure-Python backend).

Run by ctest as: python3 scpi_visa_test.py PATH/TO/evmctl
and by make test-windows as: EVMCTL_RUNNER=wine python3 scpi_visa_test.py PATH/TO/evmctl.exe
"""
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
import unittest

import pyvisa

EVMCTL = sys.argv.pop(1) if len(sys.argv) > 1 else "evmctl"
# What runs the program: nothing, or Wine for the Windows build.
RUNNER = os.environ.get("EVMCTL_RUNNER", "").split()


class Server:
    """One `evmctl --simulate serve` on a free loopback port."""

    def __init__(self, *options):
        self.dir = tempfile.TemporaryDirectory()
        # --allow-remote listens where other machines reach it.
        remote = "--allow-remote" in options
        options = [o for o in options if o != "--allow-remote"]
        listen = ["--listen", "0.0.0.0:0", "--allow-remote"] if remote else ["--listen", "127.0.0.1:0"]
        self.proc = subprocess.Popen(
            [*RUNNER, EVMCTL, "--simulate", "--config-dir", self.dir.name, *options,
             "serve", *listen],
            stderr=subprocess.PIPE, text=True)
        self.log = []
        while True:
            line = self.proc.stderr.readline()
            if not line:
                raise RuntimeError("evmctl serve ended: " + "".join(self.log))
            self.log.append(line)
            found = re.search(r"listening on (?:127\.0\.0\.1|0\.0\.0\.0):(\d+)$", line)
            if found:
                self.port = int(found.group(1))
                return

    def stop(self):
        self.proc.terminate()
        try:
            rest = self.proc.communicate(timeout=5)[1]
        except subprocess.TimeoutExpired:
            if not RUNNER:
                raise
            # Under Wine a helper process may hold its standard error open.
            self.proc.kill()
            self.proc.wait(timeout=5)
            rest = ""
        self.log.append(rest)
        return self.proc.returncode

    def close(self):
        if self.proc.poll() is None:
            self.stop()
        self.dir.cleanup()


class ServeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Virtual time for most; one on real time, where a query takes long
        # enough to leave in the middle of it.
        cls.fast = Server("--sim-fast")
        cls.slow = Server()
        cls.rm = pyvisa.ResourceManager("@py")

    @classmethod
    def tearDownClass(cls):
        cls.rm.close()
        for s in (cls.fast, cls.slow):
            s.close()

    def open(self, server):
        inst = self.rm.open_resource(f"TCPIP::127.0.0.1::{server.port}::SOCKET",
                                     read_termination="\n", write_termination="\n")
        inst.timeout = 3000
        self.addCleanup(inst.close)
        inst.write("*CLS")
        return inst

    def error(self, inst):
        code, text = inst.query("SYST:ERR?").split(",", 1)
        return int(code), text

    def test_identity(self):
        idn = self.open(self.fast).query("*IDN?")
        self.assertRegex(idn, r"^[^,]+,ZM5520/1 EVM,RL0001,\d+\.\d+\.\d+$")
        self.assertEqual(self.open(self.fast).query("SYST:VERS?"), "1999.0")

    def test_current_matches_evmctl_read(self):
        inst = self.open(self.fast)
        amps = float(inst.query("MEAS:CURR?"))
        read = json.loads(subprocess.run(
            [*RUNNER, EVMCTL, "--simulate", "--sim-fast", "--config-dir", self.fast.dir.name,
             "--json", "read"],
            capture_output=True, text=True, check=True).stdout)
        regs = {r["register"]: r for r in read["registers"]}
        # A fresh simulated device holds no calibration, so its current is
        # the shunt voltage over the default 10 milliohm shunt.
        expected = regs[1]["scaled"] / 0.01
        # The simulated device is not noise-free: a few LSBs apart.
        self.assertAlmostEqual(amps, expected, delta=100 * read["current_lsb_amps"])
        self.assertAlmostEqual(amps, 1.0, delta=0.02)

    def test_each_error_class_is_queued_and_the_connection_stays_usable(self):
        inst = self.open(self.fast)
        cases = [
            (b"MEAS:CURRENTS?\n", -113),
            (b"\x00\xff\xfe junk\n", -102),
            (b"A" * 70000 + b"\n", -223),
        ]
        for raw, code in cases:
            with self.subTest(raw=raw[:30]):
                inst.write_raw(raw)
                got, text = self.error(inst)
                self.assertEqual(got, code, text)
                self.assertEqual(self.error(inst)[0], 0)
        # The read-back mismatch tells what was read.
        inst.write("REG 2,#H1234")
        self.assertRegex(self.error(inst)[1], r"reads back [0-9A-F]{4}, not 1234.*; read \d+\"$")
        for _ in range(20):
            inst.write("FOO")
        codes = [self.error(inst)[0] for _ in range(17)]
        self.assertEqual(codes[-2:], [-350, 0])
        self.assertEqual(inst.query("*IDN?").split(",")[1], "ZM5520/1 EVM")

    def test_clients_share_the_board_and_one_leaving_mid_query_breaks_nothing(self):
        first = self.open(self.slow)
        second = self.open(self.slow)
        self.assertEqual(second.query("*OPC?"), "1")
        self.assertEqual(first.query("*OPC?"), "1")
        # A query on the real clock takes a pass's settle time; its client
        # leaves before the answer.
        gone = socket.create_connection(("127.0.0.1", self.slow.port))
        gone.sendall(b"REG:READ? 2\n")
        time.sleep(0.05)
        gone.close()
        start = time.monotonic()
        self.assertRegex(second.query("*IDN?"), "ZM5520/1 EVM")
        self.assertLess(time.monotonic() - start, 3)
        self.assertEqual(self.error(first)[0], 0)
        self.assertIsNone(self.slow.proc.poll())

    def test_the_readme_example_runs_as_written_and_with_the_default_time_out(self):
        readme = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")
        with open(readme, encoding="utf-8") as f:
            block = re.search(r"```python\n(import pyvisa\n.*?)```", f.read(), re.S).group(1)
        block = block.replace("5025", str(self.slow.port))  # real time: a pass takes 0.6 s
        for text in (block, re.sub(r", timeout=\d+", "", block)):
            names = {}
            for line in text.splitlines():
                # The comment is what the last statement on the line answers.
                code, _, want = line.partition("  # ")
                *first, last = re.split(r";\s*(?=i\.)", code.strip())
                exec("\n".join(first + [("answer = " if want else "") + last]), names)
                want = want.strip().strip("'")
                numbers = [float(v) for v in re.findall(r"\d\.\d+E[-+]\d+", want)]
                if numbers:
                    got = [float(v) for v in names["answer"].split(";")]
                    self.assertEqual(len(got), len(numbers), line)
                    for g, n in zip(got, numbers):
                        self.assertAlmostEqual(g, n, delta=0.02 * n, msg=line)
                elif want:
                    self.assertEqual(names["answer"], want, line)
            names["i"].close()

    def test_a_server_others_reach_says_once_whether_mdns_announces_it(self):
        # Whether or not an Avahi daemon runs here, the server serves.
        server = Server("--sim-fast", "--allow-remote")
        try:
            inst = self.rm.open_resource(f"TCPIP::127.0.0.1::{server.port}::SOCKET",
                                         read_termination="\n", write_termination="\n")
            self.assertIn("ZM5520/1 EVM", inst.query("*IDN?"))
            inst.close()
            if os.path.exists("/run/avahi-daemon/socket"):
                time.sleep(2)  # the daemon confirms the name on the network first
        finally:
            server.stop()
            server.close()
        lines = [line for line in "".join(server.log).splitlines() if "mDNS" in line]
        self.assertEqual(len(lines), 1, lines)
        self.assertRegex(lines[0], r"(announced over mDNS as .+ \(_scpi-raw\._tcp|not announced)")

    @unittest.skipIf(RUNNER, "a signal from here ends the Wine process, not the program in it")
    def test_termination_ends_the_server_cleanly(self):
        server = Server("--sim-fast")
        try:
            self.assertEqual(self.open(server).query("*OPC?"), "1")
            self.assertEqual(server.stop(), 0)
            log = "".join(server.log)
            self.assertIn("connection from 127.0.0.1:", log)
            self.assertIn("evmctl serve: stopped", log)
        finally:
            server.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
