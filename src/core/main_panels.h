// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calibration/calibration_panel.h"
#include "mnemonic/usb_debug_log.h"
#include "registers/register_panel.h"

namespace evm {

// What the main window and its debug window show: the register grid and
// boxes, the calibration tab's boxes and the debug switches. The window owns
// them and hands them to the handlers that draw into them; the context the
// operations run on holds no presentation, so evmctl and the library carry
// none of it.
struct MainPanels {
  RegisterPanel registerPanel;
  CalibrationPanel calibration;
  DebugUsbPanel debugPanel;
};

}  // namespace evm
