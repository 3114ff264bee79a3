// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scpi/scpi_tree.h"
#include "zm5520evm/bench.h"

namespace evm::scpi {

inline constexpr const char* kScpiMaker = "ZM5520-1 EVM developers";
inline constexpr const char* kScpiModel = "ZM5520/1 EVM";

// The EVM as a SCPI instrument: the tree of its commands over one Bench,
// and the monitor buffer INITiate fills. Every client has its own session
// (status and error queue); the board and the buffer are shared, so the
// caller runs one line at a time.
class ScpiInstrument {
 public:
  static constexpr size_t kMonitorCapacity = 1000;  // passes

  explicit ScpiInstrument(Bench& bench, size_t monitorCapacity = kMonitorCapacity);
  ScpiInstrument(const ScpiInstrument&) = delete;
  ScpiInstrument& operator=(const ScpiInstrument&) = delete;

  // The answers of one line, joined by ';' (empty: none).
  std::string Execute(scpi::Session& session, std::string_view line);

  // INITiate was given and the buffer has room: the server takes a pass
  // whenever no line is waiting.
  bool Monitoring() const { return monitorOwner_ != nullptr; }
  void MonitorPass();
  // A client leaves: a monitor it started ends with it.
  void Forget(const scpi::Session& session);

  std::vector<std::string> Patterns() const { return tree_.Patterns(); }

 private:
  void AddCommon();
  void AddMeasure();
  void AddRegisters();
  void AddTestBoard();
  void AddMonitor();
  void Reset();
  std::string Serial();

  Bench& bench_;
  scpi::CommandTree tree_;
  size_t capacity_;
  std::vector<Measurement> buffer_;
  scpi::Session* monitorOwner_ = nullptr;         // who started the monitor and hears of its faults
  std::optional<CalibrationResult> calibration_;  // the last CALibrate:INITial
  std::string serial_;
};

}  // namespace evm::scpi
