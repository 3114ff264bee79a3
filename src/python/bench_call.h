// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How a Python call runs a Bench operation: without the GIL, so other Python
// threads run while the board is waited for, and with Python's signal
// handlers still served, so Ctrl-C ends a long run within a slice and
// leaves the bench usable.

#include <pybind11/pybind11.h>

#include <chrono>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>

#include "zm5520evm/bench.h"

namespace evm::python {

namespace py = pybind11;

// How often a call that waits without the GIL lets Python's signal
// handlers run: a fifth of the 0.2 s a Ctrl-C may take to end a run, and
// the slice the Bench's own waits are cut into.
inline constexpr std::chrono::milliseconds kSignalSlice{50};

// The first Python error of a call that ran without the GIL: a signal
// handler's (KeyboardInterrupt) or a callback's. It ends the call in place
// of the Bench's own outcome, which is only the stop it caused.
class PendingError {
 public:
  // With the GIL held and the Python error set; clears it.
  void Take() {
    std::lock_guard lock(mutex_);
    if (error_) {
      PyErr_Clear();
      return;
    }
    error_ = std::make_unique<py::error_already_set>();
  }
  bool Raised() const {
    std::lock_guard lock(mutex_);
    return error_ != nullptr;
  }
  // With the GIL held.
  [[noreturn]] void Throw() {
    std::lock_guard lock(mutex_);
    py::error_already_set error = *error_;
    error_.reset();
    throw error;
  }

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<py::error_already_set> error_;
};

// With the GIL released, in the thread that called. Signal handlers run in
// Python's main thread only; elsewhere this finds nothing.
inline bool CheckSignals(PendingError& pending) {
  py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() == 0) return false;
  pending.Take();
  return true;
}

// What an operation gets beside the Bench: a way to call Python back and a
// tick to give between passes or rows.
class CallContext {
 public:
  CallContext(Bench& bench, bool inCallingThread) : bench_(bench), inline_(inCallingThread) {}

  // A run on a fake clock never waits, so it works in the calling thread
  // and lets the signal handlers run from its passes: every kSignalSlice
  // of work. A run on another thread needs none; the caller watches.
  void Tick() {
    if (!inline_ || pending_.Raised()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextCheck_) return;
    nextCheck_ = now + kSignalSlice;
    if (CheckSignals(pending_)) bench_.RequestStop();
  }

  // Calls a Python callback from a thread without the GIL; an exception it
  // raises stops the operation and is raised by the call.
  template <typename... Args>
  void Invoke(const py::object& callback, Args&&... args) {
    if (pending_.Raised()) return;
    py::gil_scoped_acquire gil;
    try {
      callback(std::forward<Args>(args)...);
    } catch (py::error_already_set& e) {
      e.restore();
      pending_.Take();
      bench_.RequestStop();
    }
  }

  PendingError& Pending() { return pending_; }

 private:
  Bench& bench_;
  bool inline_;
  PendingError pending_;
  std::chrono::steady_clock::time_point nextCheck_ =
      std::chrono::steady_clock::now() + kSignalSlice;
};

template <typename R>
using Stored = std::conditional_t<std::is_void_v<R>, std::monostate, R>;

// The result of an operation or what it threw.
template <typename R>
struct Outcome {
  std::optional<Stored<R>> value;
  std::exception_ptr failure;

  template <typename Op>
  void Run(Op& op, Bench& bench, CallContext& context) {
    try {
      if constexpr (std::is_void_v<R>) {
        op(bench, context);
        value.emplace();
      } else {
        value.emplace(op(bench, context));
      }
    } catch (...) {
      failure = std::current_exception();
    }
  }
  Stored<R> Get() {
    if (failure) std::rethrow_exception(failure);
    return std::move(*value);
  }
};

// Runs `op(bench, context)` without the GIL and returns what it returns. On
// a bench that waits in real time it runs on a thread of its own while
// this one serves the signal handlers every kSignalSlice; a handler's
// exception stops the bench, which the operation ends at its next pass, row
// or wait slice, and is raised in place of the operation's outcome. The
// bench's stop is cleared again, so the next call runs.
template <typename Op>
auto RunWithoutGil(Bench& bench, bool realTime, Op&& op) {
  using R = decltype(op(bench, std::declval<CallContext&>()));
  CallContext context(bench, !realTime);
  Outcome<R> outcome;
  {
    py::gil_scoped_release released;
    if (!realTime) {
      outcome.Run(op, bench, context);
    } else {
      std::promise<void> finished;
      std::future<void> done = finished.get_future();
      std::thread worker([&] {
        outcome.Run(op, bench, context);
        finished.set_value();
      });
      while (done.wait_for(kSignalSlice) != std::future_status::ready) {
        if (!context.Pending().Raised() && CheckSignals(context.Pending())) bench.RequestStop();
      }
      worker.join();
    }
  }
  if (context.Pending().Raised()) {
    bench.ClearStop();
    context.Pending().Throw();
  }
  if constexpr (std::is_void_v<R>) {
    outcome.Get();
  } else {
    return outcome.Get();
  }
}

}  // namespace evm::python
