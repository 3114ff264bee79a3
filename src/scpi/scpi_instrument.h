// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "acquisition/statistics.h"
#include "scpi/scpi_errors.h"
#include "scpi/scpi_tree.h"
#include "zm5520evm/bench.h"

namespace evm::scpi {

inline constexpr const char* kScpiMaker = "ZM5520-1 EVM developers";
inline constexpr const char* kScpiModel = "ZM5520/1 EVM";

// The EVM as a SCPI instrument: the tree of its commands over one Bench,
// and the monitor runs INITiate starts. Every client has its own session
// (status, error queue, acquisition mode and monitor buffer); the server
// runs one line at a time. A monitor run reads on a thread of its own and
// holds the board until every client that INITiated it has ABORted, left or
// filled its buffer; board commands meanwhile answer an error at once.
class ScpiInstrument {
 public:
  // Samples each client's buffer holds until FETCh? takes them: about a
  // minute of the fastest mode, under 1 MB.
  static constexpr size_t kMonitorCapacity = 16384;

  explicit ScpiInstrument(Bench& bench, size_t monitorCapacity = kMonitorCapacity);
  ~ScpiInstrument();
  ScpiInstrument(const ScpiInstrument&) = delete;
  ScpiInstrument& operator=(const ScpiInstrument&) = delete;

  // The answers of one line, joined by ';' (empty: none).
  std::string Execute(scpi::Session& session, std::string_view line);

  // A monitor run holds the board.
  bool Running() const;
  // Waits for the run to end by itself: its clients' buffers full, its
  // length over or the board failing. Returns at once when none runs.
  void WaitForRun();
  // A client leaves: it collects no more, and a run only it took ends.
  void Forget(const scpi::Session& session);

  std::vector<std::string> Patterns() const { return tree_.Patterns(); }

 private:
  // One sample as FETCh? gives it.
  struct Point {
    double time = 0;
    double busVolts = 0;
    double shuntVolts = 0;
    double amperes = 0;
    double watts = 0;
  };
  struct Client {
    scpi::Session* session = nullptr;
    AcquisitionMode mode = AcquisitionMode::Passes;
    bool collecting = false;
    std::deque<Point> samples;
    // Of every sample collected since its last INITiate, fetched or not:
    // what CALCulate answers. Empty until the first INITiate.
    std::optional<Statistics> stats;
    // Told by the run's thread, reported on the server's.
    std::vector<scpi::QueuedError> pending;
  };

  void AddCommon();
  void AddMeasure();
  void AddRegisters();
  void AddTestBoard();
  void AddMonitor();
  void AddCalculate();
  void Reset(scpi::Session& session);
  std::string Serial();

  // The board for a command, refused while a run holds it.
  template <typename F>
  auto Board(F&& f) -> decltype(f());
  Client& ClientOf(scpi::Session& session);  // under mutex_
  void Deliver();
  void Initiate(scpi::Session& session);
  // Ends `session`'s collecting, and the run when nobody else collects.
  void Abort(const scpi::Session& session, bool forget);
  void Produce(AcquisitionMode mode, std::stop_token stop);
  void Collect(const Measurement& m);
  void JoinRun();

  Bench& bench_;
  scpi::CommandTree tree_;
  const size_t capacity_;
  std::optional<CalibrationResult> calibration_;  // the last CALibrate:INITial
  std::string serial_;

  mutable std::mutex mutex_;
  std::map<const scpi::Session*, Client> clients_;
  bool running_ = false;  // from INITiate until the run's thread let go of the board
  AcquisitionMode runMode_ = AcquisitionMode::Passes;
  std::stop_source stop_;
  std::thread run_;
};

}  // namespace evm::scpi
