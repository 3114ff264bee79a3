// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/capture.h"

#include <charconv>
#include <cmath>

#include "acquisition/fast_log.h"
#include "common/atomic_file.h"

namespace evm {

namespace {

// Sample times are whole microseconds; a span compared in doubles may miss
// by a rounding, which must not cost a sample.
constexpr double kTimeSlack = 1e-9;

// Names tried after the trigger time's own, before giving up.
constexpr int kMaxNameTries = 1000;

bool Within(double seconds) {
  return std::isfinite(seconds) && seconds >= 0 && seconds <= kMaxCaptureSeconds;
}

std::string Fixed6(double value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  return std::string(text, end.ptr);
}

}  // namespace

std::string CaptureSettingsError(const CaptureSettings& settings) {
  const std::string limit = std::to_string(static_cast<int>(kMaxCaptureSeconds));
  if (!Within(settings.preSeconds)) {
    return "the pre-trigger time must be 0 to " + limit + " seconds";
  }
  if (!Within(settings.postSeconds)) {
    return "the post-trigger time must be 0 to " + limit + " seconds";
  }
  if (settings.count < 0) return "the count of captures must be 0 (no end) or more";
  if (!std::isfinite(settings.trigger.level)) return "the trigger level must be a number";
  return {};
}

TriggeredCapture::TriggeredCapture(const CaptureSettings& settings, size_t maxSamples)
    : settings_(settings), maxSamples_(maxSamples < 2 ? 2 : maxSamples), edge_(settings.trigger) {}

bool TriggeredCapture::Armed() const {
  if (current_ || Done() || !firstTime_ || ring_.empty()) return false;
  return ring_.back().sample.time - *firstTime_ + kTimeSlack >= settings_.preSeconds;
}

void TriggeredCapture::Trim(double now, size_t room) {
  const double oldest = now - settings_.preSeconds - kTimeSlack;
  while (!ring_.empty() && ring_.front().sample.time < oldest) ring_.pop_front();
  // Half for the pre-trigger samples, so the post-trigger ones always have room.
  while (!ring_.empty() && ring_.size() + room > maxSamples_ / 2) ring_.pop_front();
}

void TriggeredCapture::Keep(const Sample& sample, const Quantities& q) {
  Trim(sample.time, 1);
  ring_.push_back({sample, q});
}

std::optional<Capture> TriggeredCapture::Add(const Sample& sample, const Quantities& q) {
  if (!sample.acknowledged || Done()) return std::nullopt;
  if (!firstTime_) firstTime_ = sample.time;
  const bool crossed = edge_.Crossed(TriggerValue(settings_.trigger.source, q));
  if (current_) {
    current_->samples.push_back(sample);
    current_->quantities.push_back(q);
    Keep(sample, q);
    const bool over = sample.time + kTimeSlack >= current_->triggerTime + settings_.postSeconds;
    if (over || current_->samples.size() >= maxSamples_) {
      current_->truncated = !over;
      return Finish();
    }
    return std::nullopt;
  }
  const bool armed = Armed();
  if (!crossed || !armed) {
    Keep(sample, q);
    return std::nullopt;
  }
  // The pre-trigger time counts back from the trigger itself.
  Trim(sample.time, 0);
  Capture c;
  c.triggerTime = sample.time;
  c.triggerIndex = ring_.size();
  c.samples.reserve(ring_.size() + 1);
  c.quantities.reserve(ring_.size() + 1);
  for (const Held& held : ring_) {
    c.samples.push_back(held.sample);
    c.quantities.push_back(held.q);
  }
  c.samples.push_back(sample);
  c.quantities.push_back(q);
  current_ = std::move(c);
  Keep(sample, q);
  if (settings_.postSeconds <= 0) return Finish();
  return std::nullopt;
}

std::optional<Capture> TriggeredCapture::Cut() {
  if (!current_) return std::nullopt;
  current_->truncated = true;
  return Finish();
}

Capture TriggeredCapture::Finish() {
  Capture done = std::move(*current_);
  current_.reset();
  done.number = ++completed_;
  return done;
}

std::string CaptureText(const Capture& capture, const TriggerCondition& trigger) {
  const double start = capture.samples.empty() ? capture.triggerTime : capture.samples[0].time;
  std::string header = FastLog::Header(start);
  const size_t firstLine = header.find('\n') + 1;
  header.insert(firstLine, "# trigger " + MicrosecondStampText(capture.triggerTime) + " " +
                               TriggerText(trigger) + " at time_s " +
                               Fixed6(capture.triggerTime - start) + "\n");
  std::string text = std::move(header);
  text.reserve(text.size() + capture.samples.size() * 64);
  for (size_t i = 0; i < capture.samples.size(); ++i) {
    text += FastLog::LineAt(start, capture.samples[i], capture.quantities[i]);
  }
  return text;
}

std::string CaptureFileName(const Capture& capture) {
  // "2026-01-15 09:00:00.123456" -> "20260115-090000.123456"
  std::string stamp;
  for (const char c : MicrosecondStampText(capture.triggerTime)) {
    if (c == ' ') {
      stamp += '-';
    } else if (c != '-' && c != ':') {
      stamp += c;
    }
  }
  return "capture-" + stamp + ".csv";
}

std::optional<std::filesystem::path> SaveCapture(const std::filesystem::path& folder,
                                                 const Capture& capture,
                                                 const TriggerCondition& trigger,
                                                 std::error_code& ec) {
  ec.clear();
  std::filesystem::create_directories(folder, ec);
  if (ec) return std::nullopt;
  if (!std::filesystem::is_directory(folder, ec)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    return std::nullopt;
  }
  const std::string name = CaptureFileName(capture);
  const std::string stem = name.substr(0, name.size() - 4);
  const std::string text = CaptureText(capture, trigger);
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::filesystem::path path =
        folder / (n == 1 ? name : stem + "-" + std::to_string(n) + ".csv");
    // An earlier capture of the same instant (a virtual clock starts each
    // run at the same time) is kept, not replaced.
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) continue;
    if (!WriteFileAtomically(path, text, ec)) return std::nullopt;
    return path;
  }
  ec = std::make_error_code(std::errc::file_exists);
  return std::nullopt;
}

}  // namespace evm
