// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "common/number_locale.h"
#include "zm5520evm/calibration_refusal.h"

namespace evm {

class Evm;
struct MainPanels;

// The ranges register 00h sets: full-scale shunt and bus voltage.
struct CalibrationRanges {
  double maxShuntVolts = 0.04;
  double maxBusVolts = 16;
};
CalibrationRanges RangesOfConfig(int32_t config);

struct CalibrationInputs {
  double rshuntOhms = 0;
  double maxExpectedAmps = 0;
  double currentLsb = 0;  // amperes per bit
};

// The results as the calibration tab shows them.
struct InitialCalibrationTexts {
  std::string maxShunt, maxBus, maxPossibleCurrent, minCurrentLsb, maxCurrentLsb;
  std::string calibrationHex, calibrationDec, powerLsb, maxCurrent, maxCurrentHex;
  std::string maxShuntNoOverflow, maxPower, note;
};

// The initial calibration as numbers. Where the tab computes on with a
// rounded text it shows (the possible current, the LSB bounds, the current
// before overflow) the number is that rounded one, so both agree.
struct InitialCalibration {
  CalibrationRefusal refusal = CalibrationRefusal::None;
  double maxShuntVolts = 0;
  double maxBusVolts = 0;
  double maxPossibleAmps = 0;
  double minCurrentLsb = 0;
  double maxCurrentLsb = 0;
  double currentLsb = 0;
  uint16_t calibration = 0;  // register 05h
  double powerLsb = 0;
  double maxCurrentBeforeOverflow = 0;
  int64_t maxCurrentBeforeOverflowCode = 0;
  double maxShuntBeforeOverflow = 0;
  double maxPower = 0;
  bool overflowPossible = false;
  InitialCalibrationTexts text;

  bool Ok() const { return refusal == CalibrationRefusal::None; }
};

// The whole initial calibration without a panel, a message or a device.
InitialCalibration ComputeInitialCalibration(const CalibrationInputs& inputs,
                                             const CalibrationRanges& ranges,
                                             const NumberLocale& locale);

inline constexpr const char* kRshuntMessage = "You must choose a valid value for Rshunt";
inline constexpr const char* kMaxExpectedCurrentMessage =
    "Enter a valid value for 'Max Expected Current'.\r\n"
    "'Max Expected Current' must be less then 'Max Possable Current'";
inline constexpr const char* kLsbOutOfRangeMessage = "You selected a resolution out of range";
inline constexpr const char* kCalibrationTooLargeMessage =
    "The calibration value does not fit the 16 bit Full Scale Cal register.\r\n"
    "Choose a larger current LSB or shunt resistance.";

// The three buttons of the initial calibration; each reads the results of
// the previous one from their boxes. True when the step ran to its end.
bool cmdEnterShuntR_Click(Evm& evm, MainPanels& panels);
bool cmdEnterMaxExpCur_Click(Evm& evm, MainPanels& panels);
bool cmdEnterCurrentLSB_Click(Evm& evm, MainPanels& panels);
// The third button without storing anything on the device: the results and
// register 05h in the store only, for callers that must leave the device as
// it is (a calculation, or scaling by the calibration in use).
bool CalculateCurrentLsb(Evm& evm, MainPanels& panels);

// The focus left the bit map's value box.
void txtCurrent_Decmal_LostFocus(Evm& evm, MainPanels& panels, const std::string& text);

// The first activation's calibration from the restored inputs: each step runs
// only when the one before did and its input is valid, so no message shows.
void RestoreCalibration(Evm& evm, MainPanels& panels);

// floor() that takes a quotient lying within rounding noise of a whole
// number as that number (3.2767 / 100u is 32767, not 32766.999...).
double FloorOfQuotient(double value);

}  // namespace evm
