// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/main_load.h"
#include "main_panels.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include "acquisition/continuous_read.h"
#include "calibration/initial_calibration.h"
#include "calibration/register_file.h"
#include "common/atomic_file.h"
#include "common/localize_decimal.h"
#include "common/number_text.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
#include "shell/status_text.h"
#include "shell/usb_address_file.h"
#include "testboard/dut_writer_panel.h"
#include "testboard/eval_control_panel.h"

namespace evm {

int DecimalCommaOf(const NumberLocale& locale) {
  return FormatGeneral(1.1, locale) == "1,1" ? 1 : 0;
}

bool ReminderDue(double storedMonth, double storedYear, const DateTime& now) {
  return storedMonth < now.month || storedYear < now.year;
}

std::string AboutText() {
  return std::string("ZM5520/1 Software  Rev. ") + EVM_VERSION_STRING +
         "\nEvaluation software for the ZM5520/1 hot-swap controller EVM.\n"
         "Written by the ZM5520/1 EVM software team.";
}

void RemoveStaleStateTemporaries(const Evm& evm) {
  RemoveStaleTemporaryFiles(evm.stateFolder(),
                            {kSettingsFileName, kUsbAddressFileName, kControlEvmSettingsFileName,
                             kPathInfoFileName, kDutWriterFileName});
}

namespace {

struct LoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace

void ReportUnreadableStateFile(UserInterface& ui, const std::filesystem::path& file,
                               const std::error_code& readError) {
  // A missing file is a fresh start, not a fault.
  if (!readError || readError == std::errc::no_such_file_or_directory) return;
  ui.MessageBox(UnreadableFileMessage(file, readError), kMessageTitle);
}

void LoadAfterLink(Evm& evm, MainPanels& panels) {
  ShellState& shell = evm.shell();
  InitRegisters(evm, panels);

  const std::filesystem::path file = evm.StateFile(kSettingsFileName);
  std::error_code readError;
  const auto settings = ReadSettingsFile(file, &readError);
  std::error_code statusError;
  const bool missing = !std::filesystem::exists(file, statusError) && !statusError;
  // Settings that are there but cannot be taken in are the user's only copy
  // of them: a regular file is set aside before it is replaced, anything
  // else is left alone.
  shell.SettingsFileUnparsed =
      !settings && !missing && std::filesystem::is_regular_file(file, statusError);
  shell.SettingsFileOwned = settings || missing || shell.SettingsFileUnparsed;
  ReportUnreadableStateFile(evm.ui(), file, readError);
  if (!settings) throw LoadError("settings file missing or unreadable");
  panels.calibration.txtRshunt = LocalizeDecimal(settings->rshunt, shell.DecimalComma);
  panels.calibration.txtMaxExpectedCurrent =
      LocalizeDecimal(settings->maxExpectedCurrent, shell.DecimalComma);
  panels.calibration.txtSelectedCurrentLSB =
      LocalizeDecimal(settings->selectedCurrentLsb, shell.DecimalComma);
  shell.StoredMonth = settings->month;
  shell.StoredYear = settings->year;

  const DateTime now = evm.clock().Now();
  if (ReminderDue(shell.StoredMonth, shell.StoredYear, now)) {
    shell.StoredMonth = now.month;
    shell.StoredYear = now.year;
    evm.ui().ShowReminder();
  }
}

LoadOutcome MainLoad(Evm& evm, MainPanels& panels) {
  ShellState& shell = evm.shell();
  shell.DecimalComma = DecimalCommaOf(evm.locale());
  // The built-in defaults stand in for a missing settings file and are read
  // back with the locale's separator like stored values.
  for (std::string* text :
       {&panels.calibration.txtRshunt, &panels.calibration.txtMaxExpectedCurrent,
        &panels.calibration.txtSelectedCurrentLSB}) {
    *text = LocalizeDecimal(*text, shell.DecimalComma);
  }

  // The address the mnemonic path looks for survives runs in which the
  // address window is never opened; a fresh install starts at the standard
  // range with both jumpers at 0, so the interface board is reachable at
  // once. Read before the link loop, whose "Set Address and Try Again" may
  // choose another.
  RemoveStaleStateTemporaries(evm);
  std::error_code readError;
  const auto stored = ReadUsbAddressFile(evm.StateFile(kUsbAddressFileName), &readError);
  ReportUnreadableStateFile(evm.ui(), evm.StateFile(kUsbAddressFileName), readError);
  StartWithUsbAddress(shell, stored);

  shell.UsbRetry = true;
  while (shell.UsbRetry) {
    if (evm.regLink().OpenRegLink()) {
      shell.UsbRetry = false;
      break;
    }
    evm.ui().SetUsbProblemDetail(UsbSearchDetail(evm));
    switch (evm.ui().UsbProblemDialog()) {
      case UsbProblemChoice::TryAgain:
      case UsbProblemChoice::SetAddressAndTryAgain: shell.UsbRetry = true; break;
      case UsbProblemChoice::RunWithoutUsb:
        shell.RunWithoutUsb = true;
        shell.UsbRetry = false;
        break;
      case UsbProblemChoice::AbortProgram: return LoadOutcome::Aborted;
    }
  }

  try {
    LoadAfterLink(evm, panels);
  } catch (const std::exception&) {
    evm.regLink().CloseRegLink();
    evm.ui().ShowReminder();
    return LoadOutcome::LoadErrorPath;
  }
  return LoadOutcome::Loaded;
}

void FirstActivation(Evm& evm, MainPanels& panels) {
  if (evm.shell().FirstActivationDone) return;
  ReadAllRegs(evm, panels);
  if (!evm.shell().RunWithoutUsb) RestoreCalibration(evm, panels);
  evm.shell().FirstActivationDone = true;
}

std::string TryUsbAgain(Evm& evm, MainPanels& panels) {
  ShellState& shell = evm.shell();
  if (shell.RunWithoutUsb) {
    if (!evm.regLink().OpenRegLink())
      return "No register link board was found. " + UsbSearchDetail(evm);
    shell.RunWithoutUsb = false;
  }
  ReadAllRegs(evm, panels);
  RestoreCalibration(evm, panels);
  return "";
}

bool StoreSettings(Evm& evm, MainPanels& panels, std::error_code& ec) {
  ec.clear();
  ShellState& shell = evm.shell();
  if (!shell.SettingsFileOwned) return true;
  const std::filesystem::path file = evm.StateFile(kSettingsFileName);
  if (shell.SettingsFileUnparsed) {
    const std::filesystem::path kept = SetAsidePath(file, evm.clock().Now());
    std::filesystem::rename(file, kept, ec);
    if (ec) return false;
    shell.SettingsFileUnparsed = false;
    evm.ui().MessageBox("The settings in \"" + file.string() +
                            "\" could not be read; they are kept in \"" + kept.string() + "\".",
                        kMessageTitle);
  }
  StoredSettings settings{panels.calibration.txtRshunt, panels.calibration.txtMaxExpectedCurrent,
                          panels.calibration.txtSelectedCurrentLSB, shell.StoredMonth,
                          shell.StoredYear};
  return WriteFileAtomically(file, FormatSettings(settings), ec);
}

std::string UnstoredStateMessage(
    const std::vector<std::pair<std::filesystem::path, std::error_code>>& failed) {
  std::string text =
      "What this session changed in these files is lost, as they could not be "
      "written:";
  for (const auto& [file, ec] : failed) text += "\n" + FileFaultText(file.string(), ec);
  return text;
}

void MainUnload(Evm& evm, MainPanels& panels, const std::function<void()>& unloadOtherWindows) {
  StopMeasurement(evm);
  const ShellState& shell = evm.shell();
  std::vector<std::pair<std::filesystem::path, std::error_code>> failed;
  const auto note = [&failed](const std::filesystem::path& file, bool written,
                              const std::error_code& ec) {
    // A write that fails without a reason is still a failure to name.
    if (!written) failed.emplace_back(file, ec ? ec : std::make_error_code(std::errc::io_error));
  };
  std::error_code ec;
  if (shell.UsbAddress) {
    const auto file = evm.StateFile(kUsbAddressFileName);
    note(file, WriteUsbAddressFile(file, *shell.UsbAddress, &ec), ec);
  }
  const auto control = evm.StateFile(kControlEvmSettingsFileName);
  note(control,
       WriteControlEvmSettings(control, evm.calBoard().VrefVolts, evm.calBoard().RefMode, &ec), ec);
  note(evm.StateFile(kSettingsFileName), StoreSettings(evm, panels, ec), ec);
  if (!failed.empty()) evm.ui().MessageBox(UnstoredStateMessage(failed), kMessageTitle);
  // Windows write their own state as they go, after the main window's.
  if (unloadOtherWindows) unloadOtherWindows();
  evm.regLink().CloseRegLink();
}

}  // namespace evm
