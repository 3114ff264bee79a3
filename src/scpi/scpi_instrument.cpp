// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_instrument.h"

#include <functional>

#include "calibration/initial_calibration.h"
#include "common/hex_text.h"
#include "mnemonic/mnemonic_language.h"
#include "registers/register_store.h"
#include "scpi/scpi_errors.h"
#include "scpi/scpi_numbers.h"

namespace evm::scpi {

using scpi::Call;
using scpi::Failure;
using scpi::FormatNr1;
using scpi::FormatNr3;

namespace {

// The Bench's failures in the standard's numbers: a board that is not
// there, or does not answer, is missing; a device that answers wrongly is
// a hardware error.
template <typename F>
auto OnBoard(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const NoBoardError& e) {
    throw Failure(scpi::kHardwareMissing, e.what());
  } catch (const BoardNotOpenableError& e) {
    throw Failure(scpi::kHardwareMissing, e.what());
  } catch (const BoardSilentError& e) {
    throw Failure(scpi::kHardwareMissing, e.what());
  } catch (const ReadBackError& e) {
    throw Failure(scpi::kHardwareError, std::string(e.what()) + "; read " + FormatNr1(e.got));
  } catch (const NotAcknowledgedError& e) {
    throw Failure(scpi::kHardwareError, e.what());
  } catch (const ParseError& e) {
    throw Failure(scpi::kIllegalParameterValue, e.what());
  } catch (const Error& e) {
    throw Failure(scpi::kExecutionError, e.what());
  }
}

std::string List(const std::vector<double>& values) {
  std::string text;
  for (double v : values) text += (text.empty() ? "" : ",") + FormatNr3(v);
  return text;
}

void AddPass(std::string& text, const Measurement& m) {
  text += (text.empty() ? "" : ",") + List({m.busVolts, m.shuntVolts, m.amperes, m.watts});
}

// The mnemonic's fault with the column of the word it names.
std::string MnemonicFault(const std::string& text, const std::string& error) {
  const std::string word = error.substr(0, error.find(' '));
  size_t at = std::string::npos;
  for (size_t pos = 0; !word.empty() && (pos = text.find(word, pos)) != std::string::npos;
       pos += word.size()) {
    const bool starts = pos == 0 || text[pos - 1] == ' ';
    const bool ends = pos + word.size() == text.size() || text[pos + word.size()] == ' ';
    if (starts && ends) {
      at = pos;
      break;
    }
  }
  if (at == std::string::npos) return "'" + text + "': " + error;
  return "'" + text + "' at character " + std::to_string(at + 1) + ": " + error;
}

}  // namespace

ScpiInstrument::ScpiInstrument(Bench& bench, size_t monitorCapacity)
    : bench_(bench), capacity_(monitorCapacity) {
  AddCommon();
  AddMeasure();
  AddRegisters();
  AddTestBoard();
  AddMonitor();
}

std::string ScpiInstrument::Execute(scpi::Session& session, std::string_view line) {
  return tree_.Execute(session, line);
}

std::string ScpiInstrument::Serial() {
  if (serial_.empty()) {
    // The register link the session takes: the chosen one, else the first.
    for (const DeviceInfo& d : bench_.Devices()) {
      if (d.kind != DeviceKind::RegLink || d.serial.empty()) continue;
      if (serial_.empty() || d.selected) serial_ = d.serial;
      if (d.selected) break;
    }
  }
  return serial_.empty() ? "0" : serial_;
}

void ScpiInstrument::Reset() {
  monitorOwner_ = nullptr;
  buffer_.clear();
  OnBoard([&] { return bench_.CalibrateIfBlank(); });
}

void ScpiInstrument::Forget(const scpi::Session& session) {
  if (monitorOwner_ == &session) monitorOwner_ = nullptr;
}

void ScpiInstrument::MonitorPass() {
  if (!monitorOwner_) return;
  scpi::Session& owner = *monitorOwner_;
  if (buffer_.size() >= capacity_) {
    owner.status.Report(scpi::kQueueOverflow, "the monitor buffer is full at " +
                                                  std::to_string(capacity_) +
                                                  " passes; FETCh? them and INITiate again");
    monitorOwner_ = nullptr;
    return;
  }
  try {
    buffer_.push_back(OnBoard([&] { return bench_.MeasureOnce(); }));
  } catch (const Failure& f) {
    owner.status.Report(f.code, f.what());
    monitorOwner_ = nullptr;
  }
}

void ScpiInstrument::AddCommon() {
  tree_.Add("*IDN?", 0, 0, [this](Call& c) {
    c.Answer(std::string(kScpiMaker) + "," + kScpiModel + "," + OnBoard([&] { return Serial(); }) +
             "," + Bench::Version());
  });
  tree_.Add("*RST", 0, 0, [this](Call&) { Reset(); });
  tree_.Add("*CLS", 0, 0, [](Call& c) { c.session().status.Clear(); });
  // Every command is done when its line is answered.
  tree_.Add("*OPC", 0, 0, [](Call& c) { c.session().status.SetEvent(scpi::kOperationComplete); });
  tree_.Add("*OPC?", 0, 0, [](Call& c) { c.Answer("1"); });
  tree_.Add("*WAI", 0, 0, [](Call&) {});
  tree_.Add("*ESR?", 0, 0, [](Call& c) { c.Answer(FormatNr1(c.session().status.ReadEvents())); });
  tree_.Add("*ESE", 1, 1, [](Call& c) {
    c.session().status.eventEnable = static_cast<uint8_t>(c.Whole(0, 0, 255));
  });
  tree_.Add("*ESE?", 0, 0, [](Call& c) { c.Answer(FormatNr1(c.session().status.eventEnable)); });
  tree_.Add("*SRE", 1, 1, [](Call& c) {
    c.session().status.serviceEnable = static_cast<uint8_t>(c.Whole(0, 0, 255));
  });
  tree_.Add("*SRE?", 0, 0, [](Call& c) { c.Answer(FormatNr1(c.session().status.serviceEnable)); });
  tree_.Add("*STB?", 0, 0, [](Call& c) { c.Answer(FormatNr1(c.session().status.StatusByte())); });
  // 0 when both boards answer; 1 the register link failed, 2 the interface board.
  tree_.Add("*TST?", 0, 0, [this](Call& c) {
    int result = 0;
    try {
      OnBoard([&] { return bench_.ReadConfig(); });
    } catch (const Failure&) {
      result |= 1;
    }
    try {
      OnBoard([&] { return bench_.ReadConverter(Converter::Cnv1, Reference::DigitalCodes); });
    } catch (const Failure&) {
      result |= 2;
    }
    c.Answer(FormatNr1(result));
  });
  tree_.Add("SYSTem:ERRor[:NEXT]?", 0, 0,
            [](Call& c) { c.Answer(scpi::FormatError(c.session().status.errors.Pop())); });
  tree_.Add("SYSTem:VERSion?", 0, 0, [](Call& c) { c.Answer("1999.0"); });
}

void ScpiInstrument::AddMeasure() {
  using Pick = double (*)(const Measurement&);
  const auto measure = [this](Pick pick) {
    return [this, pick](Call& c) {
      c.Answer(FormatNr3(pick(OnBoard([&] { return bench_.MeasureOnce(); }))));
    };
  };
  tree_.Add("MEASure:VOLTage[:BUS]?", 0, 0,
            measure([](const Measurement& m) { return m.busVolts; }));
  tree_.Add("MEASure:VOLTage:SHUNt?", 0, 0,
            measure([](const Measurement& m) { return m.shuntVolts; }));
  tree_.Add("MEASure:CURRent?", 0, 0, measure([](const Measurement& m) { return m.amperes; }));
  tree_.Add("MEASure:POWer?", 0, 0, measure([](const Measurement& m) { return m.watts; }));
  tree_.Add("MEASure:ALL?", 0, 0, [this](Call& c) {
    std::string text;
    AddPass(text, OnBoard([&] { return bench_.MeasureOnce(); }));
    c.Answer(text);
  });
}

void ScpiInstrument::AddRegisters() {
  tree_.Add("REGister:READ?", 1, 1, [this](Call& c) {
    const int reg = static_cast<int>(c.Whole(0, 0, kEngineeringLastReg));
    const RegisterSnapshot read =
        OnBoard([&] { return bench_.ReadRegisters(reg > kNormalLastReg); });
    c.Answer(FormatNr1(read.registers[static_cast<size_t>(reg)].raw));
  });
  tree_.Add("REGister[:WRITe]", 2, 2, [this](Call& c) {
    const int reg = static_cast<int>(c.Whole(0, 0, kEngineeringLastReg));
    const auto value = static_cast<uint16_t>(c.Whole(1, 0, 0xFFFF));
    OnBoard([&] { return bench_.WriteRegister(reg, value); });
  });
  tree_.Add("CALibrate:INITial", 3, 3, [this](Call& c) {
    CalibrationRequest request;
    request.rshuntOhms = c.Number(0, {0, 1e6, 0.01, "OHM"});
    request.maxExpectedAmps = c.Number(1, {0, 1e6, 2, "A"});
    request.currentLsbAmps = c.Number(2, {0, 1e6, 100e-6, "A"});
    const CalibrationResult result =
        Bench::Calculate(request, OnBoard([&] { return bench_.ReadConfig(); }));
    if (!result.Ok()) throw Failure(scpi::kDataOutOfRange, result.refusalMessage);
    OnBoard([&] {
      bench_.ApplyCalibration(result);
      return 0;
    });
    calibration_ = result;
  });
  // Register 05h, the current and power LSBs, the largest possible current,
  // the current before overflow and the largest power.
  tree_.Add("CALibrate:INITial:RESult?", 0, 0, [this](Call& c) {
    if (!calibration_) throw Failure(scpi::kDataStale, "no CALibrate:INITial in this session");
    const CalibrationResult& r = *calibration_;
    c.Answer(FormatNr1(r.calibration) + "," +
             List({r.currentLsbAmps, r.powerLsbWatts, r.maxPossibleAmps,
                   r.maxCurrentBeforeOverflowAmps, r.maxPowerWatts}));
  });
}

void ScpiInstrument::AddTestBoard() {
  // The test board on its 5 V reference, as the Eval Control window starts.
  tree_.Add("SOURce:VOLTage", 2, 2, [this](Call& c) {
    const auto channel = static_cast<DacChannel>(c.Whole(0, 0, 3));
    const double volts = c.Number(1, {0.05, 4.95, 0.05, "V"});
    OnBoard([&] { return bench_.SetDac(channel, volts, Reference::Factory5V); });
  });
  tree_.Add("MEASure:ADC?", 1, 1, [this](Call& c) {
    const auto which = static_cast<Converter>(c.Whole(0, 1, 2) - 1);
    c.Answer(FormatNr3(OnBoard([&] { return bench_.ReadConverter(which, Reference::Factory5V); })));
  });
  tree_.Add("ROUTe:MUX", 2, 3, [this](Call& c) {
    const auto which = static_cast<Converter>(c.Whole(0, 1, 2) - 1);
    const std::vector<std::string> inputs = {"OPEN", "GND", "DAC"};
    const auto plus = static_cast<MuxInput>(c.Choice(1, inputs) + 1);
    const auto minus =
        c.Count() > 2 ? static_cast<MuxInput>(c.Choice(2, inputs) + 1) : MuxInput::Unchanged;
    OnBoard([&] {
      bench_.SetMux(which, plus, minus);
      return 0;
    });
  });
  tree_.Add("OUTPut:DUT[:STATe]", 1, 1, [this](Call& c) {
    const bool on = c.Boolean(0);
    OnBoard([&] {
      bench_.SetSupply(on);
      return 0;
    });
  });
  const auto send = [this](Call& c) {
    const std::string text = c.Text(0);
    ParsedMnemonic parsed;
    ParseMnemonicText(text, 1, parsed);
    if (!parsed.error.empty()) throw Failure(scpi::kSyntaxError, MnemonicFault(text, parsed.error));
    const std::vector<MnemonicReply> replies = OnBoard([&] { return bench_.Send({text}); });
    std::string answer;
    for (const uint8_t b : replies.at(0).answer)
      answer += (answer.empty() ? "" : ",") + FormatNr1(b);
    c.Answer(answer);
    if (!replies[0].acknowledged) {
      c.session().status.Report(scpi::kHardwareError,
                                "'" + text + "': the device did not acknowledge");
    }
  };
  tree_.Add("MNEMonic:SEND", 1, 1, send);
  tree_.Add("MNEMonic:SEND?", 1, 1, send);
}

void ScpiInstrument::AddMonitor() {
  tree_.Add("INITiate", 0, 0, [this](Call& c) {
    buffer_.clear();
    monitorOwner_ = &c.session();
  });
  tree_.Add("ABORt", 0, 0, [this](Call&) { monitorOwner_ = nullptr; });
  // Bus volts, shunt volts, amperes and watts of each pass since the last
  // fetch; a running monitor with none yet takes one now.
  tree_.Add("FETCh?", 0, 0, [this](Call& c) {
    if (buffer_.empty() && monitorOwner_) {
      buffer_.push_back(OnBoard([&] { return bench_.MeasureOnce(); }));
    }
    if (buffer_.empty())
      throw Failure(scpi::kDataStale, "no passes in the monitor buffer; INITiate first");
    std::string text;
    for (const Measurement& m : buffer_) AddPass(text, m);
    buffer_.clear();
    c.Answer(text);
  });
}

}  // namespace evm::scpi
