#include "testboard/calibration_board.h"

#include <cmath>

#include "calibration/eng_number.h"
#include "common/atomic_file.h"
#include "common/number_text.h"
#include "mnemonic/mnemonic_language.h"

namespace evm {

namespace {

constexpr const char* kDacControlBytes[] = {"10", "12", "14", "16"};

struct MuxBits {
  uint8_t dac;
  uint8_t gnd;
};
// [converter][0 = plus, 1 = minus]
constexpr MuxBits kMuxBits[2][2] = {
    {{0x01, 0x08}, {0x02, 0x04}},
    {{0x10, 0x80}, {0x20, 0x40}},
};

int FactoryReference(int mode) {
  return mode == kRef5VFactory ? 0 : mode == kRef3VFactory ? 1 : -1;
}

}  // namespace

CalibrationBoard::CalibrationBoard(UsbDutWriter& writer, I2CResults& results, UserInterface& ui,
                                   const NumberLocale& locale, UsbDebugLog& log,
                                   std::filesystem::path factoryCalFile)
    : writer_(writer),
      results_(results),
      ui_(ui),
      locale_(locale),
      log_(log),
      factoryCalFile_(std::move(factoryCalFile)) {}

const FactoryCalTable& CalibrationBoard::FactoryCal() {
  if (!factoryCal_) {
    std::vector<std::string> notes;
    std::error_code readError;
    factoryCal_ = LoadFactoryCal(factoryCalFile_, notes, &readError);
    for (const std::string& note : notes) log_.Entry(note);
    // Without its file the table is the identity, as on a board never
    // calibrated; a file that is there but unreadable is a fault to show.
    if (readError && readError != std::errc::no_such_file_or_directory) {
      ui_.MessageBox(UnreadableFileMessage(factoryCalFile_, readError), "");
    }
  }
  return *factoryCal_;
}

double CalibrationBoard::ReadCnv(int which, int mode) {
  if (mode == kRef5VFactory) VrefVolts = 5;
  if (mode == kRef3VFactory) VrefVolts = 3;
  writer_.SendMnemonic(which == 1 ? "I2C CH2 S 91 ACKS R ACKM R ACKM P"
                                  : "I2C CH2 S 93 ACKS R ACKM R ACKM P");
  const int high = results_.I2C_ReadData[0].value_or(0);
  const int low = results_.I2C_ReadData[1].value_or(0);
  int code = high * 256 + low;
  if (high & 0x80) code -= 65536;
  if (mode == kRefDigitalCodes) return code;
  double value = code * VrefVolts / 32768;
  const int reference = FactoryReference(mode);
  if (reference >= 0) {
    const GainOffset& k = FactoryCal().cnv[which - 1][reference][value > 0 ? 0 : 1];
    value = value * k.gain + k.offset;
  }
  return value;
}

std::optional<double> CalibrationBoard::ReadLoopCurrent(int mode) {
  if (mode != kRef5VFactory) {
    ui_.MessageBox("You must use the 5V reference for 4mA to 20mA readback", "");
    return std::nullopt;
  }
  const double reading = ParseEngNumber(FormatGeneral(ReadCnv2(kRef5VFactory), locale_), locale_);
  const GainOffset& k = FactoryCal().loop;
  return reading * k.gain + k.offset;
}

bool CalibrationBoard::ApplyMuxWord(int which, bool plus, const std::string& word) {
  const MuxBits bits = kMuxBits[which - 1][plus ? 0 : 1];
  uint8_t state = MuxState;
  if (word == "OPEN") {
    state &= static_cast<uint8_t>(~(bits.dac | bits.gnd));
  } else if (word == "GND") {
    state = static_cast<uint8_t>((state & ~bits.dac) | bits.gnd);
  } else if (word == "DAC") {
    state = static_cast<uint8_t>((state & ~bits.gnd) | bits.dac);
  } else {
    return false;
  }
  MuxState = state;
  writer_.SendMnemonic("CMD MUX " + HexText(MuxState));
  return true;
}

bool CalibrationBoard::SetCnvMux(int which, const std::string& plus, const std::string& minus) {
  std::string& savedMinus = which == 1 ? SavedCnv1Minus : SavedCnv2Minus;
  std::string& savedPlus = which == 1 ? SavedCnv1Plus : SavedCnv2Plus;
  if (!plus.empty()) {
    if (!ApplyMuxWord(which, true, plus)) {
      ui_.MessageBox("ERROR IN CNV_MUX+", "");
    } else if (writer_.LastExchangeFailed()) {
      // The board did not answer; the other input would wait as long again.
      return false;
    }
    savedPlus = plus;
  }
  if (!minus.empty()) {
    if (!ApplyMuxWord(which, false, minus)) {
      ui_.MessageBox("ERROR IN CNV_MUX-", "");
    } else if (writer_.LastExchangeFailed()) {
      return false;
    }
    savedMinus = minus;
  }
  return true;
}

void CalibrationBoard::SetDac(DacChannel channel, double volts, int mode, int autoCal) {
  // Modes 0, 3 and 4 allow what the DAC can make: 0 up to the reference.
  double upper = VrefVolts;
  double lower = 0;
  if (mode == kRef5VFactory) {
    VrefVolts = 5;
    upper = 4.9;
    lower = 0.05;
  } else if (mode == kRef3VFactory) {
    VrefVolts = 3;
    upper = 2.95;
    lower = 0.05;
  }
  if (volts > upper || volts < lower) {
    ui_.MessageBox("Vin > max input voltage or Vin< min input voltage ", "");
    return;
  }
  if (autoCal == 1) {
    AutoCalDac(channel, volts, mode);
  } else {
    WriteDac(channel, volts, mode);
  }
}

uint16_t CalibrationBoard::DacCode(double setting, double vrefVolts) {
  if (vrefVolts <= 0) return 0;
  // The default floating-point rounding mode rounds ties to even.
  const double code = std::nearbyint(setting * 65535 / vrefVolts);
  if (!(code > 0)) return 0;
  return code >= 65535 ? 65535 : static_cast<uint16_t>(code);
}

std::string CalibrationBoard::DacWriteText(DacChannel channel, uint16_t code) {
  return std::string("I2C CH2 S 98 ACKS ") + kDacControlBytes[static_cast<int>(channel)] +
         " ACKS " + HexText(code >> 8) + " ACKS " + HexText(code & 0xFFu) + " ACKS P";
}

bool CalibrationBoard::WriteDac(DacChannel channel, double volts, int mode) {
  double setting = volts;
  const int reference = FactoryReference(mode);
  if (reference >= 0) {
    const GainOffset& k = FactoryCal().dac[static_cast<size_t>(channel)][reference];
    setting = (volts - k.offset) / k.gain;
  }
  // Straight to the board: no echo check, no raw-command view.
  writer_.ParseMnemonic(DacWriteText(channel, DacCode(setting, VrefVolts)));
  if (!writer_.MnemonicError.empty()) return false;
  writer_.ExchangeReport();
  writer_.DecodeReadsAndAcks();
  return !writer_.LastExchangeFailed();
}

double CalibrationBoard::ReadChannelBack(DacChannel channel, int mode) {
  switch (channel) {
    case DacChannel::A: return -ReadCnv1(mode);
    case DacChannel::B: return ReadCnv1(mode);
    case DacChannel::C: return -ReadCnv2(mode);
    case DacChannel::D: return ReadCnv2(mode);
  }
  return 0;
}

void CalibrationBoard::AutoCalDac(DacChannel channel, double target, int mode) {
  const int which = channel == DacChannel::A || channel == DacChannel::B ? 1 : 2;
  const bool onMinus = channel == DacChannel::A || channel == DacChannel::C;
  // Digital codes cannot be compared with a voltage: the loop reads back in
  // volts on the same reference, without factory correction, as mode 4 writes.
  const int readMode = mode == kRefDigitalCodes ? kRefUser : mode;
  const std::string savedPlus = which == 1 ? SavedCnv1Plus : SavedCnv2Plus;
  const std::string savedMinus = which == 1 ? SavedCnv1Minus : SavedCnv2Minus;

  // A failed exchange ends the calibration: each further step would wait out
  // a time-out of its own and raise a dialog of its own. A failed DAC write
  // raises none, so the user is told the calibration failed.
  AutoCalReadBack.reset();
  const auto failed = [this] { return writer_.LastExchangeFailed(); };
  const auto writeFailed = [this](bool written) {
    if (!written) ui_.MessageBox("Fail dac autocal.", "");
    return !written;
  };
  writer_.SendMnemonic("CMD EN_CNV OFF");
  if (failed()) return;
  if (!SetCnvMux(which, onMinus ? "GND" : "DAC", onMinus ? "DAC" : "GND")) return;

  if (writeFailed(WriteDac(channel, target, mode))) return;
  writer_.WaitSeconds(kAutoCalSettleSeconds);
  double measured = ReadChannelBack(channel, readMode);
  if (failed()) return;

  double setting = target - (measured - target);
  if (writeFailed(WriteDac(channel, setting, mode))) return;
  writer_.WaitSeconds(kAutoCalSettleSeconds);
  measured = ReadChannelBack(channel, readMode);
  if (failed()) return;
  double error = measured - target;

  if (std::fabs(error) > kAutoCalTolerance) {
    setting -= error;
    if (writeFailed(WriteDac(channel, setting, mode))) return;
    writer_.WaitSeconds(kAutoCalSettleSeconds);
    measured = ReadChannelBack(channel, readMode);
    if (failed()) return;
    error = measured - target;
  }
  if (std::fabs(error) > kAutoCalTolerance) {
    ui_.MessageBox("Fail dac autocal.", "");
  } else {
    AutoCalReadBack = measured;
  }

  if (!SetCnvMux(which, savedPlus, savedMinus)) return;
  writer_.SendMnemonic("CMD EN_CNV ON");
}

}  // namespace evm
