// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <system_error>
#include <utility>

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

// The standard's "not a number", for a quantity that was not read.
std::string Value(double v) {
  return std::isnan(v) ? "9.91000E+37" : FormatNr3(v);
}

// Seconds to the microsecond the run's clock gives; NR3's six digits would
// lose them within a run.
std::string TimeText(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", seconds);
  return text;
}

const std::vector<std::string> kModeWords = {"PASS", "PASSES", "FAST", "FAST2"};

// The quantity of a CALCulate query, current when none is given.
const std::vector<std::string> kQuantityWords = {"BUS",   "CURR", "CURRENT", "SHUN",
                                                 "SHUNT", "POW",  "POWER"};
StatQuantity QuantityOfWord(size_t word) {
  constexpr StatQuantity kOf[] = {
      StatQuantity::BusVolts,   StatQuantity::Amps,  StatQuantity::Amps, StatQuantity::ShuntVolts,
      StatQuantity::ShuntVolts, StatQuantity::Watts, StatQuantity::Watts};
  return kOf[word];
}

// Nine digits after the point: a mean of 12 V keeps its microvolts, which
// NR3's five would round away.
std::string Precise(double v) {
  if (std::isnan(v)) return "9.91000E+37";
  char text[64];
  std::snprintf(text, sizeof text, "%.9E", v);
  return text;
}

AcquisitionMode ModeOfWord(size_t word) {
  return word < 2 ? AcquisitionMode::Passes
                  : (word == 2 ? AcquisitionMode::Fast : AcquisitionMode::FastTwo);
}

std::string WordOfMode(AcquisitionMode mode) {
  switch (mode) {
    case AcquisitionMode::Fast: return "FAST";
    case AcquisitionMode::FastTwo: return "FAST2";
    case AcquisitionMode::Passes: break;
  }
  return "PASS";
}

// What ended a run, in the standard's numbers.
scpi::QueuedError ErrorOf(std::exception_ptr failure) {
  try {
    OnBoard([&]() -> int { std::rethrow_exception(failure); });
  } catch (const Failure& f) {
    return {f.code, f.what()};
  } catch (const std::exception& e) {
    return {scpi::kExecutionError, e.what()};
  } catch (...) {
  }
  return {scpi::kExecutionError, "the monitor run failed"};
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
  AddCalculate();
}

ScpiInstrument::~ScpiInstrument() {
  {
    std::lock_guard lock(mutex_);
    for (auto& [session, client] : clients_) client.collecting = false;
    stop_.request_stop();
  }
  JoinRun();
}

std::string ScpiInstrument::Execute(scpi::Session& session, std::string_view line) {
  // What the run told since the last line is queued before this line's own.
  Deliver();
  return tree_.Execute(session, line);
}

bool ScpiInstrument::Running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

void ScpiInstrument::WaitForRun() {
  JoinRun();
  Deliver();
}

void ScpiInstrument::JoinRun() {
  // Only the server's thread starts and joins runs, so no other join races this one.
  if (run_.joinable()) run_.join();
}

template <typename F>
auto ScpiInstrument::Board(F&& f) -> decltype(f()) {
  if (Running()) {
    // The Bench serves one thread at a time, and the run's holds it.
    throw Failure(scpi::kExecutionError,
                  "a monitor run holds the board until every client that INITiated it ABORts");
  }
  return OnBoard(std::forward<F>(f));
}

ScpiInstrument::Client& ScpiInstrument::ClientOf(scpi::Session& session) {
  Client& c = clients_[&session];
  c.session = &session;
  return c;
}

void ScpiInstrument::Deliver() {
  std::lock_guard lock(mutex_);
  for (auto& [session, client] : clients_) {
    for (const scpi::QueuedError& e : client.pending) client.session->status.Report(e.code, e.info);
    client.pending.clear();
  }
}

void ScpiInstrument::Initiate(scpi::Session& session) {
  {
    std::lock_guard lock(mutex_);
    Client& me = ClientOf(session);
    if (me.collecting) throw Failure(scpi::kInitIgnored, "this client's monitor is running");
    // A run that is ending takes nobody new: a new one starts once it has.
    if (running_ && !stop_.stop_requested()) {
      if (runMode_ != me.mode) {
        throw Failure(scpi::kSettingsConflict,
                      "the monitor run of another client reads in mode " + WordOfMode(runMode_) +
                          ", this client's mode is " + WordOfMode(me.mode));
      }
      me.samples.clear();
      me.stats.emplace();
      me.collecting = true;
      return;
    }
  }
  // The last run ends within a sample of its stop.
  JoinRun();
  std::lock_guard lock(mutex_);
  Client& me = ClientOf(session);
  me.samples.clear();
  me.stats.emplace();
  me.collecting = true;
  stop_ = std::stop_source();
  running_ = true;
  runMode_ = me.mode;
  try {
    run_ = std::thread([this, mode = me.mode, stop = stop_.get_token()] { Produce(mode, stop); });
  } catch (const std::system_error& e) {
    running_ = false;
    me.collecting = false;
    throw Failure(scpi::kExecutionError, std::string("no thread for the monitor run: ") + e.what());
  }
}

void ScpiInstrument::Abort(const scpi::Session& session, bool forget) {
  bool last = false;
  {
    std::lock_guard lock(mutex_);
    const auto it = clients_.find(&session);
    if (it != clients_.end()) {
      it->second.collecting = false;
      if (forget) clients_.erase(it);
    }
    last = std::none_of(clients_.begin(), clients_.end(),
                        [](const auto& c) { return c.second.collecting; });
    if (last && running_) stop_.request_stop();
  }
  // The run ends within a sample of the stop; the board is free when this returns.
  if (last) JoinRun();
}

void ScpiInstrument::Produce(AcquisitionMode mode, std::stop_token stop) {
  std::exception_ptr failure;
  try {
    bench_.Monitor(
        MonitorLength{.mode = mode}, [this](const Measurement& m) { Collect(m); }, std::move(stop));
  } catch (...) {
    failure = std::current_exception();
  }
  std::lock_guard lock(mutex_);
  running_ = false;
  for (auto& [session, client] : clients_) {
    if (!client.collecting) continue;
    client.collecting = false;
    // A run ends by itself only when the board failed: its clients hear why.
    client.pending.push_back(
        failure ? ErrorOf(failure)
                : scpi::QueuedError{scpi::kExecutionError, "the monitor run ended"});
  }
}

void ScpiInstrument::Collect(const Measurement& m) {
  Point p;
  p.time = m.timeSeconds;
  const double none = std::nan("");
  p.busVolts = m.acknowledged ? m.busVolts : none;
  p.shuntVolts = m.acknowledged ? m.shuntVolts : none;
  p.amperes = m.acknowledged ? m.amperes : none;
  p.watts = m.acknowledged ? m.watts : none;
  std::lock_guard lock(mutex_);
  bool anyone = false;
  for (auto& [session, client] : clients_) {
    if (!client.collecting) continue;
    if (client.samples.size() >= capacity_) {
      // A client that does not fetch loses its monitor, not the server's memory.
      client.collecting = false;
      client.pending.push_back(
          {scpi::kQueueOverflow, "the monitor buffer is full at " + std::to_string(capacity_) +
                                     " samples; FETCh? them and INITiate again"});
      continue;
    }
    client.samples.push_back(p);
    if (!client.stats) client.stats.emplace();
    if (m.acknowledged) {
      client.stats->Add(StatSample{p.time, {p.busVolts, p.shuntVolts, p.amperes, p.watts}});
    } else {
      client.stats->CountLost(1);
    }
    anyone = true;
  }
  if (!anyone) stop_.request_stop();
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

void ScpiInstrument::Reset(scpi::Session& session) {
  Abort(session, true);
  Board([&] { return bench_.CalibrateIfBlank(); });
}

void ScpiInstrument::Forget(const scpi::Session& session) {
  Abort(session, true);
}

void ScpiInstrument::AddCommon() {
  tree_.Add("*IDN?", 0, 0, [this](Call& c) {
    c.Answer(std::string(kScpiMaker) + "," + kScpiModel + "," + Board([&] { return Serial(); }) +
             "," + Bench::Version());
  });
  tree_.Add("*RST", 0, 0, [this](Call& c) { Reset(c.session()); });
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
    // A board held by a run is no board that failed.
    Board([] { return 0; });
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
      c.Answer(FormatNr3(pick(Board([&] { return bench_.MeasureOnce(); }))));
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
    AddPass(text, Board([&] { return bench_.MeasureOnce(); }));
    c.Answer(text);
  });
}

void ScpiInstrument::AddRegisters() {
  tree_.Add("REGister:READ?", 1, 1, [this](Call& c) {
    const int reg = static_cast<int>(c.Whole(0, 0, kEngineeringLastReg));
    const RegisterSnapshot read = Board([&] { return bench_.ReadRegisters(reg > kNormalLastReg); });
    c.Answer(FormatNr1(read.registers[static_cast<size_t>(reg)].raw));
  });
  tree_.Add("REGister[:WRITe]", 2, 2, [this](Call& c) {
    const int reg = static_cast<int>(c.Whole(0, 0, kEngineeringLastReg));
    const auto value = static_cast<uint16_t>(c.Whole(1, 0, 0xFFFF));
    Board([&] { return bench_.WriteRegister(reg, value); });
  });
  tree_.Add("CALibrate:INITial", 3, 3, [this](Call& c) {
    CalibrationRequest request;
    request.rshuntOhms = c.Number(0, {0, 1e6, 0.01, "OHM"});
    request.maxExpectedAmps = c.Number(1, {0, 1e6, 2, "A"});
    request.currentLsbAmps = c.Number(2, {0, 1e6, 100e-6, "A"});
    const CalibrationResult result =
        Bench::Calculate(request, Board([&] { return bench_.ReadConfig(); }));
    if (!result.Ok()) throw Failure(scpi::kDataOutOfRange, result.refusalMessage);
    Board([&] {
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
    Board([&] { return bench_.SetDac(channel, volts, Reference::Factory5V); });
  });
  tree_.Add("MEASure:ADC?", 1, 1, [this](Call& c) {
    const auto which = static_cast<Converter>(c.Whole(0, 1, 2) - 1);
    c.Answer(FormatNr3(Board([&] { return bench_.ReadConverter(which, Reference::Factory5V); })));
  });
  tree_.Add("ROUTe:MUX", 2, 3, [this](Call& c) {
    const auto which = static_cast<Converter>(c.Whole(0, 1, 2) - 1);
    const std::vector<std::string> inputs = {"OPEN", "GND", "DAC"};
    const auto plus = static_cast<MuxInput>(c.Choice(1, inputs) + 1);
    const auto minus =
        c.Count() > 2 ? static_cast<MuxInput>(c.Choice(2, inputs) + 1) : MuxInput::Unchanged;
    Board([&] {
      bench_.SetMux(which, plus, minus);
      return 0;
    });
  });
  tree_.Add("OUTPut:DUT[:STATe]", 1, 1, [this](Call& c) {
    const bool on = c.Boolean(0);
    Board([&] {
      bench_.SetSupply(on);
      return 0;
    });
  });
  const auto send = [this](Call& c) {
    const std::string text = c.Text(0);
    ParsedMnemonic parsed;
    ParseMnemonicText(text, 1, parsed);
    if (!parsed.error.empty()) throw Failure(scpi::kSyntaxError, MnemonicFault(text, parsed.error));
    const std::vector<MnemonicReply> replies = Board([&] { return bench_.Send({text}); });
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
  tree_.Add("SENSe:ACQuire:MODE", 1, 1, [this](Call& c) {
    const AcquisitionMode mode = ModeOfWord(c.Choice(0, kModeWords));
    std::lock_guard lock(mutex_);
    Client& me = ClientOf(c.session());
    if (me.collecting) throw Failure(scpi::kSettingsConflict, "ABORt the monitor first");
    me.mode = mode;
  });
  tree_.Add("SENSe:ACQuire:MODE?", 0, 0, [this](Call& c) {
    std::lock_guard lock(mutex_);
    c.Answer(WordOfMode(ClientOf(c.session()).mode));
  });
  tree_.Add("INITiate", 0, 0, [this](Call& c) { Initiate(c.session()); });
  tree_.Add("ABORt", 0, 0, [this](Call& c) { Abort(c.session(), false); });
  // The samples since the last fetch, oldest first (at most `count` of
  // them): their number, then time, bus volts, shunt volts, amperes and
  // watts of each.
  tree_.Add("FETCh?", 0, 1, [this](Call& c) {
    const size_t most =
        c.Count() > 0 ? static_cast<size_t>(c.Whole(0, 1, 1'000'000'000)) : SIZE_MAX;
    std::string text;
    size_t n = 0;
    {
      std::lock_guard lock(mutex_);
      Client& me = ClientOf(c.session());
      if (me.samples.empty() && !me.collecting) {
        throw Failure(scpi::kDataStale, "no samples in the monitor buffer; INITiate first");
      }
      n = std::min(most, me.samples.size());
      text.reserve(n * 64);
      for (size_t k = 0; k < n; ++k) {
        const Point& p = me.samples[k];
        text += "," + TimeText(p.time) + "," + Value(p.busVolts) + "," + Value(p.shuntVolts) + "," +
                Value(p.amperes) + "," + Value(p.watts);
      }
      me.samples.erase(me.samples.begin(), me.samples.begin() + static_cast<std::ptrdiff_t>(n));
    }
    c.Answer(FormatNr1(static_cast<long long>(n)) + text);
  });
}

void ScpiInstrument::AddCalculate() {
  // The statistics of this client's last acquisition, under the lock the
  // run's thread adds to them with.
  auto figures = [this](Call& c, auto&& answer) {
    std::lock_guard lock(mutex_);
    const Client& me = ClientOf(c.session());
    if (!me.stats)
      throw Failure(scpi::kDataStale, "no acquisition in this session; INITiate first");
    c.Answer(answer(*me.stats));
  };
  auto quantity = [](Call& c) {
    return c.Count() > 0 ? QuantityOfWord(c.Choice(0, kQuantityWords)) : StatQuantity::Amps;
  };
  // A quantity not read has no figures: the standard's "not a number".
  auto of = [](const QuantityStats& q, double v) {
    return q.Empty() ? Precise(std::nan("")) : Precise(v);
  };
  tree_.Add("CALCulate:AVERage:MINimum?", 0, 1, [=](Call& c) {
    figures(c, [&](const Statistics& s) {
      const auto& q = s.Of(quantity(c));
      return of(q, q.min);
    });
  });
  tree_.Add("CALCulate:AVERage:MAXimum?", 0, 1, [=](Call& c) {
    figures(c, [&](const Statistics& s) {
      const auto& q = s.Of(quantity(c));
      return of(q, q.max);
    });
  });
  tree_.Add("CALCulate:AVERage[:MEAN]?", 0, 1, [=](Call& c) {
    figures(c, [&](const Statistics& s) {
      const auto& q = s.Of(quantity(c));
      return of(q, q.mean);
    });
  });
  tree_.Add("CALCulate:AVERage:SDEViation?", 0, 1, [=](Call& c) {
    figures(c, [&](const Statistics& s) {
      const auto& q = s.Of(quantity(c));
      return of(q, q.Std());
    });
  });
  tree_.Add("CALCulate:AVERage:PTPeak?", 0, 1, [=](Call& c) {
    figures(c, [&](const Statistics& s) {
      const auto& q = s.Of(quantity(c));
      return of(q, q.PeakToPeak());
    });
  });
  tree_.Add("CALCulate:AVERage:COUNt?", 0, 0, [=](Call& c) {
    figures(c, [](const Statistics& s) {
      return FormatNr1(static_cast<long long>(s.Samples())) + "," +
             FormatNr1(static_cast<long long>(s.Lost()));
    });
  });
  tree_.Add("CALCulate:CHARge?", 0, 0, [=](Call& c) {
    figures(c, [](const Statistics& s) {
      return Precise(s.ChargeAmpSeconds()) + "," + Precise(s.ChargeMah());
    });
  });
  tree_.Add("CALCulate:ENERgy?", 0, 0, [=](Call& c) {
    figures(c, [](const Statistics& s) {
      return Precise(s.EnergyJoules()) + "," + Precise(s.EnergyWh());
    });
  });
  // Everything at once, in the order the README's table gives.
  tree_.Add("CALCulate:STATistics?", 0, 0, [=](Call& c) {
    figures(c, [&](const Statistics& s) {
      std::string text = FormatNr1(static_cast<long long>(s.Samples())) + "," +
                         Precise(s.Seconds()) + "," + FormatNr1(static_cast<long long>(s.Lost()));
      for (size_t k = 0; k < kStatQuantities; ++k) {
        const QuantityStats& q = s.Of(static_cast<StatQuantity>(k));
        for (const double v : {q.min, q.mean, q.max, q.Std(), q.PeakToPeak()}) {
          text += "," + of(q, v);
        }
      }
      return text + "," + Precise(s.ChargeAmpSeconds()) + "," + Precise(s.ChargeMah()) + "," +
             Precise(s.EnergyJoules()) + "," + Precise(s.EnergyWh());
    });
  });
}

}  // namespace evm::scpi
