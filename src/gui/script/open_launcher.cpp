// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/script/open_launcher.h"

#include <QAction>
#include <QPointer>
#include <memory>

#include "gui/script/frm_script.h"
#include "gui/script/frm_usb_template.h"
#include "gui/shell/form_main.h"
#include "gui/shell/screen_fit.h"

namespace evm::gui {

frmUSB_Template* OpenLauncher(formMain_QMA740& main, ScriptBoard& board, UserInterface& ui,
                              NumberLocale locale) {
  frmUSB_Template::Openers openers;
  openers.setAddress = [&main] { main.mnuSetAddress->trigger(); };
  openers.evalControl = [&main] { main.cmdDac_Adc->trigger(); };
  openers.dutWriter = [&main] { main.cmdDUT_Writer->trigger(); };
  openers.controlBits = [&main] { main.mnuC_Bits->trigger(); };
  // Shared by the copies Qt keeps of the opener; lives as long as the button.
  auto script = std::make_shared<QPointer<frmScript>>();
  openers.script = [script, &main, &board, &ui, locale] {
    if (!*script) {
      *script = new frmScript(board, ui, locale, &main);
      (*script)->setAttribute(Qt::WA_DeleteOnClose);
    }
    ShowOnScreen(*script);
  };
  auto* launcher = new frmUSB_Template(openers, &main);
  launcher->setAttribute(Qt::WA_DeleteOnClose);
  ShowOnScreen(launcher);
  return launcher;
}

}  // namespace evm::gui
