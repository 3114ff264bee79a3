#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace evm {

// Start button colours while reading (they blink once per pass) and stopped.
inline constexpr uint32_t kBlinkBlue = 0xFFC0C0;
inline constexpr uint32_t kBlinkRed = 0x8080FF;
inline constexpr uint32_t kButtonFace = 0x8000000F;  // the system colour, not an RGB value

// Continuous reading, its log, and the folders the file dialogs remember.
struct MeasurementState {
  bool ContinuousRead = false;
  bool LogActive = false;
  // Check mark of "Log ZM5520/1 To File".
  bool mnuLogToFile = false;
  std::array<uint32_t, 3> startColours{kButtonFace, kButtonFace, kButtonFace};
  std::unique_ptr<std::ofstream> logFile;
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
};

}  // namespace evm
