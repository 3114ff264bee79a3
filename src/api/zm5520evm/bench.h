// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "zm5520evm/errors.h"
#include "zm5520evm/export.h"
#include "zm5520evm/results.h"
#include "zm5520evm/test_board_types.h"

namespace evm {

inline constexpr uint16_t kDefaultVendorId = 0x3A5F;
inline constexpr int kDefaultDeviceAddress = 0x40;
// Register 05h, which the calibration sets.
inline constexpr int kCalibrationRegister = 5;

// The simulated EVM: both boards and the device, in the process.
struct SimulationOptions {
  // Waits pass at once on a clock of their own; false waits in real time.
  bool fakeClock = true;
  // One board misbehaves for the whole session: "reglink:no-reply",
  // "interface:garbage", ... (see `evmctl --help`); empty for none.
  std::string fault{};
  int boards = 1;               // register links and interface boards each
  double referenceVolts = 5.0;  // the test board's reference jumper
  // A load that changes over time: "step:at=2,amps=3;noise:amps=0.01" (see
  // `evmctl --help`); empty: a constant 1 A at 12 V. A bad text fails Open
  // with ParseError.
  std::string load{};
  // One USB frame each way per report, in milliseconds; 0 answers at once.
  double frameMs = 1.0;
};

struct BenchOptions {
  bool simulate = false;
  SimulationOptions simulation{};
  // The board of each kind to take, by serial number or path; empty takes
  // the stored choice, else the first one found. A board named here must be
  // there: there is no fall-back to another.
  std::string regLink{};
  std::string interfaceBoard{};
  uint16_t vendorId = kDefaultVendorId;
  // Where the calibration, board choice and USB address of earlier sessions
  // are kept; nullopt touches no state file at all.
  std::optional<std::filesystem::path> stateFolder{};
  int deviceAddress = kDefaultDeviceAddress;  // the ZM5520/1 on the I2C bus
  // The interface board's USB address for this session; nullopt takes the stored one.
  std::optional<uint16_t> usbAddress{};
  // Told what is worth knowing but fails nothing: an unreadable state file,
  // a stored board choice that is ignored, a step that needs a person.
  std::function<void(const std::string&)> onNotice{};
};

// Told for every pass of a monitor or log as it is read.
using MeasurementCallback = std::function<void(const Measurement&)>;
// Told for each mnemonic command as its answer comes, the unanswered one too.
using ReplyCallback = std::function<void(const MnemonicReply&)>;
// Told after each script row has run.
using ScriptRowCallback = std::function<void(const ScriptRowResult&)>;

// One session with the EVM. Every call blocks until it is done and throws
// an evm::Error subclass when it fails; a result is never a failure in
// disguise. Use a Bench from one thread at a time; RequestStop() is the one
// call that may come from any thread.
class ZM5520EVM_API Bench {
 public:
  static std::unique_ptr<Bench> Open(const BenchOptions& options);
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  static std::string Version();

  const BenchOptions& Options() const;

  // Every HID device present, with the boards told apart. Opens nothing for good.
  std::vector<DeviceInfo> Devices();

  // Registers 00h-05h (00h-07h with `engineering`), scaled by the stored
  // calibration (or the one given to UseScaling).
  RegisterSnapshot ReadRegisters(bool engineering = false);
  // Writes `value` and reads it back; ReadBackError when it reads back otherwise.
  WriteResult WriteRegister(int reg, uint16_t value);

  // Register 00h, which sets the ranges the calibration works on.
  uint16_t ReadConfig();
  // The initial calibration on the ranges `config` sets; pure: no board,
  // no file. A refused input is in the result's refusal, not thrown.
  static CalibrationResult Calculate(const CalibrationRequest& request, uint16_t config);
  // Writes register 05h (and 00h when `config` differs from the device's),
  // checks both, and keeps the inputs in the state folder so later sessions
  // scale by them. ParseError for a refused calibration.
  void ApplyCalibration(const CalibrationResult& calibration);
  // Scale by these from now on instead of the stored calibration.
  void UseScaling(double currentLsbAmps, double powerLsbWatts);
  // A device after power-up has 0 in register 05h and so measures no
  // current: writes the calibration of the stored inputs (or the defaults)
  // then, as the main window does when it first opens. The board's failure
  // is thrown.
  CalibrationRestore CalibrateIfBlank();

  // One pass; NotAcknowledgedError when the device gave no full pass.
  Measurement MeasureOnce();
  // Passes until `length` is over or a stop is requested; a pass the device
  // did not fully give is passed on with acknowledged false. A register
  // link that stops answering ends the run with BoardSilentError, a board
  // that is gone with NoBoardError, as at its start.
  RunSummary Monitor(const MonitorLength& length, const MeasurementCallback& onPass,
                     std::stop_token stop = {});
  // The passes of a Monitor; CancelledError when it was stopped.
  std::vector<Measurement> MonitorBatch(const MonitorLength& length, std::stop_token stop = {});
  // The log file of the main window: only fully acknowledged passes are
  // written. A file marked read-only, a folder or a device is refused
  // before any board is touched.
  LogSummary Log(const std::filesystem::path& file, const MonitorLength& length,
                 const MeasurementCallback& onPass = {}, std::stop_token stop = {});

  // A log of one row per `intervalSeconds` instead of one per measurement:
  // min, mean and max of each quantity, the charge and energy of the
  // interval and the count of its samples and of those lost (the layout is
  // in the README). Refused as Log refuses, and an interval not above 0 is
  // a ParseError. `logged` counts the measurements summarised.
  LogSummary LogSummaries(const std::filesystem::path& file, const MonitorLength& length,
                          double intervalSeconds, const MeasurementCallback& onPass = {},
                          std::stop_token stop = {});
  // The statistics of the acknowledged measurements of the last Monitor,
  // MonitorBatch, Log or LogSummaries (also of one that was stopped or
  // failed part way); all 0 before the first.
  RunStatistics LastStatistics() const;
  // The statistics of measurements given by their times and quantities
  // (NaN: not read): the same figures by the same code, for data that
  // comes from elsewhere. The times must not decrease.
  static RunStatistics StatisticsOf(const std::vector<Measurement>& measurements);

  // Register files: one decimal value per line. Returns the values saved.
  std::vector<uint16_t> SaveRegisters(const std::filesystem::path& file);
  // Writes the registers the file changes; nothing when the file is not one.
  // Returns the file's values.
  std::vector<uint16_t> LoadRegisters(const std::filesystem::path& file);

  // Sends each text to the interface board; ParseError before anything is
  // sent when one does not parse, BoardSilentError at the first unanswered.
  std::vector<MnemonicReply> Send(const std::vector<std::string>& texts,
                                  const ReplyCallback& onReply = {});
  // The command report the text makes as a session's first command; no board.
  static std::array<uint8_t, 32> Encode(const std::string& text);

  // A script file of four quoted fields per line; `maxSeconds` (0: none)
  // ends the run with the step in progress.
  ScriptResult RunScript(const std::filesystem::path& file, double maxSeconds = 0,
                         const ScriptRowCallback& onRow = {}, std::stop_token stop = {});
  // Writes the rows of the last RunScript as a results file.
  void SaveScriptResults(const std::filesystem::path& file);
  // The record of the last RunScript, also of one that failed or was
  // stopped: a JSON document whose layout the README describes, for `ids`.
  std::string ScriptRecordJson(const ScriptRecordIds& ids) const;
  // Writes that record as JSON to `json` and as JUnit XML to `junit`, each
  // whole or not at all; an empty path writes none. FileError when one
  // cannot be written.
  void SaveScriptRecord(const ScriptRecordIds& ids, const std::filesystem::path& json,
                        const std::filesystem::path& junit) const;

  // The test board. Volts, or the signed code with Reference::DigitalCodes.
  // NotAcknowledgedError when a converter or the DAC behind the interface
  // board did not acknowledge.
  double ReadConverter(Converter which, Reference reference);
  // The 4-20 mA loop in amperes; on the 5 V reference only.
  double ReadLoopCurrent();
  void SetMux(Converter which, MuxInput plus, MuxInput minus);
  // With `autoCal` the output is read back and corrected; the value read
  // back is returned then (the setting otherwise). ParseError for a value
  // outside the reference's range; ReadBackError (reg ReadBackError::kDac)
  // when the auto-calibration misses its tolerance.
  double SetDac(DacChannel channel, double volts, Reference reference, bool autoCal = false);
  // The device's supply (Vdut).
  void SetSupply(bool on);

  // Ends the operation in progress at its next pass, row or wait, and every
  // later one, until ClearStop(). Thread-safe.
  void RequestStop();
  void ClearStop();
  std::stop_token StopToken() const;

 private:
  // The program's own front ends open a Bench on a clock of theirs.
  friend struct BenchAccess;
  struct Impl;
  explicit Bench(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace evm
