#pragma once

#include <string>

namespace evm {

class Evm;

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
bool cmdEnterShuntR_Click(Evm& evm);
bool cmdEnterMaxExpCur_Click(Evm& evm);
bool cmdEnterCurrentLSB_Click(Evm& evm);
// The third button without storing anything on the device: the results and
// register 05h in the store only, for callers that must leave the device as
// it is (a calculation, or scaling by the calibration in use).
bool CalculateCurrentLsb(Evm& evm);

// The focus left the bit map's value box.
void txtCurrent_Decmal_LostFocus(Evm& evm, const std::string& text);

// The first activation's calibration from the restored inputs: each step runs
// only when the one before did and its input is valid, so no message shows.
void RestoreCalibration(Evm& evm);

// floor() that takes a quotient lying within rounding noise of a whole
// number as that number (3.2767 / 100u is 32767, not 32766.999...).
double FloorOfQuotient(double value);

}  // namespace evm
