#include "calibration/initial_calibration.h"

#include <cmath>

#include "calibration/eng_number.h"
#include "calibration/localize_decimal.h"
#include "common/number_text.h"
#include "evm.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm {

namespace {

constexpr double kCalibrationScale = 0.04096;
constexpr double kFullScale15Bit = 32767;
constexpr double kFullScale12Bit = 4095;

double Value(Evm& evm, const std::string& text) {
  return ParseEngNumber(text, evm.locale);
}

std::string Localized(Evm& evm, const std::string& text) {
  return LocalizeDecimal(text, evm.shell.DecimalComma);
}

bool LsbInRange(Evm& evm, double lsb) {
  const CalibrationPanel& p = evm.calibration;
  return Value(evm, p.txtMinLSB) < lsb && lsb < Value(evm, p.txtMaxLSB);
}

// The calibration register for the present LSB and shunt; negative when the
// shunt cannot be used.
double CalibrationValue(Evm& evm) {
  const double r = Value(evm, evm.calibration.txtRshunt);
  if (!(r > 0) || !std::isfinite(r)) return -1;
  return FloorOfQuotient(kCalibrationScale / (evm.registers.CurrentLsb * r));
}

// The third step up to the write: the results in their boxes and the
// calibration in the store.
bool ComputeCurrentLsb(Evm& evm, bool showMessages) {
  CalibrationPanel& p = evm.calibration;
  RegisterStore& store = evm.registers;
  auto refuse = [&](const char* message) {
    if (showMessages) evm.ui.MessageBox(message, kMessageTitle);
  };

  store.CurrentLsb = Value(evm, p.txtSelectedCurrentLSB);
  if (!LsbInRange(evm, store.CurrentLsb)) {
    refuse(kLsbOutOfRangeMessage);
    p.txtFSC_Dec.clear();
    p.txtSelectedCurrentLSB.clear();
    p.txtMaxPower.clear();
    return false;
  }
  const double r = Value(evm, p.txtRshunt);
  const double cal = CalibrationValue(evm);
  // The shunt box may have changed since its own button checked it.
  if (cal < 0) {
    refuse(kRshuntMessage);
    p.txtRshunt.clear();
    return false;
  }
  if (cal > 65535) {
    refuse(kCalibrationTooLargeMessage);
    return false;
  }
  const auto calValue = static_cast<int32_t>(cal);

  p.txtFSC_Hex = HexDigits(calValue);
  store.RegValue[5] = calValue;
  RefreshRegDisplay(evm);
  p.txtFSC_Dec = Localized(evm, std::to_string(calValue));
  p.txtMaxI = Localized(evm, FormatGeneral(store.CurrentLsb * kFullScale15Bit, evm.locale));
  p.txtMaxShunt_NoOverflow = Localized(evm, FormatGeneral(Value(evm, p.txtMaxI) * r, evm.locale));

  const double vmax = Value(evm, p.txtMaxShunt);
  const double vno = Value(evm, p.txtMaxShunt_NoOverflow);
  const double lsbTyped = Value(evm, p.txtSelectedCurrentLSB);
  if (vmax <= vno) {
    p.txtMaxShunt_NoOverflow = Localized(evm, p.txtMaxShunt);
    p.txtMaxI = FormatEngNumber(vmax / r, evm.locale);
    p.Label91 = "(Overflow Not Possible)";
  } else {
    p.Label91 = "(Overflow Possible)";
  }
  // Read in the locale's notation in both cases: a reader fixed on "." would
  // cut "3,2767" to 3 in a comma locale.
  p.txtMaxI_Hex =
      HexDigits(static_cast<int64_t>(FloorOfQuotient(Value(evm, p.txtMaxI) / lsbTyped)));

  store.PowerLsb = lsbTyped * 0.004 * 5000;
  p.txtPowerLSB = FormatEngNumber(store.PowerLsb, evm.locale);
  const double byCurrent = Value(evm, p.txtMaxI) * Value(evm, p.txtMaxBus);
  const double byRegister = store.PowerLsb * 65535;
  p.MaxPower = byCurrent < byRegister ? byCurrent : byRegister;
  p.txtMaxPower = FormatEngNumber(p.MaxPower, evm.locale);
  return true;
}

bool EnterCurrentLsb(Evm& evm, bool showMessages) {
  if (!ComputeCurrentLsb(evm, showMessages)) return false;
  CalibrationPanel& p = evm.calibration;
  WriteAllEdited(evm);
  ReadAllRegs(evm);
  p.cmdReadInitCalCurrentEnabled = true;
  p.cmdSecondCalEnabled = true;
  p.txtMeasShuntCurrent.clear();
  return true;
}

}  // namespace

double FloorOfQuotient(double value) {
  const double nearest = std::round(value);
  if (std::fabs(value - nearest) <= 1e-9 * std::max(1.0, std::fabs(value))) return nearest;
  return std::floor(value);
}

bool cmdEnterShuntR_Click(Evm& evm) {
  CalibrationPanel& p = evm.calibration;
  const double r = Value(evm, p.txtRshunt);
  if (r > 0) {
    p.txtMaxPosCur = FormatWithPattern(evm.registers.MaxShuntVoltage / r, "#.####", evm.locale);
    return true;
  }
  evm.ui.MessageBox(kRshuntMessage, kMessageTitle);
  p.txtRshunt.clear();
  return false;
}

bool cmdEnterMaxExpCur_Click(Evm& evm) {
  CalibrationPanel& p = evm.calibration;
  const double i = std::fabs(Value(evm, p.txtMaxExpectedCurrent));
  const double maxPossible = Value(evm, p.txtMaxPosCur);
  if (i > 0 && i <= maxPossible) {
    p.txtMinLSB = FormatEngNumber(i / kFullScale15Bit, evm.locale);
    p.txtMaxLSB = FormatEngNumber(i / kFullScale12Bit, evm.locale);
    return true;
  }
  evm.ui.MessageBox(kMaxExpectedCurrentMessage, kMessageTitle);
  p.txtMaxExpectedCurrent.clear();
  return false;
}

bool cmdEnterCurrentLSB_Click(Evm& evm) {
  return EnterCurrentLsb(evm, true);
}

bool CalculateCurrentLsb(Evm& evm) {
  return ComputeCurrentLsb(evm, true);
}

void txtCurrent_Decmal_LostFocus(Evm& evm, const std::string& text) {
  // The value is read, as the box is an entry box, but changes no register.
  (void)ParseEngNumber(text, evm.locale);
  RefreshRegDisplay(evm);
}

void RestoreCalibration(Evm& evm) {
  CalibrationPanel& p = evm.calibration;
  if (!(Value(evm, p.txtRshunt) > 0)) return;
  cmdEnterShuntR_Click(evm);

  const double i = Value(evm, p.txtMaxExpectedCurrent);
  if (!(i > 0 && i <= Value(evm, p.txtMaxPosCur))) return;
  cmdEnterMaxExpCur_Click(evm);

  evm.registers.CurrentLsb = Value(evm, p.txtSelectedCurrentLSB);
  if (!LsbInRange(evm, evm.registers.CurrentLsb)) return;
  const double cal = CalibrationValue(evm);
  if (cal < 0 || cal > 65535) return;
  EnterCurrentLsb(evm, false);
  p.cmdReadInitCalCurrentEnabled = false;
  p.cmdSecondCalEnabled = false;
}

}  // namespace evm
