// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/continuous_read.h"

#include <system_error>

#include "acquisition/measurement_log.h"
#include "calibration/register_file.h"
#include "common/atomic_file.h"
#include "common/date_seconds.h"
#include "common/utf8_path.h"
#include "common/write_records.h"
#include "evm.h"
#include "main_panels.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"

namespace evm {

namespace {

void CloseLog(MeasurementState& m) {
  m.logFile.reset();
  m.LogActive = false;
}

// False when the record did not reach the file; logging has then ended, and
// the user is told which file failed and why.
bool Append(Evm& evm, const MeasurementRecord& record) {
  MeasurementState& m = evm.measurement();
  std::error_code ec;
  if (m.logFile->Append(record, ec)) return true;
  CloseLog(m);
  m.mnuLogToFile = false;
  m.logWriteFailed = true;
  evm.ui().MessageBox("The log file \"" + m.logFileName +
                          "\" could not be written: " + ec.message() + ". Logging has stopped.",
                      kMessageTitle);
  return false;
}

}  // namespace

MeasurementPass PassOfStore(Evm& evm, bool acknowledged) {
  const RegisterStore& store = evm.registers();
  DateTime day = evm.clock().Now();
  day.hour = day.minute = day.second = 0;
  MeasurementPass pass;
  pass.time = SecondsOf(day) + evm.clock().SecondsSinceMidnight();
  pass.shuntVolts = store.RegScaled[1];
  pass.busVolts = store.RegScaled[2];
  pass.watts = store.RegScaled[3];
  pass.amperes = store.RegScaled[4];
  pass.acknowledged = acknowledged;
  return pass;
}

MeasurementRecord RecordOfStore(const Evm& evm, const DateTime& now) {
  // The store holds what the last pass read and scaled.
  const RegisterStore& store = evm.registers();
  MeasurementRecord record;
  record.time = now;
  record.registers.lastReg = store.LastReg;
  for (int i = 0; i <= store.LastReg; ++i) {
    record.registers.values[static_cast<size_t>(i)] =
        static_cast<uint16_t>(store.RegValue[static_cast<size_t>(i)]);
  }
  record.quantities.watts = store.RegScaled[3];
  record.quantities.amperes = store.RegScaled[4];
  return record;
}

void cmdStartContinuousRead_Click(Evm& evm, MainPanels& panels) {
  MeasurementState& m = evm.measurement();
  m.ContinuousRead = true;
  m.ContinuousPasses = 0;
  for (;;) {
    if (!m.ContinuousRead) {
      if (m.onPass) m.onPass();
      return;
    }
    const bool acknowledged = ReadAllRegs(evm, panels);
    ++m.ContinuousPasses;
    if (!m.passListeners.empty()) {
      const MeasurementPass pass = PassOfStore(evm, acknowledged);
      // A listener may take itself off while being told.
      const auto listeners = m.passListeners;
      for (const auto& entry : listeners) entry.second(pass);
    }
    if (m.LogActive && m.logFile) {
      // A register that did not answer still holds an earlier pass's value:
      // that is no measurement, so the pass is not logged.
      if (acknowledged) {
        Append(evm, RecordOfStore(evm, evm.clock().Now()));
      } else {
        ++m.unacknowledgedPasses;
      }
    }
    if (m.onPass) m.onPass();
    evm.ui().ProcessEvents();
  }
}

void cmdStopContinuousRead_Click(Evm& evm) {
  evm.measurement().ContinuousRead = false;
}

void mnuLogToFile_Click(Evm& evm) {
  MeasurementState& m = evm.measurement();
  if (m.mnuLogToFile) {
    m.mnuLogToFile = false;
    CloseLog(m);
    return;
  }
  m.mnuLogToFile = true;
  const auto file = evm.ui().SaveFileDialog(RegisterFileDialog(evm, "Log ZM5520/1 To File"));
  if (!file || file->empty()) {
    // Nothing is logged, so the menu must not say otherwise.
    m.mnuLogToFile = false;
    return;
  }
  m.LastChosenFolder = ExtractFolder(*file);
  CloseLog(m);
  m.logWriteFailed = false;
  m.unacknowledgedPasses = 0;
  // The header is on disk before the old file goes; a file marked
  // read-only, a folder or a device is refused.
  auto log = std::make_unique<MeasurementLog>();
  if (!log->Open(PathFromUtf8(*file))) {
    m.mnuLogToFile = false;
    ReportUncreatableFile(evm, *file);
    return;
  }
  m.logFile = std::move(log);
  m.logFileName = *file;
  m.LogActive = true;
}

void StopMeasurement(Evm& evm) {
  evm.measurement().ContinuousRead = false;
  CloseLog(evm.measurement());
}

}  // namespace evm
