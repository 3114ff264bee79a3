// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/measurement_log.h"
#include "acquisition/measurement_pass.h"

namespace evm {

// Start button colours while reading (they blink once per pass) and stopped.
inline constexpr uint32_t kBlinkBlue = 0xFFC0C0;
inline constexpr uint32_t kBlinkRed = 0x8080FF;
inline constexpr uint32_t kButtonFace = 0x8000000F;  // the system colour, not an RGB value

// Continuous reading, its log, and the folders the file dialogs remember.
struct MeasurementState {
  bool ContinuousRead = false;
  // Passes of the continuous read in progress.
  long ContinuousPasses = 0;
  bool LogActive = false;
  // Check mark of "Log ZM5520/1 To File".
  bool mnuLogToFile = false;
  // The one log writer, the one evmctl and the library use too.
  std::unique_ptr<MeasurementLog> logFile;
  std::string logFileName;
  // Passes since the log was opened that were read but not logged, because
  // the device did not acknowledge every read.
  long unacknowledgedPasses = 0;
  // Set when a write to the log failed, which ended logging.
  bool logWriteFailed = false;

  std::string RememberedFolder;
  std::string LastChosenFolder;

  // Lets the window redraw after each pass of the reading loop, which runs
  // inside a button's handler.
  std::function<void()> onPass;

  // Whoever follows the measurements (a plot, a monitor) gets each pass as
  // it is read; the id given back takes the listener off again.
  using PassListener = std::function<void(const MeasurementPass&)>;
  int AddPassListener(PassListener listener) {
    passListeners.emplace_back(++lastListenerId, std::move(listener));
    return lastListenerId;
  }
  void RemovePassListener(int id) {
    std::erase_if(passListeners, [id](const auto& entry) { return entry.first == id; });
  }
  std::vector<std::pair<int, PassListener>> passListeners;
  int lastListenerId = 0;
};

// The colour of the Start buttons: blue and red by turns, one pass each,
// while reading; the button face once stopped. Drawn from the reading's
// state, so the context keeps no colours.
inline uint32_t StartButtonColour(const MeasurementState& m) {
  if (!m.ContinuousRead) return kButtonFace;
  return m.ContinuousPasses % 2 == 1 ? kBlinkBlue : kBlinkRed;
}

}  // namespace evm
