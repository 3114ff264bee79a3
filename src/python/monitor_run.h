// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pybind11/pybind11.h>

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "bench_state.h"
#include "zm5520evm/bench.h"

namespace evm::python {

// The passes of Bench::Monitor as a Python iterator. The monitor runs on a
// thread of its own, in step with the iteration: its callback hands one
// pass over and waits until the next one is asked for, so the loop's body
// runs where the C++ callback would, and nothing is read ahead. The bench is
// taken from the first pass until the run ends or is closed.
class MonitorRun {
 public:
  MonitorRun(std::shared_ptr<BenchState> state, MonitorLength length)
      : state_(std::move(state)), length_(length) {}
  ~MonitorRun();
  MonitorRun(const MonitorRun&) = delete;
  MonitorRun& operator=(const MonitorRun&) = delete;

  // With the GIL held: the next pass, or py::stop_iteration after the last.
  Measurement Next();
  // Ends the run at the pass in progress (its wait is cut short); the bench
  // is free again. With the GIL held.
  void Close();
  const std::optional<RunSummary>& Summary() const { return summary_; }

 private:
  void Start();
  void Produce(Bench& bench);
  void Finish();

  std::shared_ptr<BenchState> state_;
  MonitorLength length_;
  std::thread producer_;
  bool started_ = false;
  bool finished_ = false;
  std::optional<RunSummary> summary_;

  // Shared with the producer, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  long requested_ = 0;
  bool quit_ = false;
  bool done_ = false;
  std::optional<Measurement> pass_;
  std::optional<RunSummary> result_;
  std::exception_ptr failure_;
  std::stop_source stop_;
};

}  // namespace evm::python
