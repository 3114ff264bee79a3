#include "shell/main_load.h"

#include <stdexcept>

#include "calibration/continuous_read.h"
#include "calibration/initial_calibration.h"
#include "calibration/localize_decimal.h"
#include "common/number_text.h"
#include "registers/register_cycle.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
#include "shell/usb_address_file.h"
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

namespace {

struct LoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace

void LoadAfterLink(Evm& evm) {
  ShellState& shell = evm.shell;
  InitRegisters(evm);
  shell.SettingsFileOwned = true;

  const auto settings = ReadSettingsFile(evm.StateFile(kSettingsFileName));
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
  LoadStartupUsbAddress(shell, evm.StateFile(kUsbAddressFileName));

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

void MainUnload(Evm& evm, const std::function<void()>& unloadOtherWindows) {
  StopMeasurement(evm);
  const ShellState& shell = evm.shell;
  if (shell.UsbAddress) {
    WriteUsbAddressFile(evm.StateFile(kUsbAddressFileName), *shell.UsbAddress);
  }
  WriteControlEvmSettings(evm.StateFile(kControlEvmSettingsFileName), evm.calBoard.VrefVolts,
                          evm.calBoard.RefMode);
  if (shell.SettingsFileOwned) {
    StoredSettings settings{evm.calibration.txtRshunt, evm.calibration.txtMaxExpectedCurrent,
                            evm.calibration.txtSelectedCurrentLSB, shell.StoredMonth,
                            shell.StoredYear};
    WriteSettingsFile(evm.StateFile(kSettingsFileName), settings);
  }
  // Windows write their own state as they go, after the main window's.
  if (unloadOtherWindows) unloadOtherWindows();
  evm.regLink.CloseRegLink();
}

}  // namespace evm
