// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/acquisition.h"
#include "plot/measurement_series.h"
#include "registers/register_ops.h"

namespace evm {

class Evm;

// What the plot makes of the samples of a fast run: each acknowledged one
// scaled and appended, the others counted, and the rate over the last
// second of the samples' own times (the consumer's clock plays no part, so
// the figure is the board's, however late the drain).
class FastPlotFeed {
 public:
  static constexpr double kRateWindowSeconds = 1.0;

  explicit FastPlotFeed(const Scaling& scaling = {}) : scaling_(scaling) {}

  void Add(const std::vector<Sample>& samples, MeasurementSeries& series);

  long Samples() const { return samples_; }
  long Unacknowledged() const { return unacknowledged_; }
  const Scaling& SampleScaling() const { return scaling_; }
  // Samples per second over the newest second; 0 until two are in it.
  double Rate() const;

 private:
  Scaling scaling_;
  long samples_ = 0;
  long unacknowledged_ = 0;
  std::deque<double> recent_;
};

// The Measurement Plot's fast mode: the acquisition engine on its worker
// thread, which holds the board's register link for the length of the run,
// drained by the user-interface thread. Whoever starts it keeps everything
// else off the link until Running() is false: by then the thread is joined.
class FastPlotRun {
 public:
  // Two seconds of the fastest pace between two drains.
  static constexpr size_t kBufferCapacity = 512;
  // The plot keeps the newest this many samples: 4.4 hours at 250 a second,
  // about 110 MB with the line summaries.
  static constexpr size_t kSeriesCapacity = 4'000'000;

  explicit FastPlotRun(Evm& evm) : evm_(evm) {}
  ~FastPlotRun() { Stop(); }
  FastPlotRun(const FastPlotRun&) = delete;
  FastPlotRun& operator=(const FastPlotRun&) = delete;

  // Empty once started; otherwise why it did not. `samples` limits the run
  // (0: until stopped). On a virtual clock the worker waits for the drain
  // instead of dropping, so every sample arrives.
  std::string Start(bool twoRegisters, long samples = 0);
  // Ends the run within one sample period and joins its thread; what it
  // had read but not yet drained is not plotted.
  void Stop();
  // Moves what the worker has read into `series`. When the run has ended
  // by itself, its thread is joined and EndText() says why.
  void Drain(MeasurementSeries& series);

  bool Running() const { return run_ != nullptr; }
  long Samples() const { return feed_.Samples(); }
  double Rate() const { return feed_.Rate(); }
  // Samples the device did not acknowledge and those the buffer had no
  // room for.
  long Lost() const { return feed_.Unacknowledged() + dropped_; }
  long Dropped() const { return dropped_; }
  // Why the last run ended by itself; empty while running or after a Stop.
  const std::string& EndText() const { return endText_; }
  // Every sample drained, with its scaled values, is handed to `watch` too
  // (a triggered capture); empty: none is.
  using SampleWatch = std::function<void(const Sample&, const Quantities&)>;
  void Watch(SampleWatch watch) { watch_ = std::move(watch); }

 private:
  void Finished();

  Evm& evm_;
  std::unique_ptr<AcquisitionRun> run_;
  FastPlotFeed feed_;
  long dropped_ = 0;
  std::string endText_;
  std::vector<Sample> batch_;
  SampleWatch watch_;
};

}  // namespace evm
