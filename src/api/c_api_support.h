// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the C interface's files share: the bench behind a handle, who holds
// it, and how a C++ failure becomes a status and a record.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zm5520evm/bench.h"
#include "zm5520evm/zm5520evm.h"

namespace evm::capi {

// A failure of the C layer itself (an argument, a buffer), thrown inside a
// call so that it ends the call as the bench's own failures do.
struct Failure {
  zm_status status;
  std::string text;
};

struct ErrorRecord {
  zm_status status = ZM_OK;
  std::string text;
  int32_t reg = 0;
  int32_t wanted = 0;
  int32_t got = 0;
  int64_t position = 0;
  int32_t code = 0;
  int32_t codeKind = ZM_CODE_NONE;
  std::string codeMessage;
  std::string path;
};

// The failure in flight as a status and its record; never throws.
ErrorRecord RecordOf(std::exception_ptr thrown) noexcept;
// The calling thread's last failure, for calls without a bench or refused one.
ErrorRecord& ThreadError() noexcept;

struct RunState;

// The bench behind a zm_bench, shared with a run on it, which may outlive
// the handle.
struct BenchCore {
  BenchCore() = default;
  // The Bench goes first: it may still tell a notice on its way out.
  ~BenchCore() { bench.reset(); }
  BenchCore(const BenchCore&) = delete;
  BenchCore& operator=(const BenchCore&) = delete;

  std::unique_ptr<Bench> bench;
  zm_options options{};

  // Who holds the bench: a call, or a run (run set). Under mutex.
  std::mutex mutex;
  std::condition_variable idle;
  bool busy = false;
  bool closing = false;
  bool stopKept = false;  // a stop that came with nothing to stop
  std::shared_ptr<RunState> run;

  // The last failure of a call that held the bench. Under errorMutex, since
  // a run's thread writes it and any thread may read it.
  mutable std::mutex errorMutex;
  ErrorRecord error;

  // Notices nobody has taken yet, when there is no notice function.
  static constexpr size_t kMaxNotices = 64;
  std::mutex noticeMutex;
  std::deque<std::string> notices;
  int64_t droppedNotices = 0;

  // The rows of the last run_script, which a stopped or failed run keeps too.
  std::vector<ScriptRowResult> scriptRows;

  void Notice(const std::string& text);
  void SetError(const ErrorRecord& record);
  // Takes the bench for a call or a run: ZM_OK, ZM_ERR_BUSY or
  // ZM_ERR_CANCELLED (a kept stop, used up here); the refusal is recorded.
  zm_status Take(const std::shared_ptr<RunState>& forRun);
  // Gives the bench back; the stop of the call or run is used up with it.
  void Release();
};

// The status a caught failure ends a call with, recorded for the bench and
// the thread.
zm_status Fail(BenchCore* core, std::exception_ptr thrown) noexcept;
zm_status FailWith(BenchCore* core, zm_status status, const std::string& text) noexcept;

// Text into a fixed field: truncated to fit at a character's boundary.
// Returns whether it fitted whole.
bool Fit(char* field, size_t size, const std::string& text) noexcept;
template <size_t N>
bool Fit(char (&field)[N], const std::string& text) noexcept {
  return Fit(field, N, text);
}
// Text into the caller's buffer (see the header's conventions).
zm_status CopyText(const std::string& text, char* buffer, size_t capacity, size_t* needed) noexcept;

void ToC(const Measurement& m, zm_measurement& out) noexcept;

// ZM_MODE_* as the Bench's mode; nullopt for a value that is none.
std::optional<AcquisitionMode> ModeOfC(int32_t mode) noexcept;
int32_t ModeToC(AcquisitionMode mode) noexcept;
// Whether the caller's details struct has room for this version's fields.
bool DetailsFit(const zm_run_details* details) noexcept;
// Fills the caller's details, leaving struct_size as the caller set it.
void FillDetails(zm_run_details& out, AcquisitionMode mode, int32_t registersRead, int64_t lost,
                 double rate) noexcept;

void CloseRun(RunState& run) noexcept;

}  // namespace evm::capi

struct zm_bench {
  std::shared_ptr<evm::capi::BenchCore> core;
};
