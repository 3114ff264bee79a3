// SPDX-License-Identifier: GPL-3.0-or-later
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

int FactoryReference(Reference mode) {
  return mode == Reference::Factory5V ? 0 : mode == Reference::Factory3V ? 1 : -1;
}

size_t Index(Converter which) {
  return static_cast<size_t>(which);
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

double CalibrationBoard::ReadCnv(Converter which, Reference mode) {
  if (mode == Reference::Factory5V) VrefVolts = 5;
  if (mode == Reference::Factory3V) VrefVolts = 3;
  writer_.SendMnemonic(which == Converter::Cnv1 ? "I2C CH2 S 91 ACKS R ACKM R ACKM P"
                                                : "I2C CH2 S 93 ACKS R ACKM R ACKM P");
  const int high = results_.I2C_ReadData[0].value_or(0);
  const int low = results_.I2C_ReadData[1].value_or(0);
  int code = high * 256 + low;
  if (high & 0x80) code -= 65536;
  if (mode == Reference::DigitalCodes) return code;
  double value = code * VrefVolts / 32768;
  const int reference = FactoryReference(mode);
  if (reference >= 0) {
    const GainOffset& k = FactoryCal().cnv[Index(which)][reference][value > 0 ? 0 : 1];
    value = value * k.gain + k.offset;
  }
  return value;
}

std::optional<double> CalibrationBoard::ReadLoopCurrent(Reference mode) {
  if (mode != Reference::Factory5V) {
    ui_.MessageBox("You must use the 5V reference for 4mA to 20mA readback", "");
    return std::nullopt;
  }
  const double reading = ParseEngNumber(
      FormatGeneral(ReadCnv(Converter::Cnv2, Reference::Factory5V), locale_), locale_);
  const GainOffset& k = FactoryCal().loop;
  return reading * k.gain + k.offset;
}

// False when the board did not answer.
bool CalibrationBoard::ApplyMuxInput(Converter which, bool plus, MuxInput input) {
  const MuxBits bits = kMuxBits[Index(which)][plus ? 0 : 1];
  switch (input) {
    case MuxInput::Unchanged: return true;
    case MuxInput::Open: MuxState &= static_cast<uint8_t>(~(bits.dac | bits.gnd)); break;
    case MuxInput::Gnd: MuxState = static_cast<uint8_t>((MuxState & ~bits.dac) | bits.gnd); break;
    case MuxInput::Dac: MuxState = static_cast<uint8_t>((MuxState & ~bits.gnd) | bits.dac); break;
  }
  writer_.SendMnemonic("CMD MUX " + HexText(MuxState));
  if (writer_.LastExchangeFailed()) return false;
  (plus ? (which == Converter::Cnv1 ? SavedCnv1Plus : SavedCnv2Plus)
        : (which == Converter::Cnv1 ? SavedCnv1Minus : SavedCnv2Minus)) = input;
  return true;
}

bool CalibrationBoard::SetCnvMux(Converter which, MuxInput plus, MuxInput minus) {
  // When the board does not answer, the other input would wait as long again.
  return ApplyMuxInput(which, true, plus) && ApplyMuxInput(which, false, minus);
}

CalibrationBoard::DacOutcome CalibrationBoard::SetDac(DacChannel channel, double volts,
                                                      Reference mode, bool autoCal) {
  // Modes 0, 3 and 4 allow what the DAC can make: 0 up to the reference.
  double upper = VrefVolts;
  double lower = 0;
  if (mode == Reference::Factory5V) {
    VrefVolts = 5;
    upper = 4.9;
    lower = 0.05;
  } else if (mode == Reference::Factory3V) {
    VrefVolts = 3;
    upper = 2.95;
    lower = 0.05;
  }
  if (volts > upper || volts < lower) {
    ui_.MessageBox("Vin > max input voltage or Vin< min input voltage ", "");
    return DacOutcome::OutOfRange;
  }
  if (autoCal) return AutoCalDac(channel, volts, mode);
  return WriteDac(channel, volts, mode) ? DacOutcome::Set : DacOutcome::NotTaken;
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

bool CalibrationBoard::WriteDac(DacChannel channel, double volts, Reference mode) {
  double setting = volts;
  const int reference = FactoryReference(mode);
  if (reference >= 0) {
    const GainOffset& k = FactoryCal().dac[static_cast<size_t>(channel)][reference];
    setting = (volts - k.offset) / k.gain;
  }
  // Past the raw-command view; a write the board did not take is a fault
  // like any other command's, with the USB-problem dialog.
  return writer_.ExchangeWithoutView(DacWriteText(channel, DacCode(setting, VrefVolts)));
}

double CalibrationBoard::ReadChannelBack(DacChannel channel, Reference mode) {
  switch (channel) {
    case DacChannel::A: return -ReadCnv(Converter::Cnv1, mode);
    case DacChannel::B: return ReadCnv(Converter::Cnv1, mode);
    case DacChannel::C: return -ReadCnv(Converter::Cnv2, mode);
    case DacChannel::D: return ReadCnv(Converter::Cnv2, mode);
  }
  return 0;
}

CalibrationBoard::DacOutcome CalibrationBoard::AutoCalDac(DacChannel channel, double target,
                                                          Reference mode) {
  const Converter which =
      channel == DacChannel::A || channel == DacChannel::B ? Converter::Cnv1 : Converter::Cnv2;
  const bool onMinus = channel == DacChannel::A || channel == DacChannel::C;
  // Digital codes cannot be compared with a voltage: the loop reads back in
  // volts on the same reference, without factory correction, as mode 4 writes.
  const Reference readMode = mode == Reference::DigitalCodes ? Reference::User : mode;
  const MuxInput savedPlus = which == Converter::Cnv1 ? SavedCnv1Plus : SavedCnv2Plus;
  const MuxInput savedMinus = which == Converter::Cnv1 ? SavedCnv1Minus : SavedCnv2Minus;

  // A failed exchange ends the calibration: each further step would wait out
  // a time-out of its own and raise a dialog of its own.
  AutoCalReadBack.reset();
  constexpr DacOutcome kNotTaken = DacOutcome::NotTaken;
  const auto failed = [this] { return writer_.LastExchangeFailed(); };
  writer_.SendMnemonic("CMD EN_CNV OFF");
  if (failed()) return kNotTaken;
  if (!SetCnvMux(which, onMinus ? MuxInput::Gnd : MuxInput::Dac,
                 onMinus ? MuxInput::Dac : MuxInput::Gnd)) {
    return kNotTaken;
  }

  if (!WriteDac(channel, target, mode)) return kNotTaken;
  writer_.WaitSeconds(kAutoCalSettleSeconds);
  double measured = ReadChannelBack(channel, readMode);
  if (failed()) return kNotTaken;

  double setting = target - (measured - target);
  if (!WriteDac(channel, setting, mode)) return kNotTaken;
  writer_.WaitSeconds(kAutoCalSettleSeconds);
  measured = ReadChannelBack(channel, readMode);
  if (failed()) return kNotTaken;
  double error = measured - target;

  if (std::fabs(error) > kAutoCalTolerance) {
    setting -= error;
    if (!WriteDac(channel, setting, mode)) return kNotTaken;
    writer_.WaitSeconds(kAutoCalSettleSeconds);
    measured = ReadChannelBack(channel, readMode);
    if (failed()) return kNotTaken;
    error = measured - target;
  }
  const bool met = std::fabs(error) <= kAutoCalTolerance;
  if (met) {
    AutoCalReadBack = measured;
  } else {
    ui_.MessageBox("Fail dac autocal.", "");
  }

  if (!SetCnvMux(which, savedPlus, savedMinus)) return kNotTaken;
  writer_.SendMnemonic("CMD EN_CNV ON");
  if (failed()) return kNotTaken;
  return met ? DacOutcome::Set : DacOutcome::AutoCalFailed;
}

}  // namespace evm
