// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "acquisition/sample.h"
#include "acquisition/trigger.h"

namespace evm {

// The most samples one capture holds, the pre-trigger ones included: about
// 110 MB, over an hour at 250 samples a second. A capture that reaches it
// ends there, marked truncated, so no pre- or post-trigger time can make
// memory grow without bound.
inline constexpr size_t kMaxCaptureSamples = size_t{1} << 20;
// Longer spans are refused up front rather than truncated.
inline constexpr double kMaxCaptureSeconds = 3600;

struct CaptureSettings {
  TriggerCondition trigger{};
  double preSeconds = 0;   // kept before the trigger
  double postSeconds = 0;  // taken after it
  // Captures to take before the run ends; 0: re-armed after each one until stopped.
  long count = 1;
};

// Why settings cannot be captured with, in words; empty when they can.
std::string CaptureSettingsError(const CaptureSettings& settings);

// One capture: the samples from `preSeconds` before the trigger to the
// first at or after `postSeconds` past it, with their scaled values.
struct Capture {
  long number = 0;          // 1 for the first of a run
  double triggerTime = 0;   // the first sample past the level, in Sample::time's seconds
  size_t triggerIndex = 0;  // that sample's place in `samples`
  // Ended before its post-trigger time: at kMaxCaptureSamples, or cut by
  // the end of the run.
  bool truncated = false;
  std::vector<Sample> samples;
  std::vector<Quantities> quantities;  // one per sample

  double Seconds() const {
    return samples.empty() ? 0 : samples.back().time - samples.front().time;
  }
};

// Watches a stream of samples for the trigger and cuts captures out of it.
// It holds the last `preSeconds` of samples in a bounded ring; the trigger
// is armed once that much time has been seen, so every capture has its full
// pre-trigger time. After a capture it is armed again at once (the ring has
// gone on filling), and the next crossing starts the next one; a capture's
// pre-trigger samples may therefore hold the end of the one before.
// Samples the device did not acknowledge are no measurement and are left
// out. Pure: it reads nothing and waits for nothing, so it serves the
// virtual clock and a run's thread alike.
class TriggeredCapture {
 public:
  // Settings CaptureSettingsError refuses are a programming error: check first.
  explicit TriggeredCapture(const CaptureSettings& settings,
                            size_t maxSamples = kMaxCaptureSamples);

  // The capture this sample completes, if any.
  std::optional<Capture> Add(const Sample& sample, const Quantities& q);

  // The capture in progress, ended here and marked truncated: for a run
  // that ends before its post-trigger time is over. Counts as completed.
  std::optional<Capture> Cut();

  // Waiting for a crossing (not before the pre-trigger time is filled).
  bool Armed() const;
  // Between a trigger and the end of its post-trigger time.
  bool Triggered() const { return current_.has_value(); }
  long Completed() const { return completed_; }
  // Every capture asked for is taken (never with a count of 0).
  bool Done() const { return settings_.count > 0 && completed_ >= settings_.count; }
  const CaptureSettings& Settings() const { return settings_; }

 private:
  struct Held {
    Sample sample;
    Quantities q;
  };
  // Drops what is older than the pre-trigger time before `now`, and makes
  // room for `room` samples more within the bound.
  void Trim(double now, size_t room);
  void Keep(const Sample& sample, const Quantities& q);
  Capture Finish();

  CaptureSettings settings_;
  size_t maxSamples_;
  EdgeDetector edge_;
  std::deque<Held> ring_;  // the last preSeconds, at most maxSamples_
  std::optional<double> firstTime_;
  std::optional<Capture> current_;
  long completed_ = 0;
};

// The capture in the fast log's layout, with a second comment line for the
// trigger: "# trigger 2026-01-15 09:00:00.123456 amps>1.5 at time_s 0.100123".
std::string CaptureText(const Capture& capture, const TriggerCondition& trigger);
// "capture-20260115-090000.123456.csv" of the trigger time.
std::string CaptureFileName(const Capture& capture);
// Writes the capture into `folder` (made when missing) under its file name,
// or with "-2", "-3", ... before ".csv" when that is taken, whole or not at
// all. The file written, or nullopt with the system's reason in `ec`.
std::optional<std::filesystem::path> SaveCapture(const std::filesystem::path& folder,
                                                 const Capture& capture,
                                                 const TriggerCondition& trigger,
                                                 std::error_code& ec);

}  // namespace evm
