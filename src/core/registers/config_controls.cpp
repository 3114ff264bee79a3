#include "registers/config_controls.h"

#include <algorithm>

#include "calibration/localize_decimal.h"
#include "common/number_text.h"
#include "evm.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm {

int ResolutionCode(int position) {
  return position <= 3 ? position : position + 4;
}

int ResolutionPosition(int code) {
  return code <= 7 ? (code & 3) : code - 4;
}

void ConfigFromControls(Evm& evm) {
  RegisterStore& store = evm.registers;
  RegisterPanel& panel = evm.registerPanel;
  if (store.ControlsUpdating) return;

  // An address list without a selection yet counts as -1, as the list
  // control reports it; the start-up selects both lists at once.
  store.DeviceAddress = 0x40 + panel.cmbA0 + 4 * panel.cmbA1;
  panel.txtAddress = HexDigits(store.DeviceAddress);

  // The lists are always set by a refresh before a user can pick; a list
  // without a selection leaves its field at 0 rather than spill into others.
  auto pos = [](int p) { return std::max(p, 0); };
  int32_t c = store.RegValue[0];
  c = (c & 0xE7FF) | pos(panel.cmbShuntGain) * 0x800;
  c = (c & 0xFF87) | ResolutionCode(pos(panel.cmbShuntResolution)) * 8;
  c = (c & 0xF87F) | ResolutionCode(pos(panel.cmbBusResolution)) * 0x80;
  c = (c & 0xFFF8) | pos(panel.cmbCnvMode);
  c = (c & 0xDFFF) | pos(panel.cmbBusGain) * 0x2000;
  store.RegValue[0] = c;
  RefreshRegDisplay(evm);
}

void ControlsFromConfig(Evm& evm) {
  RegisterStore& store = evm.registers;
  RegisterPanel& panel = evm.registerPanel;
  const int decimalComma = evm.shell.DecimalComma;
  const int32_t c = store.RegValue[0];
  store.ControlsUpdating = true;

  const int pg = (c & 0x1800) / 0x800;
  store.PgaDivider = PgaDividerOf(pg);
  store.MaxShuntVoltage = MaxShuntVoltageOf(pg);
  evm.calibration.txtMaxShunt =
      LocalizeDecimal(FormatGeneral(store.MaxShuntVoltage, evm.locale), decimalComma);
  panel.cmbShuntGain = pg;

  const int br = (c & 0x2000) / 0x2000;
  store.BusFullScale = br == 0 ? 16 : 32;
  panel.cmbBusGain = br;
  evm.calibration.txtMaxBus = LocalizeDecimal(br == 0 ? "16" : "32", decimalComma);

  panel.cmbShuntResolution = ResolutionPosition((c & 0x78) / 8);
  panel.cmbBusResolution = ResolutionPosition((c & 0x780) / 0x80);
  panel.cmbCnvMode = c & 7;
  store.ControlsUpdating = false;
}

void ConfigListChosen(Evm& evm, ConfigList list, int position) {
  RegisterPanel& panel = evm.registerPanel;
  switch (list) {
    case ConfigList::ShuntGain: panel.cmbShuntGain = position; break;
    case ConfigList::BusGain: panel.cmbBusGain = position; break;
    case ConfigList::ShuntResolution: panel.cmbShuntResolution = position; break;
    case ConfigList::BusResolution: panel.cmbBusResolution = position; break;
    case ConfigList::CnvMode: panel.cmbCnvMode = position; break;
    case ConfigList::A0: panel.cmbA0 = position; break;
    case ConfigList::A1: panel.cmbA1 = position; break;
  }
  ConfigFromControls(evm);
}

}  // namespace evm
