// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zm5520evm/calibration_refusal.h"

namespace evm {

// One register of a read pass, in the forms the program shows it.
struct RegisterValue {
  int reg = 0;
  std::string name{};  // "Config", "Shunt Voltage", ...
  uint16_t raw = 0;
  std::string hex{};     // "399F"
  std::string binary{};  // "0011 1001 1001 1111"
  // Registers 01h-04h carry a quantity in `unit`; the others have none.
  std::optional<double> scaled{};
  std::string unit{};  // "V", "W", "A" or empty
};

// Registers 00h to the last one of a pass, all acknowledged.
struct RegisterSnapshot {
  int deviceAddress = 0;
  double currentLsbAmps = 0;  // the scaling the values were scaled with; 0: none
  double powerLsbWatts = 0;
  std::vector<RegisterValue> registers{};
};

// A register written and read back as the same value.
struct WriteResult {
  int reg = 0;
  uint16_t wrote = 0;
  uint16_t read = 0;
};

// What CalibrateIfBlank found and did.
struct CalibrationRestore {
  bool wasBlank = false;          // register 05h read 0
  uint16_t wrote = 0;             // the calibration written; 0 when none was
  bool fromStoredInputs = false;  // the last session's inputs, not the defaults
  std::string message{};          // in words; empty when 05h was set
};

// The inputs of the initial calibration; the texts, when given, are what
// is kept in the state folder for later sessions (the numbers otherwise).
struct CalibrationRequest {
  double rshuntOhms = 0;
  double maxExpectedAmps = 0;
  double currentLsbAmps = 0;
  std::string rshuntText{};
  std::string maxExpectedCurrentText{};
  std::string currentLsbText{};
};

// One calculated row as the calibration tab shows it.
struct CalibrationRow {
  std::string key{};      // "max_shunt_voltage"
  std::string caption{};  // "Max Shunt Voltage"
  double value = 0;
  std::string text{};  // as the tab shows it
  std::string unit{};
};

struct CalibrationResult {
  CalibrationRefusal refusal = CalibrationRefusal::None;
  std::string refusalMessage{};  // the tab's message for the refused input
  uint16_t config = 0;           // register 00h the ranges were taken from
  double maxShuntVolts = 0;
  double maxBusVolts = 0;
  double maxPossibleAmps = 0;
  std::string maxPossibleCurrentText{};  // as the tab shows it, also beside a refusal
  double minCurrentLsbAmps = 0;
  double maxCurrentLsbAmps = 0;
  double currentLsbAmps = 0;
  uint16_t calibration = 0;  // register 05h
  double powerLsbWatts = 0;
  double maxCurrentBeforeOverflowAmps = 0;
  int64_t maxCurrentBeforeOverflowCode = 0;
  double maxShuntBeforeOverflowVolts = 0;
  double maxPowerWatts = 0;
  bool overflowPossible = false;
  std::string overflowNote{};
  std::vector<CalibrationRow> rows{};  // the tab's rows in its order
  CalibrationRequest request{};

  bool Ok() const { return refusal == CalibrationRefusal::None; }
};

// One pass of the continuous reading.
// What a monitor or log reads for each measurement.
enum class AcquisitionMode {
  // The main window's continuous read: registers 00h-05h, each after a
  // settle time of 100 ms; about 1.6 passes a second.
  Passes,
  // Shunt, bus, power and current of each conversion the device completes,
  // with no settle time: as fast as the link and the conversion time of
  // register 00h allow, and no conversion twice.
  Fast,
  // Current and bus voltage only, power computed from them, shunt voltage
  // not read (NaN): twice the rate where the link sets it.
  FastTwo,
};

struct Measurement {
  std::string time{};         // "2026-01-15 09:00:00.000" (".000000" in the fast modes)
  double timeSeconds = 0;     // the same instant in seconds, for plotting
  bool acknowledged = false;  // every register answered; the numbers below are 0 otherwise
  double shuntVolts = 0;      // NaN when not read (AcquisitionMode::FastTwo)
  double busVolts = 0;
  double amperes = 0;
  double watts = 0;
  // Registers 00h-05h of a pass; in the fast modes 00h-04h, with 00h as the
  // run started and a register not read (see registersRead) as 0.
  std::vector<uint16_t> raw{};
  uint8_t registersRead = 0;  // bit n: register n was read for this measurement
  // The scaling the values were scaled with, and so their resolution; 0: none.
  double currentLsbAmps = 0;
  double powerLsbWatts = 0;
};

// How long a monitor or log runs: N passes, S seconds, or (both 0) until
// stopped; and what it reads.
struct MonitorLength {
  long passes = 0;
  double seconds = 0;
  AcquisitionMode mode = AcquisitionMode::Passes;
};

struct RunSummary {
  long passes = 0;
  long unacknowledged = 0;  // passes not every register answered
  bool stopped = false;     // ended by a stop request
  // Read but never told: the caller did not keep up and the bounded buffer
  // between the reading and the caller had no room.
  long lost = 0;
  // Measurements per second between the first and the last; 0 with fewer than two.
  double rate = 0;
};

struct LogSummary {
  std::string file{};
  long passes = 0;
  long logged = 0;  // passes written to the file
  long unacknowledged = 0;
  bool stopped = false;
  long unanswered = 0;  // of the unacknowledged, those the register link did not answer
  long lost = 0;        // read but not logged: the writing did not keep up
  double rate = 0;      // measurements per second, as in RunSummary
};

// Figures of one quantity over a run (see RunStatistics).
struct QuantityStatistics {
  long samples = 0;  // values of it; 0 when it was not read (min ... are 0 then)
  double min = 0;
  double mean = 0;  // of the values, each sample weighing the same
  double max = 0;
  double peakToPeak = 0;
  double stdDev = 0;  // population standard deviation (divided by samples)
};

// The statistics of the measurements of a run, one pass over them. Charge
// and energy integrate current and power with each sample holding its value
// until the next one's time, so `seconds` runs from the first sample to the
// last and chargeAmpSeconds / seconds is the time-weighted mean current.
// Samples the device did not acknowledge, and those lost on the way, are
// in `lost` and in no other figure.
struct RunStatistics {
  long samples = 0;
  double seconds = 0;
  long lost = 0;
  double firstTimeSeconds = 0;  // of the first sample, as Measurement::timeSeconds
  QuantityStatistics busVolts{};
  QuantityStatistics shuntVolts{};
  QuantityStatistics amps{};
  QuantityStatistics watts{};
  double chargeAmpSeconds = 0;
  double chargeMah = 0;
  double energyJoules = 0;
  double energyWh = 0;
};

enum class DeviceKind { Other, RegLink, Interface };

struct DeviceInfo {
  std::string path{};
  std::optional<uint16_t> vendorId{};  // absent when the system did not tell
  std::optional<uint16_t> productId{};
  std::string serial{};
  std::string product{};
  DeviceKind kind = DeviceKind::Other;
  std::string kindName{};  // "register link", "interface board" or empty
  bool openable = false;
  std::string reason{};   // why it cannot be opened
  bool selected = false;  // the board a session takes by the stored or given choice
};

// One mnemonic command and the interface board's answer.
struct MnemonicReply {
  std::string text{};
  std::array<uint8_t, 32> command{};
  std::array<uint8_t, 32> answer{};
  std::vector<uint8_t> reads{};
  std::vector<uint8_t> acks{};
  bool answered = false;      // the board answered at all
  bool acknowledged = false;  // every acknowledge bit is 00
};

struct ScriptRowResult {
  int row = 0;
  std::string description{};
  std::string step{};
  std::string low{};
  std::string high{};
  std::string result{};
  std::string verdict{};  // "PASS", "FAIL" or empty
  bool skipped = false;   // a break step, which needs a person
};

struct ScriptResult {
  std::vector<ScriptRowResult> rows{};
  int pass = 0;
  int fail = 0;
  bool stopped = false;
  bool timedOut = false;
  bool boardAnswered = true;  // false: the interface board stopped answering
  bool Passed() const { return fail == 0 && boardAnswered && !stopped && !timedOut; }
};

// Whom and where the record of a script run is for (a test station's ids);
// an empty text is written as null.
struct ScriptRecordIds {
  std::string dutId{};
  std::string stationId{};
  std::string operatorName{};
};

}  // namespace evm
