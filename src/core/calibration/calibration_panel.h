// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace evm {

// Texts of the calibration tab's boxes; the tab computes from them (each
// step reads the results of the one before back from its boxes), so they
// live here and the window only mirrors them.
struct CalibrationPanel {
  // Initial calibration.
  std::string txtRshunt = "0.01";
  std::string txtMaxShunt;  // follows the A/D configuration
  std::string txtMaxBus;    // follows the A/D configuration
  std::string txtMaxPosCur;
  std::string txtMaxExpectedCurrent = "2";
  std::string txtMinLSB;
  std::string txtMaxLSB;
  std::string txtSelectedCurrentLSB = "100u";
  std::string txtFSC_Hex;
  std::string txtFSC_Dec;
  std::string txtPowerLSB;
  std::string txtMaxI;
  std::string txtMaxI_Hex;
  std::string txtMaxShunt_NoOverflow;
  std::string Label91 = "(Note)";
  std::string txtMaxPower;
  double MaxPower = 0;

  // Second calibration.
  std::string txtMeasShuntCurrent;
  std::string txtQMA740_Current;
  std::string txtNewFullScaleCal_dec;
  std::string txtNewFullScaleCal;
  std::string txtPostCal_Current;
  bool cmdReadInitCalCurrentEnabled = false;
  bool cmdSecondCalEnabled = false;
};

}  // namespace evm
