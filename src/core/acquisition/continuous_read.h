// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "acquisition/measurement_pass.h"
#include "common/clock.h"
#include "registers/register_ops.h"

namespace evm {

class Evm;
struct MainPanels;

// Reads all registers over and over, logging each pass when a log is open,
// until Stop; window events are processed once per pass.
void cmdStartContinuousRead_Click(Evm& evm, MainPanels& panels);
void cmdStopContinuousRead_Click(Evm& evm);

// Opens a log file (choosing it first) or closes the open one.
void mnuLogToFile_Click(Evm& evm);
// Ends reading and closes the log, as the main window's unload does.
void StopMeasurement(Evm& evm);

// The pass the registers in the store hold, as the pass listeners get it.
MeasurementPass PassOfStore(Evm& evm, bool acknowledged);

MeasurementRecord RecordOfStore(const Evm& evm, const DateTime& now);

}  // namespace evm
