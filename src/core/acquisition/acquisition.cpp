// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/acquisition.h"

#include <algorithm>
#include <cmath>

#include "acquisition/conversion_time.h"
#include "common/date_seconds.h"
#include "registers/register_store.h"
#include "reglink/register_link.h"

namespace evm {

namespace {

constexpr int64_t kUsPerDay = 86400LL * 1000000;
// The longest piece of a wait: a stop ends the run within it.
constexpr int64_t kSliceUs = 10000;
// A device that shows no conversion-ready bit for this long (and four
// conversion times) does not give one: the pace alone then tells samples apart.
constexpr int64_t kReadyPatienceUs = 1000000;
// Without the conversion-ready bit a sample must take longer to read than
// a conversion set, with room for the link's jitter.
constexpr double kPaceMargin = 0.8;
// The longest wait before looking again for a conversion that was not yet
// done when it was due: a late sample is late by no more.
constexpr int64_t kRepollUs = 2000;

bool LinkSilent(const RegisterLink& link) {
  const LinkFault fault = link.LastFault();
  return fault == LinkFault::NoAnswer || fault == LinkFault::NoBoard;
}

}  // namespace

Acquirer::Acquirer(RegisterLink& link, Clock& clock, const AcquisitionSettings& settings)
    : link_(link), clock_(clock), settings_(settings) {
  length_.passes = settings.samples;
  length_.seconds = settings.seconds;
}

int64_t Acquirer::NowUs() {
  const auto ofDay = static_cast<int64_t>(std::llround(clock_.SecondsSinceMidnight() * 1e6));
  // Over midnight the time of day starts again; the run's time goes on.
  if (ofDay + kUsPerDay / 2 < lastOfDayUs_) daysPassedUs_ += kUsPerDay;
  lastOfDayUs_ = ofDay;
  return daysPassedUs_ + ofDay;
}

double Acquirer::TimeOf(int64_t us) const {
  return dayStart_ + static_cast<double>(us) / 1e6;
}

bool Acquirer::SleepUntil(int64_t us, const std::function<bool()>& stopped) {
  for (int64_t left = us - NowUs(); left > 0; left = us - NowUs()) {
    if (stopped()) return false;
    clock_.SleepUs(std::min(left, kSliceUs));
  }
  return !stopped();
}

std::optional<Sample> Acquirer::Finish(AcquisitionEnd end) {
  if (end_ == AcquisitionEnd::Running) end_ = end;
  return std::nullopt;
}

std::optional<Sample> Acquirer::Unacknowledged(Sample sample) {
  if (LinkSilent(link_)) return Finish(AcquisitionEnd::LinkSilent);
  sample.acknowledged = false;
  ++counts_.unacknowledged;
  ++counts_.samples;
  return sample;
}

std::optional<Sample> Acquirer::Next(const std::function<bool()>& stopped) {
  if (end_ != AcquisitionEnd::Running) return std::nullopt;
  if (!started_) {
    started_ = true;
    DateTime day = clock_.Now();
    day.hour = day.minute = day.second = 0;
    dayStart_ = SecondsOf(day);
    length_.Start(clock_);
    if (settings_.mode != AcquisitionMode::Passes && !Start()) return std::nullopt;
  }
  if (length_.Over(counts_.samples, clock_)) return Finish(AcquisitionEnd::Done);
  if (stopped()) return Finish(AcquisitionEnd::Stopped);
  return settings_.mode == AcquisitionMode::Passes ? NextPass() : NextFast(stopped);
}

std::optional<Sample> Acquirer::NextPass() {
  Sample sample;
  sample.registers = ReadRegisters(link_, settings_.deviceAddress, kNormalLastReg);
  sample.readMask = static_cast<uint8_t>((1u << (kNormalLastReg + 1)) - 1);
  sample.at = clock_.Now();
  sample.time = TimeOf(NowUs());
  if (!sample.registers.AllAcknowledged()) return Unacknowledged(sample);
  ++counts_.samples;
  return sample;
}

bool Acquirer::ReadNow(int reg, Sample& sample, int64_t& at) {
  uint8_t data[2] = {0, 0};
  const auto s = static_cast<size_t>(reg);
  sample.readMask = static_cast<uint8_t>(sample.readMask | (1u << reg));
  sample.registers.acknowledged[s] = link_.I2CRead(settings_.deviceAddress, reg, 2, data, 0);
  at = NowUs();
  if (!sample.registers.acknowledged[s]) return false;
  sample.registers.values[s] = static_cast<uint16_t>(data[0] << 8 | data[1]);
  return true;
}

bool Acquirer::Start() {
  Sample first;
  int64_t at = 0;
  if (!ReadNow(0, first, at)) {
    Finish(LinkSilent(link_) ? AcquisitionEnd::LinkSilent : AcquisitionEnd::NotAcknowledged);
    return false;
  }
  config_ = first.registers.values[0];
  periodUs_ = ConversionSetMicroseconds(config_);
  const ConversionMode mode = ModeOfConfig(config_);
  if (mode == ConversionMode::PowerDown) {
    Finish(AcquisitionEnd::PoweredDown);
    return false;
  }
  triggered_ = mode == ConversionMode::Triggered;
  dueUs_ = at;
  return true;
}

std::optional<Sample> Acquirer::NextFast(const std::function<bool()>& stopped) {
  const size_t cfg = 0;
  for (;;) {
    Sample sample;
    sample.registers.deviceAddress = settings_.deviceAddress;
    sample.registers.lastReg = 4;
    sample.registers.values[cfg] = config_;
    sample.registers.acknowledged[cfg] = true;
    sample.readMask = 1;
    if (triggered_ && waitingSinceUs_ < 0) {
      // A triggered device converts once for each write of register 00h.
      const uint8_t data[2] = {static_cast<uint8_t>(config_ >> 8),
                               static_cast<uint8_t>(config_ & 0xFF)};
      if (!link_.I2CWrite(settings_.deviceAddress, 0, 2, data, 0)) return Unacknowledged(sample);
      dueUs_ = NowUs() + periodUs_;
    }
    // The device looks at a request half-way through the read, so a read
    // sent when the conversion is due finds it done.
    if (!SleepUntil(dueUs_, stopped)) return Finish(AcquisitionEnd::Stopped);

    const int64_t startUs = NowUs();
    int64_t at = startUs;
    if (!ReadNow(2, sample, at)) return Unacknowledged(sample);
    const int64_t busCost = at - startUs;
    const bool ready = (sample.registers.values[2] & 0x2) != 0;
    if (useReady_ && !ready) {
      ++counts_.notReady;
      if (waitingSinceUs_ < 0) waitingSinceUs_ = at;
      if (at - waitingSinceUs_ < std::max(kReadyPatienceUs, 4 * periodUs_)) {
        dueUs_ = at + std::min<int64_t>(periodUs_ / 16, kRepollUs);
        continue;
      }
      useReady_ = false;
    }
    waitingSinceUs_ = -1;
    // The next conversion is due one period after this one; the read that
    // looks for it should get its reply then.
    dueUs_ = at - busCost + periodUs_;

    const bool fast = settings_.mode == AcquisitionMode::Fast;
    // Power last: reading it clears the conversion-ready bit.
    for (const int reg : {1, 4, 3}) {
      if (reg == 1 && !fast) continue;
      if (reg == 3 && !fast && !useReady_) continue;
      if (!ReadNow(reg, sample, at)) return Unacknowledged(sample);
    }
    sample.time = TimeOf(at);
    const int64_t cycle = at - startUs;
    if (!fast && cycleUs_ == 0 && useReady_) {
      // Two registers a sample: where each read of a register comes more
      // than a conversion after the last one, no conversion is read twice
      // and the power register need not be read to clear the ready bit.
      const int64_t twoReads = cycle * 2 / 3;
      useReady_ = static_cast<double>(periodUs_) >= kPaceMargin * static_cast<double>(twoReads);
    }
    cycleUs_ = cycle;
    ++counts_.samples;
    return sample;
  }
}

AcquisitionRun::AcquisitionRun(RegisterLink& link, Clock& clock,
                               const AcquisitionSettings& settings, size_t capacity,
                               SampleBuffer::WhenFull whenFull)
    : acquirer_(link, clock, settings), buffer_(capacity, whenFull) {}

AcquisitionRun::~AcquisitionRun() {
  Stop();
}

void AcquisitionRun::Start(std::function<bool()> stopped) {
  thread_ = std::thread([this, stopped = std::move(stopped)] {
    const std::function<bool()> stopNow = [&] { return stop_.load() || (stopped && stopped()); };
    try {
      while (auto sample = acquirer_.Next(stopNow)) {
        if (!buffer_.Push(*sample)) stop_ = true;
      }
    } catch (...) {
      failure_ = std::current_exception();
    }
    buffer_.Finish();
  });
}

void AcquisitionRun::Stop() {
  stop_ = true;
  buffer_.Abandon();
  Join();
}

void AcquisitionRun::Join() {
  if (thread_.joinable()) thread_.join();
}

AcquisitionCounts AcquisitionRun::Counts() const {
  AcquisitionCounts counts = acquirer_.Counts();
  counts.dropped = buffer_.Dropped();
  return counts;
}

}  // namespace evm
