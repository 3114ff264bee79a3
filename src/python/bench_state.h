// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <utility>

#include "bench_call.h"
#include "zm5520evm/bench.h"

namespace evm::python {

class MonitorRun;

// One Python Bench: the C++ Bench until close(), and who is using it. The
// fields are read and written with the GIL held; the Bench itself is used
// by one operation at a time.
class BenchState {
 public:
  BenchState(std::unique_ptr<Bench> bench, bool realTime, py::dict options)
      : bench_(std::move(bench)), realTime_(realTime), options_(std::move(options)) {}
  ~BenchState() = default;
  BenchState(const BenchState&) = delete;
  BenchState& operator=(const BenchState&) = delete;

  // Runs `op(bench, context)` as a call of its own (see RunWithoutGil);
  // Error when the bench is closed or another operation has it.
  template <typename Op>
  auto Call(Op&& op) {
    Bench& bench = Take();
    Busy busy(*this);
    return RunWithoutGil(bench, realTime_, std::forward<Op>(op));
  }

  // For a monitor(): the bench stays taken until Release().
  Bench& Take();
  void Release() { busy_ = false; }
  void SetMonitor(MonitorRun* run) { monitor_ = run; }
  MonitorRun* Monitor() const { return monitor_; }

  // Ends a monitor() in progress, waits for a call of another thread to
  // end (asking the bench to stop), then releases the devices.
  void Close();
  bool Closed() const { return !bench_; }
  bool RealTime() const { return realTime_; }
  const py::dict& Options() const { return options_; }
  // The bench itself, for the calls that are safe from any thread.
  Bench* Peek() const { return bench_.get(); }

 private:
  struct Busy {
    explicit Busy(BenchState& s) : state(s) {}
    ~Busy() { state.Release(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
    BenchState& state;
  };

  std::unique_ptr<Bench> bench_;
  bool realTime_;
  py::dict options_;
  bool busy_ = false;
  MonitorRun* monitor_ = nullptr;
};

}  // namespace evm::python
