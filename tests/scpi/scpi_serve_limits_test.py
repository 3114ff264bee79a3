# SPDX-License-Identifier: GPL-3.0-or-later
"""evmctl serve against hostile clients: what only the real process shows
(its memory, its CPU, its standard error).

Run by ctest as: python3 scpi_serve_limits_test.py PATH/TO/evmctl
As a probe with figures: python3 scpi_serve_limits_test.py PATH/TO/evmctl --probe CLIENTS SECONDS
"""
import fcntl
import os
import re
import resource
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import unittest

EVMCTL = sys.argv.pop(1) if len(sys.argv) > 1 else "evmctl"
PAGE = os.sysconf("SC_PAGE_SIZE")
TICK = os.sysconf("SC_CLK_TCK")


class Server:
    """One `evmctl --simulate --sim-fast serve` on a free loopback port."""

    def __init__(self, preexec_fn=None, stderr_pipe_size=None):
        self.dir = tempfile.TemporaryDirectory()
        self.proc = subprocess.Popen(
            [EVMCTL, "--simulate", "--sim-fast", "--config-dir", self.dir.name,
             "serve", "--listen", "127.0.0.1:0"],
            stderr=subprocess.PIPE, preexec_fn=preexec_fn)
        if stderr_pipe_size:
            fcntl.fcntl(self.proc.stderr.fileno(), fcntl.F_SETPIPE_SZ, stderr_pipe_size)
        self.log = b""
        while True:
            line = self.proc.stderr.readline()
            if not line:
                raise RuntimeError("evmctl serve ended: " + self.log.decode())
            self.log += line
            found = re.search(rb"listening on 127\.0\.0\.1:(\d+)$", line.rstrip())
            if found:
                self.port = int(found.group(1))
                return

    def status(self, key):
        with open(f"/proc/{self.proc.pid}/status") as f:
            for line in f:
                if line.startswith(key + ":"):
                    return int(line.split()[1]) * 1024
        raise KeyError(key)

    def cpu_seconds(self):
        with open(f"/proc/{self.proc.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stderr.close()
        self.dir.cleanup()


def query(port, line=b"*IDN?\n", timeout=5):
    """The answer to one line from a new connection, and how long it took."""
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        s.sendall(line)
        answer = b""
        while not answer.endswith(b"\n"):
            got = s.recv(4096)
            if not got:
                break
            answer += got
    return answer.decode(errors="replace").strip(), time.monotonic() - start


def flood(server, clients, seconds):
    """Clients that send 60 KB lines of *IDN? and read nothing, while a new
    client asks *IDN? every 100 ms. Latencies (s) and the peak RSS (bytes)."""
    line = b"*IDN?;" * 10000 + b"\n"
    socks = []
    for _ in range(clients):
        s = socket.create_connection(("127.0.0.1", server.port))
        s.setblocking(False)
        socks.append([s, 0])
    latencies = []
    failures = []
    end = time.monotonic() + seconds
    next_probe = time.monotonic()
    while time.monotonic() < end:
        sent = False
        for entry in socks:
            s, pos = entry
            try:
                n = s.send(line[pos:])
            except (BlockingIOError, InterruptedError):
                continue
            except OSError:
                continue
            entry[1] = (pos + n) % len(line)
            sent = sent or n > 0
        if time.monotonic() >= next_probe:
            answer, took = query(server.port)
            if "ZM5520/1 EVM" not in answer:
                failures.append(answer)
            latencies.append(took)
            next_probe = time.monotonic() + 0.1
        if not sent:
            time.sleep(0.002)
    peak = server.status("VmHWM")
    for s, _ in socks:
        s.close()
    return latencies, failures, peak


class LimitsTest(unittest.TestCase):
    def server(self, **kw):
        s = Server(**kw)
        self.addCleanup(s.close)
        return s

    def test_clients_that_never_read_stay_bounded_and_starve_nobody(self):
        server = self.server()
        latencies, failures, peak = flood(server, clients=12, seconds=2)
        self.assertEqual(failures, [])
        self.assertLess(peak, 64 << 20)
        # Generous for a loaded machine; the probe gives the real figure.
        self.assertLess(max(latencies), 0.5, latencies)
        self.assertIn(b"does not read its answers", server.proc.stderr.read1(1 << 16))

    def test_out_of_descriptors_the_server_waits_instead_of_spinning(self):
        limit = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (32, 32))
        server = self.server(preexec_fn=limit)
        socks = [socket.create_connection(("127.0.0.1", server.port)) for _ in range(60)]
        time.sleep(0.3)
        before = server.cpu_seconds()
        time.sleep(1.0)
        spent = server.cpu_seconds() - before
        self.assertLess(spent, 0.15)
        for s in socks[:40]:
            s.close()
        # The backlog's callers are taken once descriptors are free again.
        socks[-1].settimeout(5)
        socks[-1].sendall(b"*OPC?\n")
        self.assertEqual(socks[-1].recv(16), b"1\n")
        for s in socks[40:]:
            s.close()
        self.assertIn(b"cannot accept a connection", server.proc.stderr.read1(1 << 16))

    def test_a_burst_of_connections_is_taken_at_once(self):
        server = self.server()
        start = time.monotonic()
        socks = [socket.create_connection(("127.0.0.1", server.port), timeout=5) for _ in range(60)]
        for s in socks:
            s.sendall(b"*OPC?\n")
        answers = [s.recv(16) for s in socks]
        took = time.monotonic() - start
        for s in socks:
            s.close()
        self.assertEqual(answers, [b"1\n"] * 60)
        # A full backlog drops a connection's first SYN, which costs a second.
        self.assertLess(took, 0.9)

    def test_standard_error_nobody_reads_does_not_stop_serving(self):
        server = self.server(stderr_pipe_size=4096)
        for n in range(400):
            answer, took = query(server.port, b"*OPC?\n", timeout=3)
            self.assertEqual(answer, "1", f"connection {n}")


def probe(clients, seconds):
    server = Server()
    try:
        latencies, failures, peak = flood(server, clients, seconds)
        rss = server.status("VmRSS")
        print(f"{clients} clients that never read, {seconds} s: {len(latencies)} probes, "
              f"*IDN? median {statistics.median(latencies) * 1000:.1f} ms, "
              f"max {max(latencies) * 1000:.1f} ms, failures {len(failures)}; "
              f"RSS {rss / 2**20:.1f} MB, peak {peak / 2**20:.1f} MB")
    finally:
        server.close()


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--probe":
        probe(int(sys.argv[2]), float(sys.argv[3]))
    else:
        unittest.main(verbosity=2)
