// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the interface board: the supply buttons and the
// windows of the "USB Controls" menu.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <utility>

#include "gui/shell/form_main.h"
#include "gui/shell/frm_choose_boards.h"
#include "gui/shell/frm_set_usb_address.h"
#include "gui/shell/qt_user_interface.h"
#include "gui/shell/screen_fit.h"
#include "gui/testboard/frm_c_m_bits.h"
#include "gui/testboard/frm_debug_usb.h"
#include "gui/testboard/frm_eval_control.h"
#include "gui/testboard/frm_usb_dut_writer.h"
#include "shell/main_load.h"
#include "shell/usb_address_file.h"

namespace evm::gui {

namespace {

// Single instance, modeless: a window already open comes forward with its
// state; a closed one is unloaded and built anew.
template <class Window, class... Parts>
void ShowSingle(QPointer<Window>& window, QWidget* owner, Parts&&... parts) {
  if (!window) {
    window = new Window(std::forward<Parts>(parts)..., owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
  }
  ShowOnScreen(window);
}

}  // namespace

void formMain_QMA740::BuildUsbControls() {
  auto* supply = Frame7->layout() ? nullptr : new QHBoxLayout(Frame7);
  Command14 = new QPushButton("On", Frame7);
  Command14->setObjectName("Command14");
  Command30 = new QPushButton("Off", Frame7);
  Command30->setObjectName("Command30");
  QLayout* layout = supply ? supply : Frame7->layout();
  layout->addWidget(Command14);
  layout->addWidget(Command30);
  if (supply) supply->addStretch(1);
  // The outcome is not examined: the command path reports its own failures.
  connect(Command14, &QPushButton::clicked, this,
          [this] { evm_.dutWriter().SendMnemonic("CMD ON "); });
  connect(Command30, &QPushButton::clicked, this,
          [this] { evm_.dutWriter().SendMnemonic("CMD OFF "); });

  connect(mnuC_Bits, &QAction::triggered, this, [this] { ShowSingle(cMBits, this, evm_); });
  connect(cmdDUT_Writer, &QAction::triggered, this, [this] {
    ShowSingle(dutWriter, this, evm_.dutWriter(), evm_.ui(), evm_.StateFile(kDutWriterFileName));
  });
  connect(mnuDebug, &QAction::triggered, this,
          [this] { ShowSingle(debugUsb, this, evm_.usbDebug(), panels_.debugPanel); });
  connect(cmdDac_Adc, &QAction::triggered, this, [this] { ShowSingle(evalControl, this, evm_); });
  connect(mnuChooseBoards, &QAction::triggered, this,
          [this] { ShowSingle(chooseBoards, this, evm_); });
  connect(mnuSetAddress, &QAction::triggered, this, [this] { ShowOnScreen(SetAddressWindow()); });
  connect(mnuTryUsbAgain, &QAction::triggered, this, [this] {
    const std::string missing = TryUsbAgain(evm_, panels_);
    RenderPanels();
    if (!missing.empty()) evm_.ui().MessageBox(missing, "Try USB Again");
  });

  if (auto* qtUi = dynamic_cast<QtUserInterface*>(&evm_.ui())) {
    qtUi->SetAddressWindowOpener([this] { ShowSetAddressModal(); });
  }
  evm_.dutWriter().onAbortProgram = [this] {
    close();
    QApplication::quit();
  };
}

frmSetUSBAddress* formMain_QMA740::SetAddressWindow() {
  // Loaded once: putting it away hides it, and it comes back as it was.
  if (!setAddress)
    setAddress =
        new frmSetUSBAddress(evm_.shell(), evm_.ui(), evm_.StateFile(kUsbAddressFileName), this);
  return setAddress;
}

void formMain_QMA740::ShowSetAddressModal() {
  SetAddressWindow()->exec();
}

}  // namespace evm::gui
