// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_cycle.h"

#include "evm.h"
#include "main_panels.h"
#include "registers/config_controls.h"
#include "registers/register_display.h"
#include "registers/register_map.h"
#include "registers/register_ops.h"

namespace evm {

bool ReadAllRegs(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  // The one register pass, evmctl's and the library's too: it ends at the
  // first register not acknowledged, so a silent link costs one time-out.
  const RegisterRead read =
      ReadRegisters(evm.regLink(), store.DeviceAddress & 0xFFFF, store.LastReg);
  bool everyReadAcknowledged = true;
  for (int i = 0; i <= read.lastReg; ++i) {
    const auto s = static_cast<size_t>(i);
    // The registers after a failed read keep their values: a value taken
    // from nowhere would flag the register edited, and a later write of
    // edited registers would send it to the device.
    if (!read.acknowledged[s]) {
      everyReadAcknowledged = false;
      break;
    }
    store.RegValue[s] = read.values[s];
  }
  // The indicator follows the last read of the pass.
  panels.registerPanel.txtDutNotAckVisible = !everyReadAcknowledged;
  for (int i = 0; i <= store.LastReg; ++i) ScaleReg(store, i);
  RefreshRegDisplay(evm, panels);
  for (int i = 0; i <= store.LastReg; ++i) {
    panels.registerPanel.gridReg.SetText(i + 1, 1, store.RegName[static_cast<size_t>(i) + 1]);
  }
  return everyReadAcknowledged;
}

namespace {

// The bytes the grid's value is sent as: its high byte as value / 256.
uint16_t WordOf(int32_t value) {
  return static_cast<uint16_t>(((value / 256) & 0xFF) << 8 | (value & 0xFF));
}

}  // namespace

bool WriteReg(Evm& evm, int n) {
  RegisterStore& store = evm.registers();
  const int32_t value = store.RegValue[static_cast<size_t>(n)];
  const bool written =
      WriteRegisters(evm.regLink(), store.DeviceAddress, {{n, WordOf(value)}}).AllTaken();
  // The bit names describe the range the device works in, which a refused
  // write did not change.
  if (written) UpdateRangeBits(store, n);
  return written;
}

void WriteAllEdited(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  GridModel& grid = panels.registerPanel.gridReg;
  std::vector<RegisterWrite> writes;
  for (int i = 0; i <= store.LastReg; ++i) {
    const auto s = static_cast<size_t>(i);
    if (store.RegEdited[s]) writes.push_back({i, WordOf(store.RegValue[s])});
  }
  const WritesDone done = WriteRegisters(evm.regLink(), store.DeviceAddress, writes);
  // The registers not yet sent stay edited for the next try.
  for (size_t k = 0; k < done.taken; ++k) {
    store.RegEdited[static_cast<size_t>(writes[k].reg)] = false;
    UpdateRangeBits(store, writes[k].reg);
  }
  const bool anyWritten = done.taken > 0;
  const bool anyFailed = !done.AllTaken();
  for (int i = 0; i <= store.LastReg; ++i) {
    const auto s = static_cast<size_t>(i);
    const std::string& name = store.RegName[s + 1];
    grid.SetText(i + 1, 1, store.RegEdited[s] ? " *** " + name + " *** " : name);
  }
  if (anyFailed) {
    panels.registerPanel.txtDutNotAckVisible = true;
  } else if (anyWritten) {
    panels.registerPanel.txtDutNotAckVisible = false;
  }
}

void WriteCurrentReg(Evm& evm, MainPanels& panels) {
  panels.registerPanel.txtDutNotAckVisible = !WriteReg(evm, panels.registerPanel.CurReg);
}

void InitRegisters(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  BuildRegTables(store);
  for (int i = 0; i <= 15; ++i) store.RegValue[static_cast<size_t>(i)] = 0;
  SetRegNames(store);

  store.ControlsUpdating = true;
  store.PowerLsb = 0;
  store.CurrentLsb = 0;
  RefreshRegDisplay(evm, panels);
  RefreshRegDisplay(evm, panels);
  gridReg_Click(evm, panels);
  store.ControlsUpdating = false;

  ConfigListChosen(evm, panels, ConfigList::A0, 0);
  ConfigListChosen(evm, panels, ConfigList::A1, 0);
}

}  // namespace evm
