// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QLocale>
#include <cstdio>
#include <memory>

#include "common/clock.h"
#include "common/program_arguments.h"
#include "common/utf8_path.h"
#include "devices/evm_session.h"
#include "gui/script/open_launcher.h"
#include "gui/shell/form_main.h"
#include "gui/shell/program_options.h"
#include "gui/shell/qt_user_interface.h"
#include "gui/shell/screen_fit.h"
#include "gui/shell/screenshot_tour.h"
#include "hid/board_ids.h"
#include "registers/register_display.h"
#include "script/evm_script_board.h"
#include "shell/state_folder.h"

int main(int argc, char* argv[]) {
  std::vector<std::string> args = evm::ProgramArguments(argc, argv);
  const evm::ProgramOptions options = evm::ParseProgramOptions(args);
  if (!options.error.empty()) {
    std::fprintf(stderr, "zm5520-evm: %s\n%s", options.error.c_str(),
                 evm::ProgramUsage("zm5520-evm").c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(evm::ProgramUsage("zm5520-evm").c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("zm5520-evm %s\n", EVM_VERSION_STRING);
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("zm5520-evm");
  QApplication::setOrganizationName("zm5520-evm");
  QGuiApplication::setDesktopFileName("zm5520-evm");

  const uint16_t vendorId = options.vendorId.value_or(evm::kDefaultBoardVendorId);
  if (options.screenshots) {
    return evm::gui::ScreenshotMode(
        {*options.screenshots, options.configDir, vendorId, options.simLoad});
  }
  evm::SystemClock clock;
  const evm::NumberLocale locale = evm::NumberLocaleOf(QLocale::system());
  const evm::StateFolderChoice state = evm::ChooseStateFolder(
      options.configDir, evm::PathFromUtf8(QCoreApplication::applicationDirPath().toStdString()),
      evm::UserConfigFolder());
  const std::filesystem::path& stateFolder = state.folder;

  evm::gui::QtUserInterface ui;
  if (!state.problem.empty()) {
    // Nowhere to keep the state is no reason to keep it somewhere unsafe.
    std::fprintf(stderr, "zm5520-evm: %s\n", state.problem.c_str());
    ui.MessageBox(state.problem, evm::kMessageTitle);
    return 1;
  }
  evm::EvmSession session({.simulate = options.simulate,
                           .vendorId = vendorId,
                           .simulatedBoards = options.simBoards,
                           .simLoad = options.simLoad},
                          clock, ui, locale, stateFolder);
  evm::Evm& context = session.Context();
  evm::gui::formMain_QMA740 window(context);
  ui.SetParentWindow(&window);
  if (!window.Load()) {
    // "Abort Program": unload what there is and end.
    evm::MainUnload(context, window.Panels());
    return 0;
  }
  evm::gui::ShowOnScreen(&window);

  evm::EvmScriptBoard scriptBoard(context);
  if (options.launcher) evm::gui::OpenLauncher(window, scriptBoard, ui, locale);
  return QApplication::exec();
}
