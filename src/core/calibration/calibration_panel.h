#pragma once

#include <string>

namespace evm {

// Texts of the calibration tab's boxes; the tab computes from them, so they
// live here and the window only mirrors them.
struct CalibrationPanel {
  std::string txtRshunt = "0.01";
  std::string txtMaxExpectedCurrent = "2";
  std::string txtSelectedCurrentLSB = "100u";
  // Follow the A/D configuration.
  std::string txtMaxShunt;
  std::string txtMaxBus;
};

}  // namespace evm
