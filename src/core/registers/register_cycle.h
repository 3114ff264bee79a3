// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace evm {

class Evm;
struct MainPanels;

inline constexpr const char* kDutNotAckText = "ZM5520/1 Did Not Acknowledge!";

// Registers 00h to LastReg from the device into the store, then the display.
// A register whose read is not acknowledged keeps its value. False when any
// read of the pass was not acknowledged.
bool ReadAllRegs(Evm& evm, MainPanels& panels);

// Register n of the store to the device; true when the device took it.
bool WriteReg(Evm& evm, int n);

// Every edited register 00h to LastReg to the device, in ascending order.
// Registers written clear their flag and mark; a register the device did
// not take keeps both and the not-acknowledged indicator shows.
void WriteAllEdited(Evm& evm, MainPanels& panels);

// "Write Current Reg": the bit map's register only; its flag stays.
void WriteCurrentReg(Evm& evm, MainPanels& panels);

// The register side of the main window's load: tables, names, the first
// refreshes and the address lists at "GND".
void InitRegisters(Evm& evm, MainPanels& panels);

}  // namespace evm
