// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace evm::gui {

struct ScreenshotTourOptions {
  std::filesystem::path outputFolder;
  // State files of the run; a temporary folder when not given.
  std::optional<std::filesystem::path> stateFolder;
  uint16_t vendorId = 0;
  // The simulated load, so a picture can show a load step or pulse.
  std::string simLoad{};
};

struct ScreenshotReport {
  std::vector<std::string> written;  // picture names, without ".png"
  std::vector<std::string> failed;   // "<picture name>: <why>"
  // What the program asked or showed the user on the way; a tour that went
  // as planned shows nothing.
  std::vector<std::string> shown;
};

// Runs the program on the simulated EVM the way a user would (load, first
// activation, "Read All Reg", the board windows, a finished script) and saves
// every window as outputFolder/<window name>.png, one picture per tab of the
// main window. Needs a QApplication; no dialog waits for anyone.
ScreenshotReport RunScreenshotTour(const ScreenshotTourOptions& options);

// The tour for the program's --screenshots: reports on standard error and
// gives the exit status, 1 when a picture is missing.
int ScreenshotMode(const ScreenshotTourOptions& options);

}  // namespace evm::gui
