// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "evm.h"
#include "main_panels.h"

namespace evm {

enum class LoadOutcome {
  Loaded,         // every step ran
  LoadErrorPath,  // a step failed; the reminder was shown, initial texts kept
  Aborted,        // "Abort Program" in the USB-problem dialog
};

// The main window's load, from the locale test on (the window itself shows
// its first tab before and fills its lists from the core tables).
LoadOutcome MainLoad(Evm& evm, MainPanels& panels);

// The part of the load from the register tables to the reminder; the load's
// error path takes over when it throws.
void LoadAfterLink(Evm& evm, MainPanels& panels);

// Removes what interrupted writes of the state files left behind.
void RemoveStaleStateTemporaries(const Evm& evm);

// Names a state file that is there but cannot be read, with the system's
// reason; a missing file (a fresh start) or no error shows nothing.
void ReportUnreadableStateFile(UserInterface& ui, const std::filesystem::path& file,
                               const std::error_code& readError);

// Writes the calibration inputs to the settings file when the load took it
// over; settings that did not parse are kept as "NAME.bad" first (with the
// time in the name when an earlier copy holds that one). False, with
// the reason in `ec`, when nothing could be stored.
bool StoreSettings(Evm& evm, MainPanels& panels, std::error_code& ec);

// Runs once, when the main window is first activated after the load.
void FirstActivation(Evm& evm, MainPanels& panels);

// After "Run Without USB": looks for the register link again and, found,
// leaves that mode and does what the first activation skipped without it
// (the registers read, the stored calibration restored). Empty when it
// worked, else what was searched for.
std::string TryUsbAgain(Evm& evm, MainPanels& panels);

// The one message for the state files the unload could not write, each
// with the system's reason.
std::string UnstoredStateMessage(
    const std::vector<std::pair<std::filesystem::path, std::error_code>>& failed);

// The main window's unload: the state files, then the register link. Files
// that could not be written are named in one message.
void MainUnload(Evm& evm, MainPanels& panels, const std::function<void()>& unloadOtherWindows = {});

// 1 when the locale writes 1.1 as "1,1".
int DecimalCommaOf(const NumberLocale& locale);

bool ReminderDue(double storedMonth, double storedYear, const DateTime& now);

std::string AboutText();

}  // namespace evm
