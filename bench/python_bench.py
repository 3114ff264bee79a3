# SPDX-License-Identifier: GPL-3.0-or-later
"""What the Python package adds to the facade, on the simulated EVM with a
fake clock, in CPU time (`make bench` runs it after evm_bench):

- one read_registers() call from Python, minus the same call in C++
  (BM_BenchReadRegisters of evm_bench); goal: at most 5 us;
- measure(passes=10000) into numpy; goal: at most 50 ms, with memory
  proportional to the passes.

Usage: python_bench.py EVM_BENCH (with PYTHONPATH at the built package)
"""

import json
import resource
import subprocess
import sys
import time
import warnings

import zm5520evm

REPEATS = 5


def cpp_read_registers_us(evm_bench):
    done = subprocess.run(
        [evm_bench, "--benchmark_filter=^BM_BenchReadRegisters$", "--benchmark_format=json",
         f"--benchmark_repetitions={REPEATS}"],
        capture_output=True, text=True, check=True)
    runs = [b for b in json.loads(done.stdout)["benchmarks"] if b.get("run_type") == "iteration"]
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}
    return min(b["cpu_time"] * scale[b["time_unit"]] for b in runs)


def best_seconds(call, repeats=REPEATS, number=1):
    """CPU time of this thread, as evm_bench's CPU column: on a busy machine
    the wall time is mostly the wait for a core. The calls run here, on a
    fake clock, so nothing of theirs runs on another thread."""
    best = float("inf")
    for _ in range(repeats):
        start = time.thread_time()
        for _ in range(number):
            call()
        best = min(best, (time.thread_time() - start) / number)
    return best


def peak_rss_mib():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def verdict(value, goal):
    return "ok" if value <= goal else "OVER THE GOAL"


def main():
    evm_bench = sys.argv[1]
    warnings.simplefilter("ignore", RuntimeWarning)
    bench = zm5520evm.open(simulate=True, fake_clock=True)

    python_us = best_seconds(bench.read_registers, number=20000) * 1e6
    cpp_us = cpp_read_registers_us(evm_bench)
    added = python_us - cpp_us
    print(f"python read_registers(): {python_us:.2f} us a call, C++ {cpp_us:.2f} us: "
          f"the binding adds {added:.2f} us (goal <= 5 us: {verdict(added, 5)})")

    ms = best_seconds(lambda: bench.measure(passes=10000)) * 1e3
    before = peak_rss_mib()
    big = bench.measure(passes=100000)
    grown = peak_rss_mib() - before
    per_pass = big.nbytes / len(big)
    print(f"python measure(passes=10000): {ms:.1f} ms (goal <= 50 ms: {verdict(ms, 50)}); "
          f"{per_pass:.0f} bytes a pass; 100000 passes raised the peak memory by "
          f"{grown:.1f} MiB for an array of {big.nbytes / 2**20:.1f} MiB")


if __name__ == "__main__":
    main()
