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

namespace evm {

// RefMode values.
inline constexpr int kRefNone = 0;
inline constexpr int kRef5VFactory = 1;
inline constexpr int kRef3VFactory = 2;
inline constexpr int kRefUser = 3;
inline constexpr int kRefDigitalCodes = 4;

enum class DacChannel { A = 0, B = 1, C = 2, D = 3 };

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

  // which: 1 = CNV1, 2 = CNV2. Volts in modes 0 to 3, the signed code in mode 4.
  double ReadCnv(int which, int mode);
  double ReadCnv1(int mode) { return ReadCnv(1, mode); }
  double ReadCnv2(int mode) { return ReadCnv(2, mode); }
  // Amperes; nullopt (after the message) outside mode 1.
  std::optional<double> ReadLoopCurrent(int mode);

  // "OPEN", "GND", "DAC", or "" to leave an input as it is. False when the
  // board did not answer, which leaves the other input as it was.
  bool SetCnvMux(int which, const std::string& plus, const std::string& minus);
  bool SetCnv1Mux(const std::string& plus, const std::string& minus) {
    return SetCnvMux(1, plus, minus);
  }
  bool SetCnv2Mux(const std::string& plus, const std::string& minus) {
    return SetCnvMux(2, plus, minus);
  }

  void SetDac(DacChannel channel, double volts, int mode, int autoCal);
  // False when the board did not answer (or the text did not parse).
  bool WriteDac(DacChannel channel, double volts, int mode);
  void AutoCalDac(DacChannel channel, double target, int mode);
  void SetDacB(double volts, int mode, int autoCal) { SetDac(DacChannel::B, volts, mode, autoCal); }
  void WriteDacA(double volts, int mode) { WriteDac(DacChannel::A, volts, mode); }
  void WriteDacC(double volts, int mode) { WriteDac(DacChannel::C, volts, mode); }
  void AutoCalDacA(double volts, int mode) { AutoCalDac(DacChannel::A, volts, mode); }
  void AutoCalDacB(double volts, int mode) { AutoCalDac(DacChannel::B, volts, mode); }

  // The DAC code a setting gives, ties rounded to even, held to 16 bits.
  static uint16_t DacCode(double setting, double vrefVolts);
  // The command text of one DAC write.
  static std::string DacWriteText(DacChannel channel, uint16_t code);

  // The coefficients; read from their file at the first operation that needs them.
  const FactoryCalTable& FactoryCal();

  int RefMode = kRefNone;
  // 5 V until a reference is chosen, so that nothing divides by zero.
  double VrefVolts = 5.0;
  int DacAutoCal = 0;
  // What the last auto-calibration read back when it met its tolerance;
  // nullopt when it failed or was cut short.
  std::optional<double> AutoCalReadBack;
  uint8_t MuxState = 0;
  std::string SavedCnv1Plus;
  std::string SavedCnv1Minus;
  std::string SavedCnv2Plus;
  std::string SavedCnv2Minus;

 private:
  double ReadChannelBack(DacChannel channel, int mode);
  bool ApplyMuxWord(int which, bool plus, const std::string& word);

  UsbDutWriter& writer_;
  I2CResults& results_;
  UserInterface& ui_;
  const NumberLocale& locale_;
  UsbDebugLog& log_;
  std::filesystem::path factoryCalFile_;
  std::optional<FactoryCalTable> factoryCal_;
};

}  // namespace evm
