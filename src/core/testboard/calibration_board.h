// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "common/board_outcome.h"
#include "common/i2c_results.h"
#include "common/number_locale.h"
#include "common/user_interface.h"
#include "mnemonic/usb_debug_log.h"
#include "mnemonic/usb_dut_writer.h"
#include "testboard/factory_cal.h"
#include "testboard/test_board_types.h"

namespace evm {

// How a DAC setting ended, for the caller that tells the user.
struct DacResult {
  // The first failure: OutOfRange (nothing written), Silent, Stopped,
  // NotAcknowledged, File, or ReadBack when the auto-calibration missed its
  // tolerance.
  BoardOutcome outcome{};
  // The range the setting was checked against, in volts.
  double lower = 0;
  double upper = 0;
  // What the auto-calibration read back last, met or missed.
  std::optional<double> readBack{};
  // The auto-calibration's last read-back missed the tolerance.
  bool toleranceMissed = false;
};

// The test board's instruments (module Calibration_Board): the two CNV3800
// converters, the multiplexer in front of them, the QDX4470 DAC with its
// closed-loop calibration, and the current-loop read-back.
//
// Two layers: the operations (ReadConverter, MeasureLoopCurrent, Mux,
// SetDacOutput, Supply) say how they ended and show nothing; the Part's
// procedures (ReadCnv, ReadLoopCurrent, SetCnvMux, SetDac) call them and
// show the window's message boxes for their outcomes.
class CalibrationBoard {
 public:
  static constexpr double kAutoCalTolerance = 0.0002;
  // What the DAC may be set to on the factory references.
  static constexpr double kDacLowestVolts = 0.05;
  static constexpr double kDacHighest5VVolts = 4.9;
  static constexpr double kDacHighest3VVolts = 2.95;
  static constexpr double kAutoCalSettleSeconds = 0.3;
  static constexpr const char* kOutOfRangeMessage =
      "Vin > max input voltage or Vin< min input voltage ";
  static constexpr const char* kAutoCalMessage = "Fail dac autocal.";
  static constexpr const char* kLoopReferenceMessage =
      "You must use the 5V reference for 4mA to 20mA readback";

  CalibrationBoard(UsbDutWriter& writer, I2CResults& results, UserInterface& ui,
                   const NumberLocale& locale, UsbDebugLog& log,
                   std::filesystem::path factoryCalFile);

  // Operations.
  // Volts, or the signed code with DigitalCodes.
  BoardResult<double> ReadConverter(Converter which, Reference mode);
  // Amperes; OutOfRange outside Factory5V.
  BoardResult<double> MeasureLoopCurrent(Reference mode);
  // Stops at the first input the board did not take, which leaves the other as it was.
  BoardOutcome Mux(Converter which, MuxInput plus, MuxInput minus);
  DacResult SetDacOutput(DacChannel channel, double volts, Reference mode, bool autoCal);
  // The device's supply (Vdut).
  BoardOutcome Supply(bool on);

  // The Part's procedures.
  double ReadCnv(Converter which, Reference mode);
  // Amperes; nullopt (after the message) outside Factory5V.
  std::optional<double> ReadLoopCurrent(Reference mode);
  // False when the board did not answer, which leaves the other input as it was.
  bool SetCnvMux(Converter which, MuxInput plus, MuxInput minus);
  // What became of a DAC setting; every outcome but Set had its message.
  enum class DacOutcome { Set, OutOfRange, NotTaken, AutoCalFailed };
  DacOutcome SetDac(DacChannel channel, double volts, Reference mode, bool autoCal);
  // False when the board did not take the write: no answer, a wrong one, or
  // a text that did not parse.
  bool WriteDac(DacChannel channel, double volts, Reference mode);
  DacOutcome AutoCalDac(DacChannel channel, double target, Reference mode);

  // The DAC code a setting gives, ties rounded to even, held to 16 bits.
  static uint16_t DacCode(double setting, double vrefVolts);
  // The command text of one DAC write.
  static std::string DacWriteText(DacChannel channel, uint16_t code);

  // The coefficients; read from their file at the first operation that needs them.
  const FactoryCalTable& FactoryCal();

  Reference RefMode = Reference::None;
  // 5 V until a reference is chosen, so that nothing divides by zero.
  double VrefVolts = 5.0;
  bool DacAutoCal = false;
  // What the last auto-calibration read back when it met its tolerance;
  // nullopt when it failed or was cut short.
  std::optional<double> AutoCalReadBack;
  uint8_t MuxState = 0;
  MuxInput SavedCnv1Plus = MuxInput::Unchanged;
  MuxInput SavedCnv1Minus = MuxInput::Unchanged;
  MuxInput SavedCnv2Plus = MuxInput::Unchanged;
  MuxInput SavedCnv2Minus = MuxInput::Unchanged;

 private:
  BoardResult<double> ReadChannelBack(DacChannel channel, Reference mode);
  bool ApplyMuxInput(Converter which, bool plus, MuxInput input, BoardOutcome& outcome);
  BoardOutcome WriteDacCode(DacChannel channel, double volts, Reference mode);
  DacResult AutoCalibrate(DacChannel channel, double target, Reference mode);
  DacOutcome ShowDac(const DacResult& result, bool autoCal);
  // The unreadable coefficients file, once, after the failure of `outcome`.
  BoardOutcome Finish(BoardOutcome outcome);
  // The message boxes of the Part for an outcome, and of a file left untold.
  void Show(const BoardOutcome& outcome);

  UsbDutWriter& writer_;
  I2CResults& results_;
  UserInterface& ui_;
  const NumberLocale& locale_;
  UsbDebugLog& log_;
  std::filesystem::path factoryCalFile_;
  std::optional<FactoryCalTable> factoryCal_;
  // The coefficients file could not be read; not yet told.
  BoardOutcome factoryCalFault_;
};

}  // namespace evm
