// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

#include "calibration/calibration_panel.h"
#include "calibration/measurement_state.h"
#include "common/clock.h"
#include "common/i2c_results.h"
#include "common/number_locale.h"
#include "common/user_interface.h"
#include "hid/hid_platform.h"
#include "mnemonic/usb_debug_log.h"
#include "mnemonic/usb_dut_writer.h"
#include "registers/register_panel.h"
#include "registers/register_store.h"
#include "reglink/register_link.h"
#include "shell/shell_state.h"
#include "testboard/calibration_board.h"

namespace evm {

// The seams a context is built on; the program passes the real ones, tests
// the simulated EVM, a fake clock and a recording user interface.
struct EvmSeams {
  HidPlatform& hid;
  Clock& clock;
  UserInterface& ui;
  NumberLocale locale;
  std::filesystem::path stateFolder;
  uint16_t boardVendorId;
};

// One program run's state, all of it. Windows and commands get it by
// reference; two contexts never share anything.
class Evm {
 public:
  explicit Evm(const EvmSeams& seams);
  Evm(const Evm&) = delete;
  Evm& operator=(const Evm&) = delete;

  std::filesystem::path StateFile(const char* name) const { return stateFolder / name; }

  HidPlatform& hid;
  Clock& clock;
  UserInterface& ui;
  NumberLocale locale;
  std::filesystem::path stateFolder;
  // Both boards answer to it; the status bar and the USB-problem text name it.
  uint16_t boardVendorId;

  I2CResults results;
  RegisterLink regLink;
  ShellState shell;
  RegisterStore registers;
  RegisterPanel registerPanel;
  CalibrationPanel calibration;
  // The interface board's command path and its debug log (UsbDebugLevel
  // lives in the log).
  UsbDebugLog usbDebug;
  DebugUsbPanel debugPanel;
  UsbDutWriter dutWriter;
  // The test board's instruments (RefMode, VrefVolts, DacAutoCal live here).
  CalibrationBoard calBoard;
  MeasurementState measurement;
};

}  // namespace evm
