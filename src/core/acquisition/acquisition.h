// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <thread>

#include "acquisition/run_length.h"
#include "acquisition/sample.h"
#include "acquisition/sample_buffer.h"
#include "common/clock.h"

namespace evm {

class RegisterLink;

struct AcquisitionSettings {
  AcquisitionMode mode = AcquisitionMode::Passes;
  int deviceAddress = 0x40;
  // How long: N samples, S seconds, or (both 0) until stopped.
  long samples = 0;
  double seconds = 0;
};

// Why a run ended.
enum class AcquisitionEnd {
  Running,
  Done,             // its length is over
  Stopped,          // asked to stop, or its consumer went away
  LinkSilent,       // the register link stopped answering, or is gone
  NotAcknowledged,  // the device did not give register 00h at the start
  PoweredDown,      // the device converts nothing in the mode register 00h sets
};

struct AcquisitionCounts {
  long samples = 0;         // taken, the unacknowledged ones too
  long unacknowledged = 0;  // a register did not answer: no measurement
  long notReady = 0;        // reads that found no new conversion yet
  long dropped = 0;         // the consumer had no room for them
};

// The one pass loop of the program, for the continuous read and the fast
// modes alike: each Next() is one sample, read once. The fast modes read no
// settle time and only the registers a conversion changes, paced by the
// conversion time of register 00h and the conversion-ready bit, so no
// conversion is given twice. Every wait goes through the clock and ends
// within a few milliseconds of a stop.
class Acquirer {
 public:
  Acquirer(RegisterLink& link, Clock& clock, const AcquisitionSettings& settings);

  // The next sample, or nullopt once the run is over (see End()).
  std::optional<Sample> Next(const std::function<bool()>& stopped);

  AcquisitionEnd End() const { return end_; }
  const AcquisitionCounts& Counts() const { return counts_; }
  // Register 00h the fast modes work with; read at their first sample.
  uint16_t Config() const { return config_; }

 private:
  std::optional<Sample> NextPass();
  std::optional<Sample> NextFast(const std::function<bool()>& stopped);
  bool Start();
  // Reads one register with no settle time; the time of its reply in `at`.
  bool ReadNow(int reg, Sample& sample, int64_t& at);
  bool SleepUntil(int64_t us, const std::function<bool()>& stopped);
  int64_t NowUs();
  double TimeOf(int64_t us) const;
  std::optional<Sample> Unacknowledged(Sample sample);
  std::optional<Sample> Finish(AcquisitionEnd end);

  RegisterLink& link_;
  Clock& clock_;
  AcquisitionSettings settings_;
  RunLength length_;
  AcquisitionEnd end_ = AcquisitionEnd::Running;
  AcquisitionCounts counts_;
  bool started_ = false;

  // The clock's day as microseconds since 1970, and the last time of day
  // seen, so a run goes on counting over midnight.
  double dayStart_ = 0;
  int64_t lastOfDayUs_ = 0;
  int64_t daysPassedUs_ = 0;

  uint16_t config_ = 0;
  int64_t periodUs_ = 0;
  bool triggered_ = false;
  // The conversion-ready bit tells new conversions apart; without it the
  // pace alone does, which is sound when a sample takes longer to read
  // than a conversion.
  bool useReady_ = true;
  int64_t dueUs_ = 0;            // when the next conversion should be done
  int64_t waitingSinceUs_ = -1;  // first read that found none ready
  int64_t cycleUs_ = 0;          // what the last sample cost on the link
};

// An Acquirer on a thread of its own, which holds the board for the length
// of the run, handing samples through a bounded buffer.
class AcquisitionRun {
 public:
  AcquisitionRun(RegisterLink& link, Clock& clock, const AcquisitionSettings& settings,
                 size_t capacity, SampleBuffer::WhenFull whenFull);
  ~AcquisitionRun();
  AcquisitionRun(const AcquisitionRun&) = delete;
  AcquisitionRun& operator=(const AcquisitionRun&) = delete;

  // `stopped` is asked from the run's thread, so it must be thread-safe.
  void Start(std::function<bool()> stopped);
  SampleBuffer& Buffer() { return buffer_; }
  // Asks the run to end and waits for its thread.
  void Stop();
  // Waits for the run's thread to end by itself.
  void Join();

  // After Join or Stop.
  AcquisitionEnd End() const { return acquirer_.End(); }
  AcquisitionCounts Counts() const;
  uint16_t Config() const { return acquirer_.Config(); }
  // Anything the reading threw, rethrown on the consumer's side.
  std::exception_ptr Failure() const { return failure_; }

 private:
  Acquirer acquirer_;
  SampleBuffer buffer_;
  std::atomic<bool> stop_{false};
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace evm
