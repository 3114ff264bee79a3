// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/initial_calibration.h"

#include <cmath>
#include <optional>

#include "calibration/restored_calibration.h"
#include "common/eng_number.h"
#include "common/localize_decimal.h"
#include "common/number_text.h"
#include "evm.h"
#include "main_panels.h"
#include "registers/config_fields.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm {

namespace {

constexpr double kCalibrationScale = 0.04096;
constexpr double kFullScale15Bit = 32767;
constexpr double kFullScale12Bit = 4095;

// Texts to numbers and back as the tab does it, in one locale.
struct Numbers {
  const NumberLocale& locale;
  int decimalComma;

  double Value(const std::string& text) const { return ParseEngNumber(text, locale); }
  std::string Localized(const std::string& text) const {
    return LocalizeDecimal(text, decimalComma);
  }
};

Numbers NumbersOf(Evm& evm) {
  return Numbers{evm.locale(), evm.shell().DecimalComma};
}

std::string MaxPossibleText(double r, double maxShuntVolts, const Numbers& n) {
  return FormatWithPattern(maxShuntVolts / r, "#.####", n.locale);
}

// Relative difference within which two numbers are one quantity: far below
// the five significant digits the tab shows, far above a double's last bit.
constexpr double kSameQuantity = 1e-12;

// The third step's checks, in the tab's order; `cal` receives register 05h.
CalibrationRefusal CheckCurrentLsb(double lsb, double r, double minShown, double maxShown,
                                   double& cal) {
  if (!(minShown < lsb && lsb < maxShown)) return CalibrationRefusal::CurrentLsb;
  if (!(r > 0) || !std::isfinite(r)) return CalibrationRefusal::Rshunt;
  cal = FloorOfQuotient(kCalibrationScale / (lsb * r));
  if (cal > 65535) return CalibrationRefusal::TooLarge;
  return CalibrationRefusal::None;
}

struct LsbResults {
  InitialCalibrationTexts text;
  double powerLsb = 0;
  double maxPower = 0;
};

// The third step's results from the register value, the LSB, the shunt and
// the range boxes; each result is read back from its text, as the tab does.
LsbResults CurrentLsbResults(int32_t cal, double lsb, double r, const std::string& maxShuntText,
                             const std::string& maxBusText, const Numbers& n) {
  LsbResults out;
  InitialCalibrationTexts& t = out.text;
  t.calibrationHex = HexDigits(cal);
  t.calibrationDec = n.Localized(std::to_string(cal));
  t.maxCurrent = n.Localized(FormatGeneral(lsb * kFullScale15Bit, n.locale));
  t.maxShuntNoOverflow = n.Localized(FormatGeneral(n.Value(t.maxCurrent) * r, n.locale));

  const double vmax = n.Value(maxShuntText);
  const double vno = n.Value(t.maxShuntNoOverflow);
  if (vmax <= vno) {
    t.maxShuntNoOverflow = n.Localized(maxShuntText);
    t.maxCurrent = FormatEngNumber(vmax / r, n.locale);
    t.note = "(Overflow Not Possible)";
  } else {
    t.note = "(Overflow Possible)";
  }
  // Read in the locale's notation in both cases: a reader fixed on "." would
  // cut "3,2767" to 3 in a comma locale.
  t.maxCurrentHex = HexDigits(static_cast<int64_t>(FloorOfQuotient(n.Value(t.maxCurrent) / lsb)));

  out.powerLsb = lsb * 0.004 * 5000;
  t.powerLsb = FormatEngNumber(out.powerLsb, n.locale);
  const double byCurrent = n.Value(t.maxCurrent) * n.Value(maxBusText);
  const double byRegister = out.powerLsb * 65535;
  out.maxPower = byCurrent < byRegister ? byCurrent : byRegister;
  t.maxPower = FormatEngNumber(out.maxPower, n.locale);
  return out;
}

// The tab's three steps, each on what the step before it left. The buttons
// take their inputs from the boxes, ComputeInitialCalibration from its
// arguments; both run these, so there is one calibration path.

// Step 1, the shunt: the Max Possible Current as the tab shows it, none
// when the shunt is refused.
std::optional<std::string> RshuntStep(double r, double maxShuntVolts, const Numbers& n) {
  if (!(r > 0)) return std::nullopt;
  return MaxPossibleText(r, maxShuntVolts, n);
}

struct LsbRangeTexts {
  std::string min, max;
};

// Step 2, the expected current, taken by its size: the range of the LSB,
// none when it does not fit the Max Possible Current.
std::optional<LsbRangeTexts> ExpectedCurrentStep(double expected, double maxPossible,
                                                 const NumberLocale& locale) {
  const double i = std::fabs(expected);
  if (!(i > 0 && i <= maxPossible)) return std::nullopt;
  return LsbRangeTexts{FormatEngNumber(i / kFullScale15Bit, locale),
                       FormatEngNumber(i / kFullScale12Bit, locale)};
}

struct LsbStep {
  CalibrationRefusal refusal = CalibrationRefusal::None;
  int32_t calibration = 0;
  LsbResults results;
};

// Step 3, the LSB within the range the tab shows: register 05h and what
// follows from it.
LsbStep CurrentLsbStep(double lsb, double r, double minShown, double maxShown,
                       const std::string& maxShuntText, const std::string& maxBusText,
                       const Numbers& n) {
  LsbStep step;
  double cal = 0;
  step.refusal = CheckCurrentLsb(lsb, r, minShown, maxShown, cal);
  if (step.refusal != CalibrationRefusal::None) return step;
  step.calibration = static_cast<int32_t>(cal);
  step.results = CurrentLsbResults(step.calibration, lsb, r, maxShuntText, maxBusText, n);
  return step;
}

// The third step up to the write: the results in their boxes and the
// calibration in the store.
bool ComputeCurrentLsb(Evm& evm, MainPanels& panels, bool showMessages) {
  CalibrationPanel& p = panels.calibration;
  RegisterStore& store = evm.registers();
  const Numbers n = NumbersOf(evm);
  auto refuse = [&](const char* message) {
    if (showMessages) evm.ui().MessageBox(message, kMessageTitle);
  };

  store.CurrentLsb = n.Value(p.txtSelectedCurrentLSB);
  const double r = n.Value(p.txtRshunt);
  const LsbStep step = CurrentLsbStep(store.CurrentLsb, r, n.Value(p.txtMinLSB),
                                      n.Value(p.txtMaxLSB), p.txtMaxShunt, p.txtMaxBus, n);
  switch (step.refusal) {
    case CalibrationRefusal::CurrentLsb:
      refuse(kLsbOutOfRangeMessage);
      p.txtFSC_Dec.clear();
      p.txtSelectedCurrentLSB.clear();
      p.txtMaxPower.clear();
      return false;
    // The shunt box may have changed since its own button checked it.
    case CalibrationRefusal::Rshunt:
      refuse(kRshuntMessage);
      p.txtRshunt.clear();
      return false;
    case CalibrationRefusal::TooLarge: refuse(kCalibrationTooLargeMessage); return false;
    default: break;
  }
  store.RegValue[5] = step.calibration;
  RefreshRegDisplay(evm, panels);

  const LsbResults& results = step.results;
  const InitialCalibrationTexts& t = results.text;
  p.txtFSC_Hex = t.calibrationHex;
  p.txtFSC_Dec = t.calibrationDec;
  p.txtMaxI = t.maxCurrent;
  p.txtMaxShunt_NoOverflow = t.maxShuntNoOverflow;
  p.Label91 = t.note;
  p.txtMaxI_Hex = t.maxCurrentHex;
  store.PowerLsb = results.powerLsb;
  p.txtPowerLSB = t.powerLsb;
  p.MaxPower = results.maxPower;
  p.txtMaxPower = t.maxPower;
  return true;
}

bool EnterCurrentLsb(Evm& evm, MainPanels& panels, bool showMessages) {
  if (!ComputeCurrentLsb(evm, panels, showMessages)) return false;
  CalibrationPanel& p = panels.calibration;
  WriteAllEdited(evm, panels);
  ReadAllRegs(evm, panels);
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

CalibrationRanges RangesOfConfig(int32_t config) {
  return CalibrationRanges{MaxShuntVoltageOf(FieldOf(config, kConfigPga)),
                           FieldOf(config, kConfigBusRange) == 0 ? 16.0 : 32.0};
}

InitialCalibration ComputeInitialCalibration(const CalibrationInputs& in,
                                             const CalibrationRanges& ranges,
                                             const NumberLocale& locale) {
  const Numbers n{locale, locale.decimalSeparator == ',' ? 1 : 0};
  InitialCalibration c;
  InitialCalibrationTexts& t = c.text;
  t.maxShunt = n.Localized(FormatGeneral(ranges.maxShuntVolts, locale));
  t.maxBus = n.Localized(FormatGeneral(ranges.maxBusVolts, locale));
  c.maxShuntVolts = n.Value(t.maxShunt);
  c.maxBusVolts = n.Value(t.maxBus);

  const double r = in.rshuntOhms;
  const auto maxPossible = RshuntStep(r, c.maxShuntVolts, n);
  if (!maxPossible) {
    c.refusal = CalibrationRefusal::Rshunt;
    return c;
  }
  t.maxPossibleCurrent = *maxPossible;
  c.maxPossibleAmps = n.Value(t.maxPossibleCurrent);

  const auto range = ExpectedCurrentStep(in.maxExpectedAmps, c.maxPossibleAmps, locale);
  if (!range) {
    c.refusal = CalibrationRefusal::MaxExpectedCurrent;
    return c;
  }
  t.minCurrentLsb = range->min;
  t.maxCurrentLsb = range->max;
  c.minCurrentLsb = n.Value(t.minCurrentLsb);
  c.maxCurrentLsb = n.Value(t.maxCurrentLsb);

  // The tab compares the value of its box's text with those of the shown
  // limits. A number given as a number is the same quantity when it is a
  // shown limit but for the last bits of its binary form (61.037e-6 against
  // the text "61.037u"): it compares as that limit.
  c.currentLsb = in.currentLsb;
  for (const double shown : {c.minCurrentLsb, c.maxCurrentLsb}) {
    if (std::fabs(c.currentLsb - shown) <= kSameQuantity * shown) c.currentLsb = shown;
  }
  const LsbStep step =
      CurrentLsbStep(c.currentLsb, r, c.minCurrentLsb, c.maxCurrentLsb, t.maxShunt, t.maxBus, n);
  c.refusal = step.refusal;
  if (!c.Ok()) return c;
  c.calibration = static_cast<uint16_t>(step.calibration);
  const LsbResults& results = step.results;
  const InitialCalibrationTexts kept = t;
  t = results.text;
  t.maxShunt = kept.maxShunt;
  t.maxBus = kept.maxBus;
  t.maxPossibleCurrent = kept.maxPossibleCurrent;
  t.minCurrentLsb = kept.minCurrentLsb;
  t.maxCurrentLsb = kept.maxCurrentLsb;
  c.powerLsb = results.powerLsb;
  c.maxPower = results.maxPower;
  c.maxCurrentBeforeOverflow = n.Value(t.maxCurrent);
  c.maxCurrentBeforeOverflowCode =
      static_cast<int64_t>(FloorOfQuotient(c.maxCurrentBeforeOverflow / c.currentLsb));
  c.maxShuntBeforeOverflow = n.Value(t.maxShuntNoOverflow);
  c.overflowPossible = t.note == "(Overflow Possible)";
  return c;
}

bool cmdEnterShuntR_Click(Evm& evm, MainPanels& panels) {
  CalibrationPanel& p = panels.calibration;
  const Numbers n = NumbersOf(evm);
  if (const auto maxPossible =
          RshuntStep(n.Value(p.txtRshunt), evm.registers().MaxShuntVoltage, n)) {
    p.txtMaxPosCur = *maxPossible;
    return true;
  }
  evm.ui().MessageBox(kRshuntMessage, kMessageTitle);
  p.txtRshunt.clear();
  return false;
}

bool cmdEnterMaxExpCur_Click(Evm& evm, MainPanels& panels) {
  CalibrationPanel& p = panels.calibration;
  const Numbers n = NumbersOf(evm);
  if (const auto range = ExpectedCurrentStep(n.Value(p.txtMaxExpectedCurrent),
                                             n.Value(p.txtMaxPosCur), evm.locale())) {
    p.txtMinLSB = range->min;
    p.txtMaxLSB = range->max;
    return true;
  }
  evm.ui().MessageBox(kMaxExpectedCurrentMessage, kMessageTitle);
  p.txtMaxExpectedCurrent.clear();
  return false;
}

bool cmdEnterCurrentLSB_Click(Evm& evm, MainPanels& panels) {
  return EnterCurrentLsb(evm, panels, true);
}

bool CalculateCurrentLsb(Evm& evm, MainPanels& panels) {
  return ComputeCurrentLsb(evm, panels, true);
}

void txtCurrent_Decmal_LostFocus(Evm& evm, MainPanels& panels, const std::string& text) {
  // The value is read, as the box is an entry box, but changes no register.
  (void)ParseEngNumber(text, evm.locale());
  RefreshRegDisplay(evm, panels);
}

void RestoreCalibration(Evm& evm, MainPanels& panels) {
  CalibrationPanel& p = panels.calibration;
  const Numbers n = NumbersOf(evm);
  const RegisterStore& store = evm.registers();
  const RestoredCalibration restored = RestoreCalibrationInputs(
      {n.Value(p.txtRshunt), n.Value(p.txtMaxExpectedCurrent), n.Value(p.txtSelectedCurrentLSB)},
      {store.MaxShuntVoltage, static_cast<double>(store.BusFullScale)});
  if (restored.reached == RestoredStep::None) return;
  cmdEnterShuntR_Click(evm, panels);
  if (restored.reached == RestoredStep::Rshunt) return;
  cmdEnterMaxExpCur_Click(evm, panels);
  evm.registers().CurrentLsb = restored.scaling.currentLsb;
  if (restored.reached == RestoredStep::CurrentLsbRejected) return;
  EnterCurrentLsb(evm, panels, false);
  p.cmdReadInitCalCurrentEnabled = false;
  p.cmdSecondCalEnabled = false;
}

}  // namespace evm
