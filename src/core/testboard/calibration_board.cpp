// SPDX-License-Identifier: GPL-3.0-or-later
#include "testboard/calibration_board.h"

#include <cmath>
#include <utility>

#include "common/atomic_file.h"
#include "common/eng_number.h"
#include "common/number_text.h"
#include "common/utf8_path.h"
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
    // calibrated; a file that is there but unreadable is a fault to tell.
    if (readError && readError != std::errc::no_such_file_or_directory) {
      factoryCalFault_ = {.failure = BoardFailure::File,
                          .detail = Utf8FromPath(factoryCalFile_),
                          .code = readError};
    }
  }
  return *factoryCal_;
}

BoardOutcome CalibrationBoard::Finish(BoardOutcome outcome) {
  if (outcome.Ok() && !factoryCalFault_.Ok()) outcome = std::exchange(factoryCalFault_, {});
  return outcome;
}

void CalibrationBoard::Show(const BoardOutcome& outcome) {
  const BoardOutcome& file =
      outcome.failure == BoardFailure::File ? outcome : std::as_const(factoryCalFault_);
  if (file.failure != BoardFailure::File) return;
  ui_.MessageBox(UnreadableFileMessage(PathFromUtf8(file.detail), file.code), "");
  factoryCalFault_ = {};
}

BoardResult<double> CalibrationBoard::ReadConverter(Converter which, Reference mode) {
  if (mode == Reference::Factory5V) VrefVolts = 5;
  if (mode == Reference::Factory3V) VrefVolts = 3;
  writer_.SendMnemonic(which == Converter::Cnv1 ? "I2C CH2 S 91 ACKS R ACKM R ACKM P"
                                                : "I2C CH2 S 93 ACKS R ACKM R ACKM P");
  BoardResult<double> r{.outcome = writer_.LastOutcome()};
  const int high = results_.I2C_ReadData[0].value_or(0);
  const int low = results_.I2C_ReadData[1].value_or(0);
  int code = high * 256 + low;
  if (high & 0x80) code -= 65536;
  r.value = code;
  if (mode == Reference::DigitalCodes) return r;
  double value = code * VrefVolts / 32768;
  const int reference = FactoryReference(mode);
  if (reference >= 0) {
    const GainOffset& k = FactoryCal().cnv[Index(which)][reference][value > 0 ? 0 : 1];
    value = value * k.gain + k.offset;
  }
  r.value = value;
  r.outcome = Finish(r.outcome);
  return r;
}

double CalibrationBoard::ReadCnv(Converter which, Reference mode) {
  const BoardResult<double> r = ReadConverter(which, mode);
  Show(r.outcome);
  return r.value;
}

BoardResult<double> CalibrationBoard::MeasureLoopCurrent(Reference mode) {
  if (mode != Reference::Factory5V) return {.outcome = {.failure = BoardFailure::OutOfRange}};
  BoardResult<double> r = ReadConverter(Converter::Cnv2, Reference::Factory5V);
  const double reading = ParseEngNumber(FormatGeneral(r.value, locale_), locale_);
  const GainOffset& k = FactoryCal().loop;
  r.value = reading * k.gain + k.offset;
  r.outcome = Finish(r.outcome);
  return r;
}

std::optional<double> CalibrationBoard::ReadLoopCurrent(Reference mode) {
  const BoardResult<double> r = MeasureLoopCurrent(mode);
  if (r.outcome.failure == BoardFailure::OutOfRange) {
    ui_.MessageBox(kLoopReferenceMessage, "");
    return std::nullopt;
  }
  Show(r.outcome);
  return r.value;
}

// False when the board did not answer.
bool CalibrationBoard::ApplyMuxInput(Converter which, bool plus, MuxInput input,
                                     BoardOutcome& outcome) {
  const MuxBits bits = kMuxBits[Index(which)][plus ? 0 : 1];
  switch (input) {
    case MuxInput::Unchanged: return true;
    case MuxInput::Open: MuxState &= static_cast<uint8_t>(~(bits.dac | bits.gnd)); break;
    case MuxInput::Gnd: MuxState = static_cast<uint8_t>((MuxState & ~bits.dac) | bits.gnd); break;
    case MuxInput::Dac: MuxState = static_cast<uint8_t>((MuxState & ~bits.gnd) | bits.dac); break;
  }
  writer_.SendMnemonic("CMD MUX " + HexText(MuxState));
  outcome.Then(writer_.LastOutcome());
  if (writer_.LastExchangeFailed()) return false;
  (plus ? (which == Converter::Cnv1 ? SavedCnv1Plus : SavedCnv2Plus)
        : (which == Converter::Cnv1 ? SavedCnv1Minus : SavedCnv2Minus)) = input;
  return true;
}

BoardOutcome CalibrationBoard::Mux(Converter which, MuxInput plus, MuxInput minus) {
  // When the board does not answer, the other input would wait as long again.
  BoardOutcome outcome;
  if (ApplyMuxInput(which, true, plus, outcome)) ApplyMuxInput(which, false, minus, outcome);
  return outcome;
}

bool CalibrationBoard::SetCnvMux(Converter which, MuxInput plus, MuxInput minus) {
  BoardOutcome outcome;
  return ApplyMuxInput(which, true, plus, outcome) && ApplyMuxInput(which, false, minus, outcome);
}

BoardOutcome CalibrationBoard::Supply(bool on) {
  writer_.SendMnemonic(on ? "CMD ON" : "CMD OFF");
  return writer_.LastOutcome();
}

DacResult CalibrationBoard::SetDacOutput(DacChannel channel, double volts, Reference mode,
                                         bool autoCal) {
  // Modes 0, 3 and 4 allow what the DAC can make: 0 up to the reference.
  DacResult r{.upper = VrefVolts};
  if (mode == Reference::Factory5V) {
    VrefVolts = 5;
    r.upper = kDacHighest5VVolts;
    r.lower = kDacLowestVolts;
  } else if (mode == Reference::Factory3V) {
    VrefVolts = 3;
    r.upper = kDacHighest3VVolts;
    r.lower = kDacLowestVolts;
  }
  if (volts > r.upper || volts < r.lower) {
    r.outcome.failure = BoardFailure::OutOfRange;
    return r;
  }
  if (autoCal) return AutoCalibrate(channel, volts, mode);
  r.outcome = Finish(WriteDacCode(channel, volts, mode));
  return r;
}

CalibrationBoard::DacOutcome CalibrationBoard::ShowDac(const DacResult& result, bool autoCal) {
  if (result.outcome.failure == BoardFailure::OutOfRange) {
    ui_.MessageBox(kOutOfRangeMessage, "");
    return DacOutcome::OutOfRange;
  }
  Show(result.outcome);
  if (result.toleranceMissed) ui_.MessageBox(kAutoCalMessage, "");
  // A device that did not acknowledge is not the window's business.
  if (writer_.LastExchangeFailed()) return DacOutcome::NotTaken;
  if (autoCal && result.toleranceMissed) return DacOutcome::AutoCalFailed;
  return DacOutcome::Set;
}

CalibrationBoard::DacOutcome CalibrationBoard::SetDac(DacChannel channel, double volts,
                                                      Reference mode, bool autoCal) {
  return ShowDac(SetDacOutput(channel, volts, mode, autoCal), autoCal);
}

CalibrationBoard::DacOutcome CalibrationBoard::AutoCalDac(DacChannel channel, double target,
                                                          Reference mode) {
  return ShowDac(AutoCalibrate(channel, target, mode), true);
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

BoardOutcome CalibrationBoard::WriteDacCode(DacChannel channel, double volts, Reference mode) {
  double setting = volts;
  const int reference = FactoryReference(mode);
  if (reference >= 0) {
    const GainOffset& k = FactoryCal().dac[static_cast<size_t>(channel)][reference];
    setting = (volts - k.offset) / k.gain;
  }
  // Past the raw-command view; a write the board did not take is a fault
  // like any other command's, with the USB-problem dialog.
  writer_.ExchangeWithoutView(DacWriteText(channel, DacCode(setting, VrefVolts)));
  return writer_.LastOutcome();
}

bool CalibrationBoard::WriteDac(DacChannel channel, double volts, Reference mode) {
  Show(Finish(WriteDacCode(channel, volts, mode)));
  return !writer_.LastExchangeFailed();
}

BoardResult<double> CalibrationBoard::ReadChannelBack(DacChannel channel, Reference mode) {
  const Converter which =
      channel == DacChannel::A || channel == DacChannel::B ? Converter::Cnv1 : Converter::Cnv2;
  BoardResult<double> r = ReadConverter(which, mode);
  if (channel == DacChannel::A || channel == DacChannel::C) r.value = -r.value;
  return r;
}

DacResult CalibrationBoard::AutoCalibrate(DacChannel channel, double target, Reference mode) {
  const Converter which =
      channel == DacChannel::A || channel == DacChannel::B ? Converter::Cnv1 : Converter::Cnv2;
  const bool onMinus = channel == DacChannel::A || channel == DacChannel::C;
  // Digital codes cannot be compared with a voltage: the loop reads back in
  // volts on the same reference, without factory correction, as mode 4 writes.
  const Reference readMode = mode == Reference::DigitalCodes ? Reference::User : mode;
  const MuxInput savedPlus = which == Converter::Cnv1 ? SavedCnv1Plus : SavedCnv2Plus;
  const MuxInput savedMinus = which == Converter::Cnv1 ? SavedCnv1Minus : SavedCnv2Minus;

  // A failed exchange ends the calibration: each further step would wait out
  // a time-out of its own and raise a dialog of its own. A device that did
  // not acknowledge is told at the end, as the window's loop runs on.
  AutoCalReadBack.reset();
  DacResult r;
  BoardOutcome& outcome = r.outcome;
  const auto failed = [this, &outcome] {
    outcome.Then(writer_.LastOutcome());
    return writer_.LastExchangeFailed();
  };
  const auto finish = [this, &r] {
    r.outcome = Finish(r.outcome);
    return r;
  };
  writer_.SendMnemonic("CMD EN_CNV OFF");
  if (failed()) return finish();
  if (!Mux(which, onMinus ? MuxInput::Gnd : MuxInput::Dac, onMinus ? MuxInput::Dac : MuxInput::Gnd)
           .Ok() &&
      failed()) {
    return finish();
  }
  // Writes the setting and reads the output back after it settled.
  const auto step = [&](double setting) {
    outcome.Then(WriteDacCode(channel, setting, mode));
    if (writer_.LastExchangeFailed()) return false;
    writer_.WaitSeconds(kAutoCalSettleSeconds);
    const BoardResult<double> back = ReadChannelBack(channel, readMode);
    r.readBack = back.value;
    outcome.Then(back.outcome);
    return !writer_.LastExchangeFailed();
  };

  if (!step(target)) return finish();
  double setting = target - (*r.readBack - target);
  if (!step(setting)) return finish();
  double error = *r.readBack - target;
  if (std::fabs(error) > kAutoCalTolerance) {
    setting -= error;
    if (!step(setting)) return finish();
    error = *r.readBack - target;
  }
  const bool met = std::fabs(error) <= kAutoCalTolerance;
  if (met) {
    AutoCalReadBack = r.readBack;
  } else {
    r.toleranceMissed = true;
    outcome.Then({.failure = BoardFailure::ReadBack});
  }

  BoardOutcome restore = Mux(which, savedPlus, savedMinus);
  if (!restore.Ok() && writer_.LastExchangeFailed()) {
    outcome.Then(restore);
    return finish();
  }
  writer_.SendMnemonic("CMD EN_CNV ON");
  failed();
  return finish();
}

}  // namespace evm
