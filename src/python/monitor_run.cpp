// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor_run.h"

namespace evm::python {

MonitorRun::~MonitorRun() {
  Close();
}

void MonitorRun::Start() {
  Bench& bench = state_->Take();
  state_->SetMonitor(this);
  started_ = true;
  producer_ = std::thread([this, &bench] { Produce(bench); });
}

void MonitorRun::Produce(Bench& bench) {
  std::optional<RunSummary> result;
  std::exception_ptr failure;
  try {
    long delivered = 0;
    result = bench.Monitor(
        length_,
        [this, &delivered](const Measurement& m) {
          std::unique_lock lock(mutex_);
          pass_ = m;
          ++delivered;
          changed_.notify_all();
          // The run goes on when the next pass is asked for.
          changed_.wait(lock, [&] { return requested_ > delivered || quit_; });
        },
        stop_.get_token());
  } catch (...) {
    failure = std::current_exception();
  }
  std::lock_guard lock(mutex_);
  result_ = result;
  failure_ = failure;
  done_ = true;
  changed_.notify_all();
}

Measurement MonitorRun::Next() {
  if (finished_) throw py::stop_iteration();
  if (!started_) Start();
  PendingError pending;
  {
    py::gil_scoped_release released;
    std::unique_lock lock(mutex_);
    ++requested_;
    changed_.notify_all();
    while (!pass_ && !done_) {
      if (changed_.wait_for(lock, kSignalSlice) != std::cv_status::timeout) continue;
      lock.unlock();
      const bool raised = CheckSignals(pending);
      lock.lock();
      if (raised) break;
    }
    if (pass_ && !pending.Raised()) {
      Measurement m = std::move(*pass_);
      pass_.reset();
      return m;
    }
  }
  if (pending.Raised()) {
    Close();
    pending.Throw();
  }
  Finish();
  if (failure_) std::rethrow_exception(failure_);
  throw py::stop_iteration();
}

void MonitorRun::Close() {
  if (!started_ || finished_) {
    finished_ = true;
    return;
  }
  stop_.request_stop();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    changed_.notify_all();
  }
  Finish();
  // What the stop made of the run is not a failure of it.
  failure_ = nullptr;
}

void MonitorRun::Finish() {
  {
    py::gil_scoped_release released;
    producer_.join();
  }
  finished_ = true;
  state_->SetMonitor(nullptr);
  state_->Release();
  summary_ = result_;
}

}  // namespace evm::python
