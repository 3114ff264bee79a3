#include "shell/main_load.h"

#include <stdexcept>

#include "calibration/continuous_read.h"
#include "calibration/initial_calibration.h"
#include "calibration/localize_decimal.h"
#include "calibration/register_file.h"
#include "common/atomic_file.h"
#include "common/number_text.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
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
  RemoveStaleTemporaryFiles(evm.stateFolder,
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

void LoadAfterLink(Evm& evm) {
  ShellState& shell = evm.shell;
  InitRegisters(evm);

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
  ReportUnreadableStateFile(evm.ui, file, readError);
  if (!settings) throw LoadError("settings file missing or unreadable");
  evm.calibration.txtRshunt = LocalizeDecimal(settings->rshunt, shell.DecimalComma);
  evm.calibration.txtMaxExpectedCurrent =
      LocalizeDecimal(settings->maxExpectedCurrent, shell.DecimalComma);
  evm.calibration.txtSelectedCurrentLSB =
      LocalizeDecimal(settings->selectedCurrentLsb, shell.DecimalComma);
  shell.StoredMonth = settings->month;
  shell.StoredYear = settings->year;

  const DateTime now = evm.clock.Now();
  if (ReminderDue(shell.StoredMonth, shell.StoredYear, now)) {
    shell.StoredMonth = now.month;
    shell.StoredYear = now.year;
    evm.ui.ShowReminder();
  }
}

LoadOutcome MainLoad(Evm& evm) {
  ShellState& shell = evm.shell;
  shell.DecimalComma = DecimalCommaOf(evm.locale);

  // The address the mnemonic path looks for survives runs in which the
  // address window is never opened; a fresh install starts at the standard
  // range with both jumpers at 0, so the interface board is reachable at
  // once. Read before the link loop, whose "Set Address and Try Again" may
  // choose another.
  RemoveStaleStateTemporaries(evm);
  std::error_code readError;
  const auto stored = ReadUsbAddressFile(evm.StateFile(kUsbAddressFileName), &readError);
  ReportUnreadableStateFile(evm.ui, evm.StateFile(kUsbAddressFileName), readError);
  StartWithUsbAddress(shell, stored);

  shell.UsbRetry = true;
  while (shell.UsbRetry) {
    if (evm.regLink.OpenRegLink()) {
      shell.UsbRetry = false;
      break;
    }
    switch (evm.ui.UsbProblemDialog()) {
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
    LoadAfterLink(evm);
  } catch (const std::exception&) {
    evm.regLink.CloseRegLink();
    evm.ui.ShowReminder();
    return LoadOutcome::LoadErrorPath;
  }
  return LoadOutcome::Loaded;
}

void FirstActivation(Evm& evm) {
  if (evm.shell.FirstActivationDone) return;
  ReadAllRegs(evm);
  if (!evm.shell.RunWithoutUsb) RestoreCalibration(evm);
  evm.shell.FirstActivationDone = true;
}

bool StoreSettings(Evm& evm, std::error_code& ec) {
  ec.clear();
  ShellState& shell = evm.shell;
  if (!shell.SettingsFileOwned) return true;
  const std::filesystem::path file = evm.StateFile(kSettingsFileName);
  if (shell.SettingsFileUnparsed) {
    std::filesystem::path kept = file;
    kept += ".bad";
    std::filesystem::rename(file, kept, ec);
    if (ec) return false;
    shell.SettingsFileUnparsed = false;
    evm.ui.MessageBox("The settings in \"" + file.string() +
                          "\" could not be read; they are kept in \"" + kept.string() + "\".",
                      kMessageTitle);
  }
  StoredSettings settings{evm.calibration.txtRshunt, evm.calibration.txtMaxExpectedCurrent,
                          evm.calibration.txtSelectedCurrentLSB, shell.StoredMonth,
                          shell.StoredYear};
  return WriteFileAtomically(file, FormatSettings(settings), ec);
}

void MainUnload(Evm& evm, const std::function<void()>& unloadOtherWindows) {
  StopMeasurement(evm);
  const ShellState& shell = evm.shell;
  if (shell.UsbAddress) {
    WriteUsbAddressFile(evm.StateFile(kUsbAddressFileName), *shell.UsbAddress);
  }
  WriteControlEvmSettings(evm.StateFile(kControlEvmSettingsFileName), evm.calBoard.VrefVolts,
                          evm.calBoard.RefMode);
  std::error_code ignored;
  StoreSettings(evm, ignored);
  // Windows write their own state as they go, after the main window's.
  if (unloadOtherWindows) unloadOtherWindows();
  evm.regLink.CloseRegLink();
}

}  // namespace evm
