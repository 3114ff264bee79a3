// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/number_locale.h"
#include "common/user_interface.h"
#include "script/script_board.h"

namespace evm::gui {

class formMain_QMA740;
class frmUSB_Template;

// Shows the launcher beside the main window. Its board buttons open the main
// window's own windows; its script button opens the one script window, which
// comes forward again while it is open. The board must outlive the launcher.
frmUSB_Template* OpenLauncher(formMain_QMA740& main, ScriptBoard& board, UserInterface& ui,
                              NumberLocale locale);

}  // namespace evm::gui
