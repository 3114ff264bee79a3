// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

#include "acquisition/measurement_state.h"
#include "common/clock.h"
#include "common/i2c_results.h"
#include "common/number_locale.h"
#include "common/user_interface.h"
#include "hid/hid_platform.h"
#include "mnemonic/usb_debug_log.h"
#include "mnemonic/usb_dut_writer.h"
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
// reference; two contexts never share anything. Its parts are its own: a
// front end builds none of them and replaces none, it reaches them through
// these accessors or, better, through the operations and handlers.
class Evm {
 public:
  explicit Evm(const EvmSeams& seams);
  Evm(const Evm&) = delete;
  Evm& operator=(const Evm&) = delete;

  std::filesystem::path StateFile(const char* name) const { return stateFolder_ / name; }

  // The seams it was built on.
  HidPlatform& hid() const { return hid_; }
  Clock& clock() const { return clock_; }
  UserInterface& ui() const { return ui_; }
  const NumberLocale& locale() const { return locale_; }
  const std::filesystem::path& stateFolder() const { return stateFolder_; }
  // Both boards answer to it; the status bar and the USB-problem text name it.
  uint16_t boardVendorId() const { return boardVendorId_; }

  I2CResults& results() { return results_; }
  const I2CResults& results() const { return results_; }
  RegisterLink& regLink() { return regLink_; }
  const RegisterLink& regLink() const { return regLink_; }
  ShellState& shell() { return shell_; }
  const ShellState& shell() const { return shell_; }
  RegisterStore& registers() { return registers_; }
  const RegisterStore& registers() const { return registers_; }
  // The interface board's command path and its debug log (UsbDebugLevel
  // lives in the log).
  UsbDebugLog& usbDebug() { return usbDebug_; }
  const UsbDebugLog& usbDebug() const { return usbDebug_; }
  UsbDutWriter& dutWriter() { return dutWriter_; }
  const UsbDutWriter& dutWriter() const { return dutWriter_; }
  // The test board's instruments (RefMode, VrefVolts, DacAutoCal live here).
  CalibrationBoard& calBoard() { return calBoard_; }
  const CalibrationBoard& calBoard() const { return calBoard_; }
  MeasurementState& measurement() { return measurement_; }
  const MeasurementState& measurement() const { return measurement_; }

 private:
  HidPlatform& hid_;
  Clock& clock_;
  UserInterface& ui_;
  NumberLocale locale_;
  std::filesystem::path stateFolder_;
  uint16_t boardVendorId_;

  I2CResults results_;
  RegisterLink regLink_;
  ShellState shell_;
  RegisterStore registers_;
  UsbDebugLog usbDebug_;
  UsbDutWriter dutWriter_;
  CalibrationBoard calBoard_;
  MeasurementState measurement_;
};

}  // namespace evm
