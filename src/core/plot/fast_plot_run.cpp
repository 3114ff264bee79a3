// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/fast_plot_run.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "evm.h"

namespace evm {

namespace {

constexpr size_t kTakeAtOnce = 4096;

std::string EndReason(AcquisitionEnd end, uint16_t config) {
  switch (end) {
    case AcquisitionEnd::LinkSilent: return "The register link stopped answering.";
    case AcquisitionEnd::NotAcknowledged:
      return "The ZM5520/1 did not acknowledge register 00h at the start.";
    case AcquisitionEnd::PoweredDown: {
      char text[96];
      std::snprintf(text, sizeof text,
                    "Register 00h = %04Xh powers the device down: it converts nothing.", config);
      return text;
    }
    case AcquisitionEnd::Done: return "The run is complete.";
    case AcquisitionEnd::Running:
    case AcquisitionEnd::Stopped: break;
  }
  return "";
}

}  // namespace

void FastPlotFeed::Add(const std::vector<Sample>& samples, MeasurementSeries& series) {
  for (const Sample& sample : samples) {
    ++samples_;
    if (!sample.acknowledged) {
      // Its registers hold no measurement, and its time is no sample's.
      ++unacknowledged_;
      continue;
    }
    const Quantities q = ScaleSample(sample, scaling_);
    series.Append(MeasurementPass{sample.time, q.busVolts, q.shuntVolts, q.amperes, q.watts, true});
    recent_.push_back(sample.time);
  }
  if (recent_.empty()) return;
  const double newest = recent_.back();
  while (recent_.front() < newest - kRateWindowSeconds) recent_.pop_front();
}

double FastPlotFeed::Rate() const {
  if (recent_.size() < 2) return 0;
  const double span = recent_.back() - recent_.front();
  return span > 0 ? static_cast<double>(recent_.size() - 1) / span : 0;
}

std::string FastPlotRun::Start(bool twoRegisters, long samples) {
  if (run_) return "The fast capture is already running.";
  if (evm_.measurement().ContinuousRead)
    return "Stop the continuous read first: it is using the board.";
  if (!evm_.regLink().LinkOpen() && !evm_.regLink().OpenRegLink()) {
    return "No board answers on the register link.";
  }
  const RegisterStore& store = evm_.registers();
  feed_ = FastPlotFeed(Scaling{store.CurrentLsb, store.PowerLsb});
  dropped_ = 0;
  endText_.clear();
  const AcquisitionSettings settings{
      .mode = twoRegisters ? AcquisitionMode::FastTwo : AcquisitionMode::Fast,
      .deviceAddress = store.DeviceAddress & 0xFFFF,
      .samples = samples};
  Clock& clock = evm_.clock();
  run_ = std::make_unique<AcquisitionRun>(
      evm_.regLink(), clock, settings, kBufferCapacity,
      clock.Virtual() ? SampleBuffer::WhenFull::Wait : SampleBuffer::WhenFull::Drop);
  run_->Start([&clock] { return clock.StopRequested(); });
  return "";
}

void FastPlotRun::Stop() {
  if (!run_) return;
  run_->Stop();
  dropped_ = run_->Buffer().Dropped();
  run_.reset();
}

void FastPlotRun::Drain(MeasurementSeries& series) {
  if (!run_) return;
  batch_.clear();
  const bool more = run_->Buffer().Take(batch_, kTakeAtOnce, std::chrono::milliseconds(0));
  feed_.Add(batch_, series);
  if (watch_) {
    for (const Sample& sample : batch_) watch_(sample, ScaleSample(sample, feed_.SampleScaling()));
  }
  dropped_ = run_->Buffer().Dropped();
  if (!more) Finished();
}

void FastPlotRun::Finished() {
  run_->Join();
  dropped_ = run_->Buffer().Dropped();
  if (const std::exception_ptr failure = run_->Failure()) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      endText_ = std::string("The fast capture failed: ") + e.what();
    } catch (...) {
      endText_ = "The fast capture failed.";
    }
  } else {
    endText_ = EndReason(run_->End(), run_->Config());
  }
  run_.reset();
}

}  // namespace evm
