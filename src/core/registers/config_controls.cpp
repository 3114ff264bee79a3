// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/config_controls.h"

#include <algorithm>

#include "common/localize_decimal.h"
#include "common/number_text.h"
#include "evm.h"
#include "main_panels.h"
#include "registers/config_fields.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm {

int ResolutionCode(int position) {
  return position <= 3 ? position : position + 4;
}

int ResolutionPosition(int code) {
  return code <= 7 ? (code & 3) : code - 4;
}

void ConfigFromControls(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  RegisterPanel& panel = panels.registerPanel;
  if (store.ControlsUpdating) return;

  // An address list without a selection yet counts as -1, as the list
  // control reports it; the start-up selects both lists at once.
  store.DeviceAddress = 0x40 + panel.cmbA0 + 4 * panel.cmbA1;
  panel.txtAddress = HexDigits(store.DeviceAddress);

  // The lists are always set by a refresh before a user can pick; a list
  // without a selection leaves its field at 0 rather than spill into others.
  auto pos = [](int p) { return std::max(p, 0); };
  int32_t c = store.RegValue[0];
  c = WithField(c, kConfigPga, pos(panel.cmbShuntGain));
  c = WithField(c, kConfigShuntAdc, ResolutionCode(pos(panel.cmbShuntResolution)));
  c = WithField(c, kConfigBusAdc, ResolutionCode(pos(panel.cmbBusResolution)));
  c = WithField(c, kConfigMode, pos(panel.cmbCnvMode));
  c = WithField(c, kConfigBusRange, pos(panel.cmbBusGain));
  store.RegValue[0] = c;
  RefreshRegDisplay(evm, panels);
}

void ControlsFromConfig(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  RegisterPanel& panel = panels.registerPanel;
  const int decimalComma = evm.shell().DecimalComma;
  const int32_t c = store.RegValue[0];
  store.ControlsUpdating = true;

  const int pg = FieldOf(c, kConfigPga);
  store.PgaDivider = PgaDividerOf(pg);
  store.MaxShuntVoltage = MaxShuntVoltageOf(pg);
  panels.calibration.txtMaxShunt =
      LocalizeDecimal(FormatGeneral(store.MaxShuntVoltage, evm.locale()), decimalComma);
  panel.cmbShuntGain = pg;

  const int br = FieldOf(c, kConfigBusRange);
  store.BusFullScale = br == 0 ? 16 : 32;
  panel.cmbBusGain = br;
  panels.calibration.txtMaxBus = LocalizeDecimal(br == 0 ? "16" : "32", decimalComma);

  panel.cmbShuntResolution = ResolutionPosition(FieldOf(c, kConfigShuntAdc));
  panel.cmbBusResolution = ResolutionPosition(FieldOf(c, kConfigBusAdc));
  panel.cmbCnvMode = FieldOf(c, kConfigMode);
  store.ControlsUpdating = false;
}

void ConfigListChosen(Evm& evm, MainPanels& panels, ConfigList list, int position) {
  RegisterPanel& panel = panels.registerPanel;
  switch (list) {
    case ConfigList::ShuntGain: panel.cmbShuntGain = position; break;
    case ConfigList::BusGain: panel.cmbBusGain = position; break;
    case ConfigList::ShuntResolution: panel.cmbShuntResolution = position; break;
    case ConfigList::BusResolution: panel.cmbBusResolution = position; break;
    case ConfigList::CnvMode: panel.cmbCnvMode = position; break;
    case ConfigList::A0: panel.cmbA0 = position; break;
    case ConfigList::A1: panel.cmbA1 = position; break;
  }
  ConfigFromControls(evm, panels);
}

}  // namespace evm
