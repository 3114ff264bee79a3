// SPDX-License-Identifier: GPL-3.0-or-later
#include "api/c_api_support.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "common/zoned_time.h"

namespace evm::capi {

namespace {

int32_t CodeKindOf(const std::error_code& code) {
  if (!code) return ZM_CODE_NONE;
  if (code.category() == std::generic_category()) return ZM_CODE_ERRNO;
  if (code.category() == std::system_category()) return ZM_CODE_SYSTEM;
  return ZM_CODE_OTHER;
}

}  // namespace

ErrorRecord RecordOf(std::exception_ptr thrown) noexcept {
  ErrorRecord r;
  try {
    try {
      std::rethrow_exception(std::move(thrown));
    } catch (const Failure& e) {
      r.status = e.status;
      r.text = e.text;
    } catch (const ReadBackError& e) {
      r.status = ZM_ERR_READ_BACK;
      r.reg = e.reg;
      r.wanted = e.wanted;
      r.got = e.got;
      r.text = e.what();
    } catch (const ParseError& e) {
      r.status = ZM_ERR_PARSE;
      r.position = static_cast<int64_t>(e.position);
      r.text = e.what();
    } catch (const FileError& e) {
      r.status = ZM_ERR_FILE;
      r.path = e.path;
      r.code = e.code.value();
      r.codeKind = CodeKindOf(e.code);
      if (e.code) r.codeMessage = e.code.message();
      r.text = e.what();
    } catch (const NoBoardError& e) {
      r.status = ZM_ERR_NO_BOARD;
      r.text = e.what();
    } catch (const BoardNotOpenableError& e) {
      r.status = ZM_ERR_BOARD_NOT_OPENABLE;
      r.text = e.what();
    } catch (const BoardSilentError& e) {
      r.status = ZM_ERR_BOARD_SILENT;
      r.text = e.what();
    } catch (const NotAcknowledgedError& e) {
      r.status = ZM_ERR_NOT_ACKNOWLEDGED;
      r.text = e.what();
    } catch (const CancelledError& e) {
      r.status = ZM_ERR_CANCELLED;
      r.text = e.what();
    } catch (const Error& e) {
      r.status = ZM_ERR_FAILED;
      r.text = e.what();
    } catch (const std::bad_alloc&) {
      r.status = ZM_ERR_INTERNAL;
      r.text = "out of memory";
    } catch (const std::exception& e) {
      r.status = ZM_ERR_INTERNAL;
      r.text = e.what();
    } catch (...) {
      r.status = ZM_ERR_INTERNAL;
      r.text = "an unknown failure";
    }
  } catch (...) {
    // Copying a text failed: the status is still the failure's.
    if (r.status == ZM_OK) r.status = ZM_ERR_INTERNAL;
  }
  return r;
}

ErrorRecord& ThreadError() noexcept {
  thread_local ErrorRecord record;
  return record;
}

void BenchCore::Notice(const std::string& text) {
  if (options.on_notice) {
    options.on_notice(options.notice_user, text.c_str());
    return;
  }
  std::lock_guard lock(noticeMutex);
  if (notices.size() >= kMaxNotices) {
    notices.pop_front();
    ++droppedNotices;
  }
  notices.push_back(text);
}

void BenchCore::SetError(const ErrorRecord& record) {
  std::lock_guard lock(errorMutex);
  error = record;
}

zm_status BenchCore::Take(const std::shared_ptr<RunState>& forRun) {
  zm_status refused = ZM_OK;
  const char* why = "";
  {
    std::lock_guard lock(mutex);
    if (closing || !bench) {
      refused = ZM_ERR_BUSY;
      why = "the bench is being closed";
    } else if (busy) {
      refused = ZM_ERR_BUSY;
      why = run ? "the bench is busy: a measurement run holds it until the run is closed"
                : "the bench is busy with another call";
    } else if (stopKept) {
      stopKept = false;
      refused = ZM_ERR_CANCELLED;
      why = "stopped";
    } else {
      busy = true;
      run = forRun;
      bench->ClearStop();
    }
  }
  if (refused == ZM_OK) return ZM_OK;
  // A refused call leaves the record of the call that holds the bench alone.
  return FailWith(refused == ZM_ERR_BUSY ? nullptr : this, refused, why);
}

void BenchCore::Release() {
  std::lock_guard lock(mutex);
  busy = false;
  run.reset();
  if (bench) bench->ClearStop();
  idle.notify_all();
}

zm_status Fail(BenchCore* core, std::exception_ptr thrown) noexcept {
  ErrorRecord record = RecordOf(std::move(thrown));
  const zm_status status = record.status == ZM_OK ? ZM_ERR_INTERNAL : record.status;
  try {
    if (core) core->SetError(record);
    ThreadError() = std::move(record);
  } catch (...) {
    // No memory for the text: the status still tells the failure.
  }
  return status;
}

zm_status FailWith(BenchCore* core, zm_status status, const std::string& text) noexcept {
  try {
    throw Failure{status, text};
  } catch (...) {
    return Fail(core, std::current_exception());
  }
}

bool Fit(char* field, size_t size, const std::string& text) noexcept {
  if (size == 0) return text.empty();
  size_t n = std::min(text.size(), size - 1);
  // A cut inside a UTF-8 sequence would leave half a character.
  if (n < text.size()) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
  return n == text.size();
}

zm_status CopyText(const std::string& text, char* buffer, size_t capacity,
                   size_t* needed) noexcept {
  if (needed) *needed = text.size() + 1;
  if (!buffer && capacity > 0) return ZM_ERR_INVALID_ARGUMENT;
  if (!buffer) return ZM_ERR_BUFFER_TOO_SMALL;
  return Fit(buffer, capacity, text) ? ZM_OK : ZM_ERR_BUFFER_TOO_SMALL;
}

void ToC(const Measurement& m, zm_measurement& out) noexcept {
  out = zm_measurement{};
  out.time_epoch_s = EpochSecondsOf(m.timeSeconds);
  Fit(out.time, m.time);
  out.acknowledged = m.acknowledged ? 1 : 0;
  out.shunt_volts = m.shuntVolts;
  out.bus_volts = m.busVolts;
  out.amps = m.amperes;
  out.watts = m.watts;
  const size_t n = std::min<size_t>(m.raw.size(), ZM_RAW_REGISTERS);
  std::copy_n(m.raw.begin(), n, out.raw);
  out.raw_count = static_cast<int32_t>(n);
  out.current_lsb_amps = m.currentLsbAmps;
  out.power_lsb_watts = m.powerLsbWatts;
}

std::optional<AcquisitionMode> ModeOfC(int32_t mode) noexcept {
  switch (mode) {
    case ZM_MODE_PASSES: return AcquisitionMode::Passes;
    case ZM_MODE_FAST: return AcquisitionMode::Fast;
    case ZM_MODE_FAST_TWO: return AcquisitionMode::FastTwo;
    default: return std::nullopt;
  }
}

int32_t ModeToC(AcquisitionMode mode) noexcept {
  switch (mode) {
    case AcquisitionMode::Fast: return ZM_MODE_FAST;
    case AcquisitionMode::FastTwo: return ZM_MODE_FAST_TWO;
    case AcquisitionMode::Passes: break;
  }
  return ZM_MODE_PASSES;
}

bool DetailsFit(const zm_run_details* details) noexcept {
  return details && details->struct_size >= sizeof(zm_run_details);
}

void FillDetails(zm_run_details& out, AcquisitionMode mode, int32_t registersRead, int64_t lost,
                 double rate) noexcept {
  // A newer caller's larger struct keeps what lies beyond this version's fields.
  const uint32_t size = out.struct_size;
  out = zm_run_details{};
  out.struct_size = size;
  out.mode = ModeToC(mode);
  out.registers_read = registersRead;
  out.lost = lost;
  out.rate = rate;
}

}  // namespace evm::capi
