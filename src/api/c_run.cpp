// SPDX-License-Identifier: GPL-3.0-or-later
// Measurement runs the caller polls: the monitor runs on a thread of its
// own and hands its passes over through a bounded queue, so a caller with
// no callbacks (LabVIEW, MATLAB, a test executive) takes them when it likes.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <deque>
#include <thread>

#include "api/c_api_support.h"

namespace evm::capi {

struct RunState {
  std::shared_ptr<BenchCore> core;
  MonitorLength length;
  size_t capacity = 0;

  // Shared with the run's thread, under mutex.
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<zm_measurement> queue;
  int64_t passes = 0;
  int64_t unacknowledged = 0;
  int64_t lost = 0;
  int32_t registersRead = 0;
  double first = 0;
  double last = 0;
  bool finished = false;
  bool stopped = false;
  ErrorRecord failure;

  std::stop_source stop;
  std::thread worker;
  // The one join of the worker, whichever thread closes first.
  std::mutex joinMutex;

  void Produce() noexcept;
};

void RunState::Produce() noexcept {
  RunSummary summary;
  ErrorRecord failed;
  try {
    summary = core->bench->Monitor(
        length,
        [this](const Measurement& m) {
          zm_measurement pass;
          ToC(m, pass);
          {
            std::lock_guard lock(mutex);
            if (passes == 0) first = m.timeSeconds;
            last = m.timeSeconds;
            ++passes;
            if (!m.acknowledged) ++unacknowledged;
            if (m.acknowledged) registersRead |= m.registersRead;
            // A caller that does not keep up loses passes, never memory.
            if (queue.size() >= capacity) {
              ++lost;
              return;
            }
            queue.push_back(pass);
          }
          changed.notify_all();
        },
        stop.get_token());
  } catch (...) {
    failed = RecordOf(std::current_exception());
    try {
      core->SetError(failed);
    } catch (...) {
      // The run's own record below still tells the failure.
    }
  }
  {
    std::lock_guard lock(mutex);
    finished = true;
    // What the library's own buffer could not hold is lost as surely as
    // what this queue could not.
    lost += summary.lost;
    stopped = summary.stopped || failed.status == ZM_ERR_CANCELLED;
    failure = std::move(failed);
  }
  changed.notify_all();
  // The bench is free as soon as the run is over, closed or not.
  core->Release();
}

void CloseRun(RunState& run) noexcept {
  run.stop.request_stop();
  try {
    std::lock_guard lock(run.joinMutex);
    // From the run's own thread (a notice function that closes it) the run
    // ends at its next pass; the thread is joined by a later close or free.
    if (run.worker.joinable() && run.worker.get_id() != std::this_thread::get_id()) {
      run.worker.join();
    }
  } catch (...) {
    // Asked to stop, the run ends by itself; nothing more can be done here.
  }
}

}  // namespace evm::capi

using evm::capi::RunState;

struct zm_run {
  std::shared_ptr<RunState> state;
};

extern "C" {

ZM_API zm_status zm_run_start(zm_bench* bench, int64_t passes, double seconds,
                              size_t queue_capacity, zm_run** run) {
  return zm_run_start_mode(bench, ZM_MODE_PASSES, passes, seconds, queue_capacity, run);
}

ZM_API zm_status zm_run_start_mode(zm_bench* bench, int32_t mode, int64_t passes, double seconds,
                                   size_t queue_capacity, zm_run** run) {
  using evm::capi::FailWith;
  if (run) *run = nullptr;
  if (!bench || !bench->core) return FailWith(nullptr, ZM_ERR_INVALID_ARGUMENT, "bench is NULL");
  if (!run) return FailWith(nullptr, ZM_ERR_INVALID_ARGUMENT, "run is NULL");
  if (passes < 0 || !(seconds >= 0)) {
    return FailWith(nullptr, ZM_ERR_INVALID_ARGUMENT, "passes and seconds must be 0 or more");
  }
  const auto acquisition = evm::capi::ModeOfC(mode);
  if (!acquisition) {
    return FailWith(nullptr, ZM_ERR_INVALID_ARGUMENT,
                    "mode must be a ZM_MODE_*, not " + std::to_string(mode));
  }
  std::shared_ptr<RunState> state;
  zm_run* handle = nullptr;
  try {
    state = std::make_shared<RunState>();
    state->core = bench->core;
    state->length = evm::MonitorLength{
        .passes = static_cast<long>(passes), .seconds = seconds, .mode = *acquisition};
    state->capacity = queue_capacity == 0 ? 1024 : queue_capacity;
    handle = new zm_run{state};
  } catch (...) {
    return evm::capi::Fail(nullptr, std::current_exception());
  }
  evm::capi::BenchCore& core = *bench->core;
  if (const zm_status taken = core.Take(state); taken != ZM_OK) {
    delete handle;
    return taken;
  }
  try {
    state->worker = std::thread([s = state.get()] { s->Produce(); });
  } catch (...) {
    core.Release();
    delete handle;
    return evm::capi::Fail(&core, std::current_exception());
  }
  *run = handle;
  return ZM_OK;
}

ZM_API zm_status zm_run_next(zm_run* run, zm_measurement* measurement, int32_t timeout_ms) {
  size_t count = 0;
  return zm_run_take(run, measurement, 1, &count, timeout_ms);
}

ZM_API zm_status zm_run_take(zm_run* run, zm_measurement* measurements, size_t capacity,
                             size_t* count, int32_t timeout_ms) {
  if (count) *count = 0;
  if (!run || !measurements || !count || capacity == 0) return ZM_ERR_INVALID_ARGUMENT;
  try {
    RunState& s = *run->state;
    std::unique_lock lock(s.mutex);
    const auto ready = [&s] { return !s.queue.empty() || s.finished; };
    if (timeout_ms < 0) {
      s.changed.wait(lock, ready);
    } else if (!s.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
      return ZM_TIMEOUT;
    }
    if (!s.queue.empty()) {
      const size_t n = std::min(capacity, s.queue.size());
      std::copy_n(s.queue.begin(), n, measurements);
      s.queue.erase(s.queue.begin(), s.queue.begin() + static_cast<std::ptrdiff_t>(n));
      *count = n;
      return ZM_OK;
    }
    if (s.failure.status != ZM_OK) {
      evm::capi::ThreadError() = s.failure;
      return s.failure.status;
    }
    if (s.stopped) {
      evm::capi::ErrorRecord cancelled;
      cancelled.status = ZM_ERR_CANCELLED;
      cancelled.text = "stopped";
      evm::capi::ThreadError() = std::move(cancelled);
      return ZM_ERR_CANCELLED;
    }
    return ZM_DONE;
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_run_details_get(zm_run* run, zm_run_details* details) {
  if (!run || !evm::capi::DetailsFit(details)) return ZM_ERR_INVALID_ARGUMENT;
  RunState& s = *run->state;
  std::lock_guard lock(s.mutex);
  const double rate =
      s.passes > 1 && s.last > s.first ? static_cast<double>(s.passes - 1) / (s.last - s.first) : 0;
  evm::capi::FillDetails(*details, s.length.mode, s.registersRead, s.lost, rate);
  return ZM_OK;
}

ZM_API zm_status zm_run_summary_get(zm_run* run, zm_run_summary* summary) {
  if (!run || !summary) return ZM_ERR_INVALID_ARGUMENT;
  RunState& s = *run->state;
  std::lock_guard lock(s.mutex);
  *summary = zm_run_summary{};
  summary->passes = s.passes;
  summary->unacknowledged = s.unacknowledged;
  summary->lost = s.lost;
  summary->stopped = s.stopped ? 1 : 0;
  summary->finished = s.finished ? 1 : 0;
  return ZM_OK;
}

ZM_API zm_status zm_run_last_error(zm_run* run, char* text, size_t capacity, size_t* needed) {
  if (!run) return ZM_ERR_INVALID_ARGUMENT;
  try {
    RunState& s = *run->state;
    std::lock_guard lock(s.mutex);
    return evm::capi::CopyText(s.failure.text, text, capacity, needed);
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_run_close(zm_run* run) {
  if (!run) return ZM_ERR_INVALID_ARGUMENT;
  evm::capi::CloseRun(*run->state);
  return ZM_OK;
}

ZM_API void zm_run_free(zm_run* run) {
  if (!run) return;
  evm::capi::CloseRun(*run->state);
  delete run;
}

}  // extern "C"
