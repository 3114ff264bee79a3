// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/second_calibration.h"

#include <cmath>
#include <string>

#include "calibration/initial_calibration.h"
#include "common/eng_number.h"
#include "evm.h"
#include "main_panels.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm {

namespace {

// Digits with "." as the decimal point, up to the first other character, as
// the calibration's decimal box is read back; empty text reads as 0.
double PlainDecimal(const std::string& text) {
  std::string run;
  bool point = false;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) run.push_back(text[i++]);
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      run.push_back(c);
    } else if (c == '.' && !point) {
      point = true;
      run.push_back(c);
    } else {
      break;
    }
  }
  return ParseEngNumber(run, NumberLocale::Point());
}

}  // namespace

void cmdReadInitCalCurrent_Click(Evm& evm, MainPanels& panels) {
  CalibrationPanel& p = panels.calibration;
  ReadAllRegs(evm, panels);
  p.txtQMA740_Current = panels.registerPanel.cmd_I_shunt;
  p.txtPostCal_Current.clear();
  p.txtNewFullScaleCal.clear();
  p.cmdReadInitCalCurrentEnabled = false;
}

bool cmdSecondCal_Click(Evm& evm, MainPanels& panels) {
  CalibrationPanel& p = panels.calibration;
  const double meas = ParseEngNumber(p.txtMeasShuntCurrent, evm.locale());
  const double imax = ParseEngNumber(p.txtMaxI, evm.locale());
  if (std::fabs(meas) > imax) {
    evm.ui().MessageBox(
        "Your measured current is larger then the max shunt current without overflow (Imax= " +
            p.txtMaxI + "A ).\r\n" + kMeasurementMakeLowerLine,
        kMessageTitle);
    return false;
  }
  ReadAllRegs(evm, panels);
  const double dev = ParseEngNumber(p.txtQMA740_Current, evm.locale());
  const double cal = PlainDecimal(p.txtFSC_Dec);
  // A device that reported no current gives no ratio to correct by; a metered
  // current of zero (or none typed) would write a calibration of 0 and leave
  // the device reporting no current at all.
  const double n = dev == 0 || meas == 0 ? -1 : FloorOfQuotient((cal * meas) / dev);
  if (!(n >= 0 && n <= 65534)) {
    evm.ui().MessageBox(kSecondCalRangeMessage, kMessageTitle);
    return false;
  }
  const auto value = static_cast<int32_t>(n) & 0xFFFE;
  p.txtNewFullScaleCal_dec = std::to_string(value);
  p.txtNewFullScaleCal = HexDigits(value);

  RegisterStore& store = evm.registers();
  store.RegValue[5] = value;
  store.RegEdited[5] = true;
  WriteAllEdited(evm, panels);
  RefreshRegDisplay(evm, panels);
  ReadAllRegs(evm, panels);
  p.txtPostCal_Current = panels.registerPanel.cmd_I_shunt;
  p.cmdSecondCalEnabled = false;
  return true;
}

}  // namespace evm
