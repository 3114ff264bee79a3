// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "common/i2c_results.h"
#include "common/number_locale.h"
#include "common/user_interface.h"
#include "mnemonic/usb_debug_log.h"
#include "mnemonic/usb_dut_writer.h"
#include "testboard/factory_cal.h"
#include "testboard/test_board_types.h"

namespace evm {

// The test board's instruments (module Calibration_Board): the two CNV3800
// converters, the multiplexer in front of them, the QDX4470 DAC with its
// closed-loop calibration, and the current-loop read-back.
class CalibrationBoard {
 public:
  static constexpr double kAutoCalTolerance = 0.0002;
  static constexpr double kAutoCalSettleSeconds = 0.3;

  CalibrationBoard(UsbDutWriter& writer, I2CResults& results, UserInterface& ui,
                   const NumberLocale& locale, UsbDebugLog& log,
                   std::filesystem::path factoryCalFile);

  // Volts, or the signed code with DigitalCodes.
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
  double ReadChannelBack(DacChannel channel, Reference mode);
  bool ApplyMuxInput(Converter which, bool plus, MuxInput input);

  UsbDutWriter& writer_;
  I2CResults& results_;
  UserInterface& ui_;
  const NumberLocale& locale_;
  UsbDebugLog& log_;
  std::filesystem::path factoryCalFile_;
  std::optional<FactoryCalTable> factoryCal_;
};

}  // namespace evm
