#include "calibration/continuous_read.h"

#include <cstdio>

#include "calibration/register_file.h"
#include "common/utf8_path.h"
#include "common/write_records.h"
#include "evm.h"
#include "registers/register_cycle.h"

namespace evm {

namespace {

// Every record ends with a quoted line break, so it spans two lines.
constexpr const char* kRecordEnd = "\"\r\n\"\r\n";

void Append(const Evm& evm, const std::string& record) {
  std::ofstream& file = *evm.measurement.logFile;
  file << record;
  // A crash loses at most the pass in progress.
  file.flush();
}

void CloseLog(MeasurementState& m) {
  m.logFile.reset();
  m.LogActive = false;
}

}  // namespace

std::string LogHeaderRecord() {
  std::string record = "\"Date_Stamp\",";
  for (int i = 3; i <= 21; ++i) record += "\"Dec_Reg " + std::to_string(i) + "\",";
  for (int i = 0; i <= 22; ++i) record += "\"Int_Reg " + std::to_string(i) + "\",";
  return record + kRecordEnd;
}

std::string LogDataRecord(const Evm& evm, const DateTime& now) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d %02d:%02d:%02d", now.month, now.day, now.year,
                now.hour, now.minute, now.second);
  const RegisterStore& store = evm.registers;
  std::string record = "\"" + std::string(stamp) + "\",";
  for (int i = 3; i <= store.LastReg; ++i) {
    record += FormatRecordNumber(store.RegScaled[static_cast<size_t>(i)]) + ",";
  }
  for (int i = 0; i <= store.LastReg; ++i) {
    record += std::to_string(store.RegValue[static_cast<size_t>(i)]) + ",";
  }
  return record + kRecordEnd;
}

void cmdStartContinuousRead_Click(Evm& evm) {
  MeasurementState& m = evm.measurement;
  m.ContinuousRead = true;
  for (;;) {
    if (!m.ContinuousRead) {
      m.startColours.fill(kButtonFace);
      if (m.onPass) m.onPass();
      return;
    }
    for (uint32_t& colour : m.startColours) {
      colour = colour == kBlinkBlue ? kBlinkRed : kBlinkBlue;
    }
    ReadAllRegs(evm);
    if (m.LogActive && m.logFile) Append(evm, LogDataRecord(evm, evm.clock.Now()));
    if (m.onPass) m.onPass();
    evm.ui.ProcessEvents();
  }
}

void cmdStopContinuousRead_Click(Evm& evm) {
  evm.measurement.ContinuousRead = false;
}

void mnuLogToFile_Click(Evm& evm) {
  MeasurementState& m = evm.measurement;
  if (m.mnuLogToFile) {
    m.mnuLogToFile = false;
    CloseLog(m);
    return;
  }
  m.mnuLogToFile = true;
  const auto file = evm.ui.SaveFileDialog(RegisterFileDialog(evm, "Log ZM5520/1 To File"));
  if (!file || file->empty()) return;
  m.LastChosenFolder = ExtractFolder(*file);
  CloseLog(m);
  auto log =
      std::make_unique<std::ofstream>(PathFromUtf8(*file), std::ios::binary | std::ios::trunc);
  if (!log->is_open()) {
    m.mnuLogToFile = false;
    ReportUncreatableFile(evm, *file);
    return;
  }
  m.logFile = std::move(log);
  Append(evm, LogHeaderRecord());
  m.LogActive = true;
}

void StopMeasurement(Evm& evm) {
  evm.measurement.ContinuousRead = false;
  CloseLog(evm.measurement);
}

}  // namespace evm
