// SPDX-License-Identifier: GPL-3.0-or-later
#include "zm5520evm/bench.h"

#include <cmath>
#include <mutex>

#include "acquisition/acquisition.h"
#include "acquisition/capture.h"
#include "acquisition/fast_log.h"
#include "acquisition/measurement_log.h"
#include "acquisition/run_length.h"
#include "acquisition/statistics.h"
#include "acquisition/summary_log.h"
#include "api/bench_access.h"
#include "api/bench_clock.h"
#include "api/bench_ui.h"
#include "api/run_statistics.h"
#include "calibration/initial_calibration.h"
#include "calibration/register_file.h"
#include "common/atomic_file.h"
#include "common/eng_number.h"
#include "common/hex_text.h"
#include "common/number_text.h"
#include "common/sha256.h"
#include "common/utf8_path.h"
#include "devices/evm_session.h"
#include "evm.h"
#include "hid/board_discovery.h"
#include "hid/board_ids.h"
#include "mnemonic/mnemonic_exchange.h"
#include "mnemonic/mnemonic_language.h"
#include "plot/measurement_series.h"
#include "registers/config_fields.h"
#include "registers/register_map.h"
#include "registers/register_ops.h"
#include "script/evm_script_board.h"
#include "script/record_writers.h"
#include "script/run_record.h"
#include "script/script_files.h"
#include "script/script_interpreter.h"
#include "shell/board_selection_file.h"
#include "shell/main_load.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
#include "shell/stored_calibration.h"
#include "shell/usb_address_file.h"

namespace evm {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

bool HasScaledValue(int reg) {
  return reg >= 1 && reg <= 4;
}

const char* Unit(int reg) {
  constexpr const char* kUnits[] = {"", "V", "V", "W", "A"};
  return HasScaledValue(reg) ? kUnits[reg] : "";
}

std::string AddressText(int deviceAddress) {
  return Hex(static_cast<unsigned>(deviceAddress), 2) + "h";
}

std::string NotAcknowledged(int deviceAddress, const std::string& what) {
  return "the device at address " + AddressText(deviceAddress) + " did not acknowledge" + what;
}

Measurement MeasurementOf(const Sample& sample, const Scaling& scaling) {
  Measurement m;
  m.currentLsbAmps = scaling.currentLsb;
  m.powerLsbWatts = scaling.powerLsb;
  m.timeSeconds = sample.time;
  const bool pass = sample.Has(5);
  m.time = pass ? TimeStampText(sample.time) : MicrosecondStampText(sample.time);
  m.acknowledged = sample.acknowledged;
  m.registersRead = sample.readMask;
  for (int i = 0; i <= sample.registers.lastReg; ++i) {
    m.raw.push_back(sample.Has(i) ? sample.registers.values[static_cast<size_t>(i)] : 0);
  }
  if (m.acknowledged) {
    const Quantities q = ScaleSample(sample, scaling);
    m.shuntVolts = q.shuntVolts;
    m.busVolts = q.busVolts;
    m.amperes = q.amperes;
    m.watts = q.watts;
  }
  return m;
}

std::string FileText(const std::filesystem::path& file) {
  return Utf8FromPath(file);
}

[[noreturn]] void ThrowUnreadable(const std::filesystem::path& file, const std::error_code& ec,
                                  const std::string& lead = "") {
  const std::string name = FileText(file);
  if (IsFileFault(ec)) throw FileError(lead + FileFaultText(name, ec), name, ec);
  throw FileError(lead + "cannot read '" + name + "': " + ec.message(), name, ec);
}

[[noreturn]] void ThrowLogRefused(const std::filesystem::path& file, const std::error_code& ec) {
  const std::string name = FileText(file);
  if (IsFileFault(ec)) throw FileError(FileFaultText(name, ec), name, ec);
  throw FileError("cannot create the log file '" + name + "': " + ec.message(), name, ec);
}

const char* RefusalMessage(CalibrationRefusal refusal) {
  switch (refusal) {
    case CalibrationRefusal::Rshunt: return kRshuntMessage;
    case CalibrationRefusal::MaxExpectedCurrent: return kMaxExpectedCurrentMessage;
    case CalibrationRefusal::CurrentLsb: return kLsbOutOfRangeMessage;
    case CalibrationRefusal::TooLarge: return kCalibrationTooLargeMessage;
    case CalibrationRefusal::None: break;
  }
  return "";
}

}  // namespace

struct Bench::Impl {
  explicit Impl(const BenchOptions& o, Clock* external)
      : options(o), ui([this](const std::string& text) { Notice(text); }) {
    if (external) {
      base = external;
    } else if (o.simulate && o.simulation.fakeClock) {
      ownClock = std::make_unique<FakeClock>();
      base = ownClock.get();
    } else {
      ownClock = std::make_unique<SystemClock>();
      base = ownClock.get();
    }
    clock = std::make_unique<BenchClock>(*base);
    PlatformOptions platform{.simulate = o.simulate,
                             .vendorId = o.vendorId,
                             .simulatedReferenceVolts = o.simulation.referenceVolts,
                             .simulatedBoards = o.simulation.boards,
                             .simLoad = o.simulation.load,
                             .simFrameMs = o.simulation.frameMs};
    if (o.simulate) {
      std::string why;
      if (!sim::LoadProfile::Parse(o.simulation.load, &why)) throw ParseError(why);
      if (!(o.simulation.frameMs >= 0 && o.simulation.frameMs <= kMaxSimFrameMs)) {
        throw ParseError("the simulated USB frame must be 0 to 1000 ms");
      }
    }
    if (o.simulate && !o.simulation.fault.empty()) {
      platform.simFault = sim::ParseSimFault(o.simulation.fault);
      if (!platform.simFault) {
        throw ParseError("the simulated fault '" + o.simulation.fault + "' is not one of " +
                         sim::SimFaultNames());
      }
    }
    session = std::make_unique<EvmSession>(platform, *clock, ui, NumberLocale::Point(),
                                           o.stateFolder.value_or(std::filesystem::path()));
    evm = &session->Context();
    hid = &session->Platform();
    // A stop during a silent board's first time-out spares the second.
    evm->dutWriter().stopRequested = [this] { return clock->StopRequested(); };
    if (o.stateFolder) {
      RemoveStaleStateTemporaries(*evm);
      const std::string ignored = LoadBoardSelection(*evm);
      if (!ignored.empty()) Notice(ignored);
    }
    if (!o.regLink.empty()) {
      evm->regLink().SelectedBoard = o.regLink;
      evm->regLink().SelectionRequired = true;
    }
    if (!o.interfaceBoard.empty()) {
      evm->dutWriter().SelectedBoard = o.interfaceBoard;
      evm->dutWriter().SelectionRequired = true;
    }
  }

  ~Impl() {
    if (evm) evm->regLink().CloseRegLink();
  }

  void Notice(const std::string& text) {
    if (ui.intercept && ui.intercept(text)) return;
    if (options.onNotice) options.onNotice(text);
  }

  // The stop state of one operation: the Bench's stop or the caller's.
  struct Operation {
    Operation(Impl& impl, std::stop_token callerStop)
        : impl_(impl),
          own_(impl.StopToken(), [this] { source_.request_stop(); }),
          caller_(std::move(callerStop), [this] { source_.request_stop(); }) {
      impl_.clock->Watch(source_.get_token());
      impl_.ui.Reset();
      impl_.evm->shell().RunWithoutUsb = false;
    }
    ~Operation() { impl_.clock->Watch({}); }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // The caller's clock may carry a stop of its own (evmctl's Ctrl-C).
    bool Stopped() const { return source_.stop_requested() || impl_.base->StopRequested(); }
    void ThrowIfStopped() const {
      if (Stopped()) throw CancelledError("stopped");
    }

   private:
    Impl& impl_;
    std::stop_source source_;
    std::stop_callback<std::function<void()>> own_;
    std::stop_callback<std::function<void()>> caller_;
  };

  std::stop_token StopToken() {
    std::lock_guard lock(stopMutex);
    return stop.get_token();
  }

  void ConnectRegisterLink() {
    if (evm->regLink().LinkOpen()) return;
    if (evm->regLink().OpenRegLink()) return;
    if (!options.regLink.empty()) {
      throw NoBoardError("register link " + options.regLink + " not found");
    }
    const std::string text = "no register link board found (vendor id " + Hex(options.vendorId, 4) +
                             ", product id " + Hex(kRegLinkProductId, 4) + ")";
    if (evm->regLink().UnopenedInterfaces() > 0) {
      throw BoardNotOpenableError(
          "a register link board was found but cannot be opened (no permission?): see the udev "
          "rule in the README");
    }
    throw NoBoardError(text);
  }

  void ConnectInterfaceBoard() {
    if (evm->dutWriter().MnemonicBoardFound) return;
    ShellState& shell = evm->shell();
    if (options.usbAddress) {
      // Taken as given, for this session only.
      shell.UsbAddress = options.usbAddress;
      shell.LegacyAddressing = InUsbAddressRange(*shell.UsbAddress, true);
    } else {
      std::optional<uint16_t> stored;
      if (options.stateFolder) {
        const auto file = evm->StateFile(kUsbAddressFileName);
        std::error_code readError;
        stored = ReadUsbAddressFile(file, &readError);
        ReportUnreadableStateFile(ui, file, readError);
      }
      StartWithUsbAddress(shell, stored);
    }
    if (evm->dutWriter().FindMnemonicBoard()) return;
    if (!options.interfaceBoard.empty()) {
      throw NoBoardError("interface board " + options.interfaceBoard + " not found");
    }
    throw NoBoardError("no interface board found (vendor id " + Hex(options.vendorId, 4) +
                       ", product id " + Hex(*shell.UsbAddress, 4) +
                       (options.optionNames.usbAddress.empty()
                            ? ")"
                            : "; see " + options.optionNames.usbAddress + ")"));
  }

  // The failure of a test-board operation as its error; `device` is what
  // did not acknowledge, in the caller's terms.
  void ThrowIfFailed(const Operation& op, const BoardOutcome& outcome, const std::string& device) {
    switch (outcome.failure) {
      case BoardFailure::None: return;
      case BoardFailure::Silent:
      case BoardFailure::Stopped:
        // A time-out that a stop cut short says nothing about the board.
        if (op.Stopped() || outcome.failure == BoardFailure::Stopped) {
          throw CancelledError("stopped");
        }
        throw BoardSilentError("the interface board did not answer");
      case BoardFailure::NotAcknowledged:
        throw NotAcknowledgedError(device + " did not acknowledge");
      case BoardFailure::Parse: throw ParseError(outcome.detail, outcome.position);
      case BoardFailure::File: {
        const std::filesystem::path file = PathFromUtf8(outcome.detail);
        throw FileError(OneLine(UnreadableFileMessage(file, outcome.code)), outcome.detail,
                        outcome.code);
      }
      case BoardFailure::OutOfRange: throw ParseError(device + ": the value is out of range");
      case BoardFailure::ReadBack:
        throw ReadBackError(device + " reads back another value", ReadBackError::kDac, 0, 0);
    }
  }

  // A link that stops answering, or a board that is gone, ends a run as at
  // its start; a pass the device alone did not acknowledge goes on.
  void ThrowIfLinkLost(const RegisterRead& pass, const Operation& op) {
    if (pass.AllAcknowledged() || !LinkSilent() || op.Stopped()) return;
    // A failed transfer lets go of the board: one that is gone is not found again.
    ConnectRegisterLink();
    throw BoardSilentError("the register link did not answer");
  }

  RegisterRead Read(int lastReg) {
    return evm::ReadRegisters(evm->regLink(), options.deviceAddress, lastReg);
  }

  RegisterRead ReadAcknowledged(const std::string& what, const std::string& seeAlso = "") {
    const RegisterRead read = Read(kNormalLastReg);
    if (!read.AllAcknowledged()) ThrowLinkFailure(what, seeAlso);
    return read;
  }

  // The calibration the last session kept (see ApplyCalibration), on the
  // ranges register 00h of `read` sets; stored inputs that give none are a
  // notice, in the words evmctl uses for them.
  Scaling ScalingFor(const RegisterRead& read) {
    if (scaling) return *scaling;
    if (!options.stateFolder) return Scaling{};
    const auto file = evm->StateFile(kSettingsFileName);
    const StoredCalibration stored = ReadStoredCalibration(file, RangesOfConfig(read.values[0]));
    ReportUnreadableStateFile(ui, file, stored.readError);
    const std::string where = "' stored in '" + file.string() + "'";
    if (stored.stored) {
      switch (stored.restored.reached) {
        case RestoredStep::None:
          Notice("the Rshunt '" + stored.settings.rshunt + where +
                 " is not a valid value; power and current are not scaled");
          break;
        case RestoredStep::Rshunt:
          Notice("the Max Expected Current '" + stored.settings.maxExpectedCurrent + where +
                 " is not between 0 and the Max Possible Current; power and current are not "
                 "scaled");
          break;
        case RestoredStep::CurrentLsbRejected:
          Notice("the current LSB '" + stored.settings.selectedCurrentLsb + where +
                 " gives no calibration with the stored inputs; power is not scaled");
          break;
        case RestoredStep::CurrentLsb: break;
      }
    }
    return stored.restored.scaling;
  }

  // The failure of the last register transfer: a link that did not answer
  // is not the device's fault.
  bool LinkSilent() const {
    const LinkFault fault = evm->regLink().LastFault();
    return fault == LinkFault::NoAnswer || fault == LinkFault::NoBoard;
  }

  [[noreturn]] void ThrowLinkFailure(const std::string& what, const std::string& seeAlso = "") {
    // A time-out that a stop cut short says nothing about the link.
    if (evm->regLink().LastFault() == LinkFault::NoAnswer && clock->StopRequested()) {
      throw CancelledError("interrupted");
    }
    if (LinkSilent()) throw BoardSilentError("the register link did not answer" + what);
    throw NotAcknowledgedError(NotAcknowledged(options.deviceAddress, what + seeAlso));
  }

  // A write refused: by a link gone silent, or by the device.
  [[noreturn]] void ThrowWriteFailure(const WritesDone& done, const std::string& after = "") {
    const std::string reg = "register " + Hex(static_cast<unsigned>(done.refusedReg), 2) + "h";
    if (LinkSilent()) ThrowLinkFailure(" (writing " + reg + ")" + after);
    throw NotAcknowledgedError("the device did not acknowledge the write of " + reg + after);
  }

  // One register alone: deciding on the calibration should not cost a pass.
  uint16_t ReadOne(int reg) {
    uint8_t data[2] = {0, 0};
    if (!evm->regLink().I2CRead(options.deviceAddress, reg, 2, data,
                                RegisterLink::kRegisterSettleMs)) {
      ThrowLinkFailure("", SeeAddress());
    }
    return static_cast<uint16_t>(data[0] * 256 + data[1]);
  }

  CalibrationRestore RestoreIfBlank() {
    CalibrationRestore r;
    if (ReadOne(kCalibrationRegister) != 0) return r;
    r.wasBlank = true;
    const auto file =
        options.stateFolder ? evm->StateFile(kSettingsFileName) : std::filesystem::path();
    const StoredCalibration stored = ReadStoredCalibration(file, RangesOfConfig(ReadOne(0)));
    const uint16_t value = stored.restored.calibration.calibration;
    if (stored.restored.reached != RestoredStep::CurrentLsb || value == 0) {
      r.message =
          "register 05h is 0 and the stored calibration gives none: current and power read 0";
      return r;
    }
    const WriteCheck check =
        WriteRegisterVerified(evm->regLink(), options.deviceAddress, kCalibrationRegister, value);
    if (!check.written || !check.readBack) {
      if (LinkSilent()) throw BoardSilentError("the register link did not answer");
      throw NotAcknowledgedError("the device did not acknowledge the write of register 05h");
    }
    if (!check.Matches()) {
      throw ReadBackError(
          "register 05h reads back " + Hex(check.got, 4) + ", not " + Hex(check.wanted, 4),
          kCalibrationRegister, check.wanted, check.got);
    }
    // Without a state folder nothing is read back later: this session scales
    // by what it wrote, as after ApplyCalibration.
    if (!options.stateFolder) scaling = stored.restored.scaling;
    r.wrote = value;
    r.fromStoredInputs = stored.stored;
    r.message = "register 05h was 0: wrote " + Hex(value, 4) + " (the " +
                (stored.stored ? "stored" : "default") + " calibration)";
    return r;
  }

  // The rule of BenchOptions::calibrateIfBlank, once a session, before the
  // first measurement.
  void CalibrateIfDue() {
    if (blankChecked || !options.calibrateIfBlank) return;
    CalibrationRestore done;
    try {
      done = RestoreIfBlank();
    } catch (const NotAcknowledgedError&) {
      // No device at the address: the measurement says so in its own way
      // (a monitor's passes unacknowledged), and the next one asks again.
      return;
    }
    blankChecked = true;
    if (!done.message.empty()) Notice(done.message);
  }

  // The hint a caller can follow when the device does not answer at its address.
  std::string SeeAddress() const {
    const std::string& name = options.optionNames.deviceAddress;
    return name.empty() ? "" : " (see " + name + ")";
  }

  // Runs the one pass loop on a thread of its own while this one tells
  // each sample to `onSample` (sample, scaling); the run's failure is thrown.
  template <typename OnSample>
  RunSummary Acquire(Operation& op, const MonitorLength& length, OnSample&& onSample);
  // Of the acknowledged samples of the last Acquire, as they were told.
  Statistics lastStats;
  // What the bounded buffer of the run in progress has had to drop so far.
  long droppedSoFar = 0;

  ScriptResult RunScript(const std::filesystem::path& file, double maxSeconds,
                         const ScriptRowCallback& onRow, std::stop_token callerStop,
                         RunRecorder& recorder);

  // The serial number of the interface board the session opened, for the
  // record of a run.
  std::string InterfaceSerial() {
    for (const BoardListing& b : DiscoverBoards(*hid, options.vendorId)) {
      if (b.kind == BoardKind::Interface && b.path == evm->dutWriter().DevicePath) return b.serial;
    }
    return "";
  }

  ScriptRowResult RowOf(const ScriptGrid& grid, int r) const {
    ScriptRowResult row;
    row.row = r;
    row.description = grid.Cell(r, kColDescription);
    row.step = grid.Cell(r, kColStep);
    row.low = grid.Cell(r, kColLow);
    row.high = grid.Cell(r, kColHigh);
    row.result = grid.Cell(r, kColResult);
    row.verdict = grid.Cell(r, kColVerdict);
    row.skipped = row.step == "break";
    return row;
  }

  BenchOptions options;
  std::unique_ptr<Clock> ownClock;
  Clock* base = nullptr;
  std::unique_ptr<BenchClock> clock;
  BenchUi ui;
  std::unique_ptr<EvmSession> session;
  HidPlatform* hid = nullptr;
  Evm* evm = nullptr;
  std::optional<Scaling> scaling;
  bool blankChecked = false;
  ScriptGrid lastScript;
  RunRecord lastRecord;
  std::mutex stopMutex;
  std::stop_source stop;
};

void BenchUi::MessageBox(const std::string& text, const std::string& title) {
  const std::string line = OneLine(text);
  if (intercept && intercept(line)) return;
  if (notice_) notice_((title.empty() ? "" : title + ": ") + line);
}

Bench::Bench(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Bench::~Bench() = default;

std::unique_ptr<Bench> Bench::Open(const BenchOptions& options) {
  return std::unique_ptr<Bench>(new Bench(std::make_unique<Impl>(options, nullptr)));
}

std::unique_ptr<Bench> BenchAccess::Open(const BenchOptions& options, Clock& clock) {
  return std::unique_ptr<Bench>(new Bench(std::make_unique<Bench::Impl>(options, &clock)));
}

std::string Bench::Version() {
  return EVM_VERSION_STRING;
}

const BenchOptions& Bench::Options() const {
  return impl_->options;
}

std::vector<DeviceInfo> Bench::Devices() {
  Impl& m = *impl_;
  const BoardSelection stored{m.evm->regLink().SelectedBoard, m.evm->dutWriter().SelectedBoard};
  std::vector<DeviceInfo> devices;
  for (const BoardListing& b : DiscoverBoards(*m.hid, m.options.vendorId)) {
    DeviceInfo d;
    d.path = b.path;
    d.serial = b.serial;
    d.product = b.product;
    if (b.idsKnown) {
      d.vendorId = b.vendorId;
      d.productId = b.productId;
    }
    d.kind = b.kind == BoardKind::RegLink     ? DeviceKind::RegLink
             : b.kind == BoardKind::Interface ? DeviceKind::Interface
                                              : DeviceKind::Other;
    if (b.kind != BoardKind::Other) d.kindName = BoardKindName(b.kind);
    d.openable = b.openable;
    d.reason = b.reason;
    d.selected = (b.kind == BoardKind::RegLink && SelectorNames(b, stored.regLink)) ||
                 (b.kind == BoardKind::Interface && SelectorNames(b, stored.interfaceBoard));
    devices.push_back(std::move(d));
  }
  return devices;
}

RegisterSnapshot Bench::ReadRegisters(bool engineering) {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  m.CalibrateIfDue();
  // A pass that is whole is given even when a stop came during it; one
  // that is not is the link's failure, stopped or not.
  const RegisterRead read = m.Read(engineering ? kEngineeringLastReg : kNormalLastReg);
  if (!read.AllAcknowledged()) {
    m.ThrowLinkFailure("", m.SeeAddress());
  }
  const Scaling scaling = m.ScalingFor(read);
  const Quantities q = Scale(read, scaling);
  const double scaled[] = {0, q.shuntVolts, q.busVolts, q.watts, q.amperes};
  RegisterSnapshot snapshot;
  snapshot.deviceAddress = m.options.deviceAddress;
  snapshot.currentLsbAmps = scaling.currentLsb;
  snapshot.powerLsbWatts = scaling.powerLsb;
  for (int i = 0; i <= read.lastReg; ++i) {
    const auto s = static_cast<size_t>(i);
    RegisterValue v;
    v.reg = i;
    v.name = Trimmed(kRegNames[s]);
    v.raw = read.values[s];
    v.hex = FormatRegText(read.values[s], kFormHex, false);
    v.binary = FormatRegText(read.values[s], kFormBinary, false);
    v.unit = Unit(i);
    if (HasScaledValue(i)) v.scaled = scaled[i];
    snapshot.registers.push_back(std::move(v));
  }
  return snapshot;
}

WriteResult Bench::WriteRegister(int reg, uint16_t value) {
  Impl& m = *impl_;
  if (reg < 0 || reg > kEngineeringLastReg) {
    throw ParseError("REG '" + std::to_string(reg) + "' is not a register number 0-7");
  }
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  const int address = m.options.deviceAddress;
  const WriteCheck check = WriteRegisterVerified(m.evm->regLink(), address, reg, value);
  const std::string where =
      "register " + Hex(static_cast<unsigned>(reg), 2) + "h at address " + AddressText(address);
  if (!check.written) {
    if (m.LinkSilent()) m.ThrowLinkFailure(" (writing " + where + ")");
    throw NotAcknowledgedError("the device did not acknowledge the write of " + where);
  }
  if (!check.readBack) {
    if (m.LinkSilent()) m.ThrowLinkFailure(" (reading back " + where + ")");
    throw NotAcknowledgedError("the device did not acknowledge the read-back of " + where);
  }
  if (!check.Matches()) {
    const bool readOnly = kRegReadOnly[static_cast<size_t>(reg)];
    throw ReadBackError(where + " reads back " + Hex(check.got, 4) + ", not " +
                            Hex(check.wanted, 4) + (readOnly ? " (a read-only register)" : ""),
                        reg, check.wanted, check.got);
  }
  return WriteResult{reg, check.wanted, check.got};
}

uint16_t Bench::ReadConfig() {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  return m.ReadAcknowledged("").values[0];
}

CalibrationResult Bench::Calculate(const CalibrationRequest& request, uint16_t config) {
  const NumberLocale point = NumberLocale::Point();
  const InitialCalibration c = ComputeInitialCalibration(
      {request.rshuntOhms, request.maxExpectedAmps, request.currentLsbAmps}, RangesOfConfig(config),
      point);
  CalibrationResult r;
  r.refusal = c.refusal;
  r.refusalMessage = RefusalMessage(c.refusal);
  r.config = config;
  r.maxShuntVolts = c.maxShuntVolts;
  r.maxBusVolts = c.maxBusVolts;
  r.maxPossibleAmps = c.maxPossibleAmps;
  r.minCurrentLsbAmps = c.minCurrentLsb;
  r.maxCurrentLsbAmps = c.maxCurrentLsb;
  r.currentLsbAmps = c.currentLsb;
  r.calibration = c.calibration;
  r.powerLsbWatts = c.powerLsb;
  r.maxCurrentBeforeOverflowAmps = c.maxCurrentBeforeOverflow;
  r.maxCurrentBeforeOverflowCode = c.maxCurrentBeforeOverflowCode;
  r.maxShuntBeforeOverflowVolts = c.maxShuntBeforeOverflow;
  r.maxPowerWatts = c.maxPower;
  r.overflowPossible = c.overflowPossible;
  r.overflowNote = c.text.note;
  r.request = request;
  const auto text = [&point](const std::string& given, double value) {
    return given.empty() ? FormatGeneral(value, point) : given;
  };
  r.request.rshuntText = text(request.rshuntText, request.rshuntOhms);
  r.request.maxExpectedCurrentText = text(request.maxExpectedCurrentText, request.maxExpectedAmps);
  r.request.currentLsbText = text(request.currentLsbText, request.currentLsbAmps);
  r.maxPossibleCurrentText = c.text.maxPossibleCurrent;
  if (!c.Ok()) return r;
  const InitialCalibrationTexts& t = c.text;
  const CalibrationRequest& q = r.request;
  r.rows = {
      {"rshunt_ohms", "Rshunt", request.rshuntOhms, q.rshuntText, "Ohms"},
      {"max_shunt_volts", "Max Shunt Voltage", c.maxShuntVolts, t.maxShunt, "V"},
      {"max_bus_volts", "Max Bus Voltage", c.maxBusVolts, t.maxBus, "V"},
      {"max_possible_amps", "Max Possible Current +/-", c.maxPossibleAmps, t.maxPossibleCurrent,
       "A"},
      {"max_expected_amps", "Max Expected Current +/-", request.maxExpectedAmps,
       q.maxExpectedCurrentText, "A"},
      {"min_current_lsb_amps", "Min Current LSB (15 bit Resolution)", c.minCurrentLsb,
       t.minCurrentLsb, "A/bit"},
      {"max_current_lsb_amps", "Max Current LSB (12 bit Resolution)", c.maxCurrentLsb,
       t.maxCurrentLsb, "A/bit"},
      {"current_lsb_amps", "Current LSB", c.currentLsb, q.currentLsbText, "A/bit"},
      {"calibration_hex", "Calibration Reg", static_cast<double>(c.calibration), t.calibrationHex,
       "Hex"},
      {"calibration", "Calibration Reg", static_cast<double>(c.calibration), t.calibrationDec,
       "Int"},
      {"power_lsb_watts", "Power LSB", c.powerLsb, t.powerLsb, "W/bit"},
      {"max_current_before_overflow_amps", "Max Current Before Overflow",
       c.maxCurrentBeforeOverflow, t.maxCurrent, "A"},
      {"max_current_before_overflow_hex", "Max Current Before Overflow",
       static_cast<double>(c.maxCurrentBeforeOverflowCode), t.maxCurrentHex, "hex"},
      {"max_shunt_before_overflow_volts", "Max Shunt Voltage Before Current Overflow",
       c.maxShuntBeforeOverflow, t.maxShuntNoOverflow, "V"},
      {"max_power_watts", "Max Power", c.maxPower, t.maxPower, "W"},
  };
  return r;
}

CalibrationRestore Bench::CalibrateIfBlank() {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  CalibrationRestore done = m.RestoreIfBlank();
  m.blankChecked = true;
  return done;
}

void Bench::ApplyCalibration(const CalibrationResult& calibration) {
  Impl& m = *impl_;
  if (!calibration.Ok()) throw ParseError(OneLine(RefusalMessage(calibration.refusal)));
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  const RegisterRead read = m.ReadAcknowledged("");
  // Register 00h too when the calibration was made for other ranges; the rest stays.
  std::array<int32_t, kDeviceRegs> wanted{};
  for (size_t i = 0; i < wanted.size(); ++i) wanted[i] = read.values[i];
  wanted[0] = calibration.config;
  wanted[kCalibrationRegister] = calibration.calibration;
  const WritesDone done = WriteChangedRegisters(m.evm->regLink(), read, wanted);
  // Nothing is read back after a refused write.
  if (!done.AllTaken()) m.ThrowWriteFailure(done);
  const RegisterRead after = m.Read(kNormalLastReg);
  if (!after.AllAcknowledged()) m.ThrowLinkFailure(" (reading back register 05h)");
  if (after.values[kCalibrationRegister] != calibration.calibration) {
    throw ReadBackError("register 05h reads back " + Hex(after.values[kCalibrationRegister], 4) +
                            ", not " + Hex(calibration.calibration, 4),
                        kCalibrationRegister, calibration.calibration,
                        after.values[kCalibrationRegister]);
  }
  m.scaling.reset();
  if (!m.options.stateFolder) {
    // Nothing is kept for later sessions; this one scales by what it wrote.
    m.scaling = Scaling{calibration.currentLsbAmps, calibration.powerLsbWatts};
    return;
  }
  // The inputs go with the calibration now on the device, so later sessions
  // scale by it; a calibration they cannot find is a failure. Nobody saw the
  // reminder here: a fresh file leaves it due.
  const auto file = m.evm->StateFile(kSettingsFileName);
  const CalibrationRequest& q = calibration.request;
  if (std::error_code ec; !StoreCalibrationInputs(file, q.rshuntText, q.maxExpectedCurrentText,
                                                  q.currentLsbText, 0, 0, ec)) {
    throw FileError("register 05h = " + Hex(calibration.calibration, 4) +
                        " written, but the calibration inputs could not be stored in '" +
                        file.string() + "': " + ec.message(),
                    file.string(), ec);
  }
}

void Bench::UseScaling(double currentLsbAmps, double powerLsbWatts) {
  impl_->scaling = Scaling{currentLsbAmps, powerLsbWatts};
}

Measurement Bench::MeasureOnce() {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  m.CalibrateIfDue();
  // One pass, scaled by the calibration on the ranges its own register 00h sets.
  Acquirer pass(m.evm->regLink(), *m.clock,
                {.mode = AcquisitionMode::Passes, .deviceAddress = m.options.deviceAddress});
  const auto sample = pass.Next([&op] { return op.Stopped(); });
  op.ThrowIfStopped();
  if (!sample || !sample->acknowledged) m.ThrowLinkFailure("", m.SeeAddress());
  return MeasurementOf(*sample, m.ScalingFor(sample->registers));
}

namespace {

// What a run of measurements hands over between the reading thread and the
// caller: enough for a second of the fastest mode.
constexpr size_t kRunBuffer = 4096;
constexpr size_t kTakeAtOnce = 256;

StatSample StatSampleOf(double time, const Quantities& q) {
  return StatSample{time, {q.busVolts, q.shuntVolts, q.amperes, q.watts}};
}

double RateOf(long count, double first, double last) {
  return count > 1 && last > first ? static_cast<double>(count - 1) / (last - first) : 0;
}

}  // namespace

template <typename OnSample>
RunSummary Bench::Impl::Acquire(Operation& op, const MonitorLength& length, OnSample&& onSample) {
  const AcquisitionSettings settings{.mode = length.mode,
                                     .deviceAddress = options.deviceAddress,
                                     .samples = length.passes,
                                     .seconds = length.seconds};
  RunSummary summary;
  std::optional<Scaling> runScaling;
  double first = 0, last = 0;
  lastStats = Statistics{};
  droppedSoFar = 0;
  auto tell = [&](const Sample& sample) {
    // Scaled by the calibration the last session kept, on the ranges of
    // the device's own register 00h.
    if (!runScaling && sample.acknowledged) runScaling = ScalingFor(sample.registers);
    if (summary.passes == 0) first = sample.time;
    last = sample.time;
    ++summary.passes;
    if (sample.acknowledged) {
      lastStats.Add(StatSampleOf(sample.time, ScaleSample(sample, *runScaling)));
    } else {
      ++summary.unacknowledged;
      lastStats.CountLost(1);
    }
    onSample(sample, runScaling.value_or(Scaling{}));
  };
  const std::function<bool()> stopped = [&op] { return op.Stopped(); };
  AcquisitionEnd end = AcquisitionEnd::Done;
  uint16_t config = 0;
  if (clock->Virtual()) {
    // Virtual time costs nothing to wait for: the samples are read on this
    // thread, one by one as they are told, and a stop from the caller's
    // function ends the run right at its sample.
    Acquirer acquirer(evm->regLink(), *clock, settings);
    while (const auto sample = acquirer.Next(stopped)) tell(*sample);
    end = acquirer.End();
    config = acquirer.Config();
  } else {
    // The reading keeps the board's pace on a thread of its own; a caller
    // that does not keep up loses samples, counted, and holds up nothing.
    AcquisitionRun run(evm->regLink(), *clock, settings, kRunBuffer, SampleBuffer::WhenFull::Drop);
    run.Start(stopped);
    std::vector<Sample> batch;
    try {
      // What was read before a stop is told; the reading ends within a sample.
      while (run.Buffer().Take(batch, kTakeAtOnce, std::chrono::milliseconds(50))) {
        droppedSoFar = run.Buffer().Dropped();
        for (const Sample& sample : batch) tell(sample);
        batch.clear();
      }
    } catch (...) {
      run.Stop();
      throw;
    }
    run.Join();
    if (run.Failure()) std::rethrow_exception(run.Failure());
    summary.lost = run.Counts().dropped;
    lastStats.CountLost(summary.lost);
    end = run.End();
    config = run.Config();
  }
  summary.rate = RateOf(summary.passes, first, last);
  summary.stopped = op.Stopped();
  switch (end) {
    case AcquisitionEnd::LinkSilent:
      if (summary.stopped) break;
      if (summary.passes == 0) ThrowLinkFailure("");
      // A failed transfer lets go of the board: one that is gone is not found again.
      ConnectRegisterLink();
      throw BoardSilentError("the register link did not answer");
    case AcquisitionEnd::NotAcknowledged: ThrowLinkFailure("", SeeAddress());
    case AcquisitionEnd::PoweredDown:
      throw ParseError("register 00h = " + Hex(config, 4) +
                       " powers the device down: it converts nothing to measure fast");
    case AcquisitionEnd::Running:
    case AcquisitionEnd::Done:
    case AcquisitionEnd::Stopped: break;
  }
  return summary;
}

RunSummary Bench::Monitor(const MonitorLength& length, const MeasurementCallback& onPass,
                          std::stop_token stop) {
  Impl& m = *impl_;
  Impl::Operation op(m, std::move(stop));
  m.ConnectRegisterLink();
  m.CalibrateIfDue();
  // The stop is looked for between passes, so the pass in progress is told
  // whole and the run ends as if its count were done.
  return m.Acquire(op, length, [&](const Sample& sample, const Scaling& scaling) {
    if (onPass) onPass(MeasurementOf(sample, scaling));
  });
}

std::vector<Measurement> Bench::MonitorBatch(const MonitorLength& length, std::stop_token stop) {
  std::vector<Measurement> passes;
  const RunSummary run = Monitor(
      length, [&passes](const Measurement& m) { passes.push_back(m); }, std::move(stop));
  // The passes so far are not the run asked for, and nothing else would say so.
  if (run.stopped) {
    throw CancelledError("stopped after " + std::to_string(run.passes) +
                         (run.passes == 1 ? " pass" : " passes"));
  }
  return passes;
}

LogSummary Bench::Log(const std::filesystem::path& file, const MonitorLength& length,
                      const MeasurementCallback& onPass, std::stop_token stop) {
  Impl& m = *impl_;
  const std::string name = FileText(file);
  // A target that cannot be a log is bad input whatever board is there.
  if (const std::error_code target = CheckWritableTarget(file)) ThrowLogRefused(file, target);
  Impl::Operation op(m, std::move(stop));
  m.ConnectRegisterLink();
  m.CalibrateIfDue();
  const bool fast = length.mode != AcquisitionMode::Passes;
  MeasurementLog passLog;
  FastLog fastLog;
  bool open = false;
  std::error_code logError;
  auto writeFailed = [&]() -> FileError {
    // Reading on without a log would only hide that the log is gone.
    return FileError(
        "logging to '" + name + "' stopped after a failed write: " + logError.message(), name,
        logError);
  };
  LogSummary summary;
  summary.file = name;
  RunSummary run;
  try {
    run = m.Acquire(op, length, [&](const Sample& sample, const Scaling& scaling) {
      if (!open) {
        // No log of values the device never gave: the file is made only once
        // the device has given a first measurement.
        if (!sample.acknowledged) m.ThrowLinkFailure("", m.SeeAddress());
        const bool opened =
            fast ? fastLog.Open(file, sample.time, logError) : passLog.Open(file, logError);
        if (!opened) ThrowLogRefused(file, logError);
        open = true;
      }
      if (!sample.acknowledged) {
        ++summary.unacknowledged;
        if (m.LinkSilent()) ++summary.unanswered;
      } else if (fast ? !fastLog.Append(sample, ScaleSample(sample, scaling), logError)
                      : !passLog.Append(RecordOfSample(sample, scaling), logError)) {
        throw writeFailed();
      } else {
        ++summary.logged;
      }
      if (onPass) onPass(MeasurementOf(sample, scaling));
    });
  } catch (...) {
    // The samples read before a failure are data too: the fast log holds
    // up to its buffer's worth that would otherwise never reach the file.
    std::error_code ignored;
    if (fast && open) fastLog.Flush(ignored);
    throw;
  }
  if (fast && open && !fastLog.Flush(logError)) throw writeFailed();
  if (!open) m.ThrowLinkFailure("", m.SeeAddress());
  summary.passes = run.passes;
  summary.stopped = run.stopped;
  summary.lost = run.lost;
  summary.rate = run.rate;
  return summary;
}

LogSummary Bench::LogSummaries(const std::filesystem::path& file, const MonitorLength& length,
                               double intervalSeconds, const MeasurementCallback& onPass,
                               std::stop_token stop) {
  Impl& m = *impl_;
  const std::string name = FileText(file);
  if (!(intervalSeconds > 0) || !std::isfinite(intervalSeconds)) {
    throw ParseError("the summary interval must be above 0 seconds");
  }
  if (const std::error_code target = CheckWritableTarget(file)) ThrowLogRefused(file, target);
  Impl::Operation op(m, std::move(stop));
  m.ConnectRegisterLink();
  m.CalibrateIfDue();
  SummaryLog log(intervalSeconds);
  bool open = false;
  std::error_code logError;
  auto writeFailed = [&]() -> FileError {
    return FileError(
        "logging to '" + name + "' stopped after a failed write: " + logError.message(), name,
        logError);
  };
  LogSummary summary;
  summary.file = name;
  long droppedTold = 0;
  double lastTime = 0;
  RunSummary run;
  try {
    run = m.Acquire(op, length, [&](const Sample& sample, const Scaling& scaling) {
      if (!open) {
        if (!sample.acknowledged) m.ThrowLinkFailure("", m.SeeAddress());
        if (!log.Open(file, sample.time, logError)) ThrowLogRefused(file, logError);
        open = true;
      }
      lastTime = sample.time;
      if (m.droppedSoFar > droppedTold) {
        log.AddLost(sample.time, m.droppedSoFar - droppedTold);
        droppedTold = m.droppedSoFar;
      }
      if (!sample.acknowledged) {
        ++summary.unacknowledged;
        if (m.LinkSilent()) ++summary.unanswered;
        log.AddLost(sample.time, 1);
      } else if (!log.Add(StatSampleOf(sample.time, ScaleSample(sample, scaling)), logError)) {
        throw writeFailed();
      } else {
        ++summary.logged;
      }
      if (onPass) onPass(MeasurementOf(sample, scaling));
    });
  } catch (...) {
    // A board that failed part way still leaves the row of its last interval.
    std::error_code ignored;
    if (open) log.Finish(lastTime, ignored);
    throw;
  }
  if (!open) m.ThrowLinkFailure("", m.SeeAddress());
  // Drops after the last sample told: counted in the last row.
  if (run.lost > droppedTold) log.AddLost(lastTime, run.lost - droppedTold);
  if (!log.Finish(lastTime, logError)) throw writeFailed();
  summary.passes = run.passes;
  summary.stopped = run.stopped;
  summary.lost = run.lost;
  summary.rate = run.rate;
  return summary;
}

RunStatistics Bench::LastStatistics() const {
  return RunStatisticsOf(impl_->lastStats);
}

RunStatistics Bench::StatisticsOf(const std::vector<Measurement>& measurements) {
  Statistics stats;
  for (const Measurement& m : measurements) {
    if (m.acknowledged) {
      stats.Add(StatSample{m.timeSeconds, {m.busVolts, m.shuntVolts, m.amperes, m.watts}});
    } else {
      stats.CountLost(1);
    }
  }
  return RunStatisticsOf(stats);
}

CaptureSummary Bench::Capture(const CaptureRequest& request, const CaptureCallback& onCapture,
                              std::stop_token stop) {
  Impl& m = *impl_;
  // Everything the request says is checked before any board is touched.
  std::string why;
  const std::optional<TriggerCondition> trigger = ParseTrigger(request.trigger, &why);
  if (!trigger) throw ParseError(why);
  if (request.mode == AcquisitionMode::Passes) {
    throw ParseError("a capture reads fast samples: the mode must be Fast or FastTwo");
  }
  if (trigger->source == TriggerSource::ShuntVolts && request.mode == AcquisitionMode::FastTwo) {
    throw ParseError("the trigger '" + request.trigger +
                     "' watches shunt_volts, which two registers do not read");
  }
  const CaptureSettings settings{.trigger = *trigger,
                                 .preSeconds = request.preSeconds,
                                 .postSeconds = request.postSeconds,
                                 .count = request.count};
  if (const std::string refused = CaptureSettingsError(settings); !refused.empty()) {
    throw ParseError(refused);
  }
  if (!(request.timeoutSeconds >= 0 && request.timeoutSeconds <= 1e9)) {
    throw ParseError("the time-out must be 0 (none) to 1e9 seconds");
  }
  const std::filesystem::path& folder = request.folder;
  const std::string folderName = FileText(folder);
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec && !std::filesystem::is_directory(folder, ec) && !ec) {
      ec = std::make_error_code(std::errc::not_a_directory);
    }
    if (ec) {
      throw FileError("cannot make the capture folder '" + folderName + "': " + ec.message(),
                      folderName, ec);
    }
  }
  // Enough captures end the run as a stop does, between samples.
  std::stop_source enough;
  std::stop_callback<std::function<void()>> forward(std::move(stop),
                                                    [&enough] { enough.request_stop(); });
  Impl::Operation op(m, enough.get_token());
  m.ConnectRegisterLink();
  // Blank, the device measures no current, and a trigger on amps or watts
  // would wait for ever.
  m.CalibrateIfDue();
  TriggeredCapture capturer(settings);
  CaptureSummary summary;
  const MonitorLength length{.seconds = request.timeoutSeconds, .mode = request.mode};
  Scaling runScaling;
  auto deliver = [&](const evm::Capture& done) {
    CaptureResult result;
    result.number = done.number;
    result.triggerTimeSeconds = done.triggerTime;
    result.triggerTime = MicrosecondStampText(done.triggerTime);
    result.triggerIndex = done.triggerIndex;
    result.truncated = done.truncated;
    if (!folder.empty()) {
      std::error_code ec;
      const auto file = SaveCapture(folder, done, *trigger, ec);
      if (!file) {
        throw FileError("capture " + std::to_string(done.number) + " could not be saved in '" +
                            folderName + "': " + ec.message(),
                        folderName, ec);
      }
      result.file = FileText(*file);
    }
    result.samples.reserve(done.samples.size());
    for (const Sample& s : done.samples) result.samples.push_back(MeasurementOf(s, runScaling));
    ++summary.captures;
    if (capturer.Done()) enough.request_stop();
    if (onCapture) onCapture(result);
  };
  const RunSummary run = m.Acquire(op, length, [&](const Sample& sample, const Scaling& scaling) {
    if (!sample.acknowledged) return;
    runScaling = scaling;
    if (std::optional<evm::Capture> done = capturer.Add(sample, ScaleSample(sample, scaling))) {
      deliver(*done);
    }
  });
  // Asked before a cut capture counts as one.
  const bool allTaken = capturer.Done();
  // What the run's end cut short is kept too, marked truncated.
  if (std::optional<evm::Capture> cut = capturer.Cut()) {
    summary.cut = true;
    deliver(*cut);
  }
  summary.samples = run.passes;
  summary.unacknowledged = run.unacknowledged;
  summary.lost = run.lost;
  summary.rate = run.rate;
  summary.stopped = run.stopped && !allTaken;
  summary.timedOut = !summary.stopped && request.count > 0 && !allTaken;
  return summary;
}

std::vector<uint16_t> Bench::SaveRegisters(const std::filesystem::path& file) {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  const RegisterRead read = m.ReadAcknowledged("; nothing saved");
  RegisterStore store;
  for (int i = 0; i <= read.lastReg; ++i) {
    store.RegValue[static_cast<size_t>(i)] = read.values[static_cast<size_t>(i)];
  }
  std::error_code ec;
  if (!WriteFileAtomically(file, FormatRegisterFile(store), ec)) {
    const std::string name = FileText(file);
    throw FileError(
        IsFileFault(ec) ? FileFaultText(name, ec) : "cannot write '" + name + "': " + ec.message(),
        name, ec);
  }
  return {read.values.begin(), read.values.begin() + read.lastReg + 1};
}

std::vector<uint16_t> Bench::LoadRegisters(const std::filesystem::path& file) {
  Impl& m = *impl_;
  // Checked before the board is touched, so a bad file is bad input
  // whatever is connected.
  std::error_code ec;
  const auto content = ReadWholeFile(file, ec, FileKind::Register);
  // The program's own message first, as the main window gives it; the
  // reason is for the one who looks.
  const std::string lead = std::string(kBadLoadFileMessage) + ": ";
  if (!content) ThrowUnreadable(file, ec, lead);
  const auto values = ParseRegisterFile(*content);
  if (!values) {
    throw ParseError(lead + "'" + FileText(file) + "' is not a register file (" +
                     std::to_string(kRegisterFileValues) +
                     " whole numbers 0-65535 first, one per line)");
  }
  Impl::Operation op(m, {});
  m.ConnectRegisterLink();
  // Only registers the file changes are written.
  const RegisterRead present = m.ReadAcknowledged("; nothing loaded");
  std::array<int32_t, kDeviceRegs> wanted{};
  for (size_t i = 0; i < wanted.size(); ++i) wanted[i] = (*values)[i];
  if (const WritesDone done = WriteChangedRegisters(m.evm->regLink(), present, wanted);
      !done.AllTaken()) {
    m.ThrowWriteFailure(
        done, done.taken == 0 ? "; nothing loaded" : "; the registers before it were loaded");
  }
  return {values->begin(), values->end()};
}

std::vector<MnemonicReply> Bench::Send(const std::vector<std::string>& texts,
                                       const ReplyCallback& onReply) {
  Impl& m = *impl_;
  // Nothing goes to the board unless every command can be sent.
  for (const std::string& text : texts) {
    ParsedMnemonic parsed;
    ParseMnemonicText(text, 1, parsed);
    if (!parsed.error.empty()) {
      throw ParseError("'" + text + "': " + parsed.error, parsed.errorPosition);
    }
  }
  Impl::Operation op(m, {});
  m.ConnectInterfaceBoard();
  std::vector<MnemonicReply> replies;
  for (const std::string& text : texts) {
    op.ThrowIfStopped();
    const MnemonicExchange x = SendMnemonicText(m.evm->dutWriter(), text);
    MnemonicReply reply;
    reply.text = text;
    reply.command = x.command;
    reply.answer = x.answer;
    reply.reads = x.reads;
    reply.acks = x.acks;
    reply.answered = x.answered;
    reply.acknowledged = x.Acknowledged();
    if (onReply) onReply(reply);
    if (x.outcome.failure == BoardFailure::Stopped) throw CancelledError("stopped");
    if (!x.answered) throw BoardSilentError("'" + text + "': the interface board did not answer");
    replies.push_back(std::move(reply));
  }
  return replies;
}

std::array<uint8_t, 32> Bench::Encode(const std::string& text) {
  // The sequence number the first command of a session carries.
  ParsedMnemonic parsed;
  ParseMnemonicText(text, NextSequenceNumber(0), parsed);
  if (!parsed.error.empty()) {
    throw ParseError("'" + text + "': " + parsed.error, parsed.errorPosition);
  }
  std::array<uint8_t, 32> report{};
  std::copy_n(parsed.report.begin(), report.size(), report.begin());
  return report;
}

ScriptResult Bench::RunScript(const std::filesystem::path& file, double maxSeconds,
                              const ScriptRowCallback& onRow, std::stop_token stop) {
  Impl& m = *impl_;
  RunRecord& record = m.lastRecord;
  record = RunRecord();
  record.scriptFile = FileText(file);
  record.programVersion = EVM_VERSION_STRING;
  record.regLink = m.options.regLink;
  record.interfaceBoard = m.options.interfaceBoard;
  RunRecorder recorder(*m.clock);
  recorder.Start();
  // A run that never started has a record too: its error says why.
  try {
    return m.RunScript(file, maxSeconds, onRow, std::move(stop), recorder);
  } catch (const Error& e) {
    recorder.Finish(m.lastScript, record);
    record.outcome =
        dynamic_cast<const CancelledError*>(&e) ? RunOutcome::Aborted : RunOutcome::Error;
    record.error = e.what();
    throw;
  }
}

ScriptResult Bench::Impl::RunScript(const std::filesystem::path& file, double maxSeconds,
                                    const ScriptRowCallback& onRow, std::stop_token callerStop,
                                    RunRecorder& recorder) {
  Impl& m = *this;
  ScriptGrid& grid = m.lastScript;
  grid = ScriptGrid();
  std::error_code readError;
  const auto content = ReadWholeFile(file, readError, FileKind::Script);
  if (!content) ThrowUnreadable(file, readError);
  lastRecord.scriptSha256 = Sha256Hex(*content);
  const std::string name = FileText(file);
  // The load's own message is a notice; the error below says where.
  if (!LoadScript(grid, file, m.ui)) {
    // The rows before the faulty line were loaded; it is the next one.
    throw ParseError("'" + name + "': script line " + std::to_string(grid.ScriptLastRow) +
                         " does not hold four quoted fields",
                     static_cast<size_t>(grid.ScriptLastRow));
  }
  // A run of nothing would pass without having checked anything.
  TrimForRun(grid);
  if (grid.ScriptLastRow < 1) throw ParseError("'" + name + "': no steps");

  Impl::Operation op(m, std::move(callerStop));
  m.ConnectInterfaceBoard();
  if (lastRecord.interfaceBoard.empty()) lastRecord.interfaceBoard = InterfaceSerial();
  EvmScriptBoard board(*m.evm);
  // A break step waits for a person; here its row is passed over.
  m.ui.intercept = [&grid](const std::string&) {
    return grid.Cell(grid.Row_, kColStep) == "break";
  };
  ScriptContext run{grid, board, m.ui, m.evm->locale()};
  recorder.Start();
  const ScriptRunHooks hooks{.stop = [&op] { return op.Stopped(); },
                             .onRow =
                                 [&](int row) {
                                   recorder.RowRan(row, !m.evm->shell().RunWithoutUsb);
                                   if (onRow) onRow(m.RowOf(grid, row));
                                 }};
  ScriptResult result;
  try {
    if (maxSeconds > 0) {
      result.timedOut = RunScriptWithin(run, *m.clock, maxSeconds, hooks);
    } else {
      evm::RunScript(run, hooks);
    }
  } catch (...) {
    m.ui.intercept = nullptr;
    throw;
  }
  m.ui.intercept = nullptr;
  result.boardAnswered = !m.evm->shell().RunWithoutUsb;
  result.stopped = op.Stopped();
  for (int r = 1; r <= grid.ScriptLastRow; ++r) result.rows.push_back(m.RowOf(grid, r));
  const VerdictCount verdicts = CountVerdicts(grid);
  result.pass = verdicts.pass;
  result.fail = verdicts.fail;
  recorder.Finish(grid, lastRecord);
  lastRecord.outcome =
      OutcomeOf(lastRecord, result.stopped, !result.boardAnswered, result.timedOut);
  if (result.stopped) {
    lastRecord.error = "stopped";
  } else if (!result.boardAnswered) {
    lastRecord.error = "the interface board stopped answering";
  } else if (result.timedOut) {
    lastRecord.error = "the time limit of " + FormatGeneralInvariant(maxSeconds) + " s ran out";
  }
  return result;
}

std::string Bench::ScriptRecordJson(const ScriptRecordIds& ids) const {
  RunRecord record = impl_->lastRecord;
  record.ids = ids;
  return RunRecordJson(record);
}

void Bench::SaveScriptRecord(const ScriptRecordIds& ids, const std::filesystem::path& json,
                             const std::filesystem::path& junit) const {
  RunRecord record = impl_->lastRecord;
  record.ids = ids;
  const auto check = [](const std::filesystem::path& file, bool written,
                        const std::error_code& ec) {
    if (written) return;
    const std::string name = FileText(file);
    throw FileError(
        IsFileFault(ec) ? FileFaultText(name, ec) : "cannot write '" + name + "': " + ec.message(),
        name, ec);
  };
  std::error_code ec;
  if (!json.empty()) check(json, SaveRunRecordJson(record, json, ec), ec);
  if (!junit.empty()) check(junit, SaveJUnitXml({record}, junit, ec), ec);
}

RunRecord BenchAccess::LastScriptRecord(const Bench& bench) {
  return bench.impl_->lastRecord;
}

void Bench::SaveScriptResults(const std::filesystem::path& file) {
  std::error_code ec;
  if (!SaveResultsFile(impl_->lastScript, file, ec)) {
    const std::string name = FileText(file);
    throw FileError(IsFileFault(ec)
                        ? FileFaultText(name, ec)
                        : "cannot write the results file '" + name + "': " + ec.message(),
                    name, ec);
  }
}

namespace {

std::string ConverterName(Converter which) {
  return which == Converter::Cnv1 ? "CNV1" : "CNV2";
}

std::string DacName(DacChannel channel) {
  return std::string("DAC ") + static_cast<char>('A' + static_cast<int>(channel));
}

std::string Volts(double value) {
  return FormatGeneral(value, NumberLocale::Point()) + " V";
}

}  // namespace

double Bench::ReadConverter(Converter which, Reference reference) {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectInterfaceBoard();
  const BoardResult<double> read = m.evm->calBoard().ReadConverter(which, reference);
  m.ThrowIfFailed(op, read.outcome, "the test board's converter " + ConverterName(which));
  return read.value;
}

double Bench::ReadLoopCurrent() {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectInterfaceBoard();
  const BoardResult<double> read = m.evm->calBoard().MeasureLoopCurrent(Reference::Factory5V);
  m.ThrowIfFailed(op, read.outcome, "the test board's converter CNV2");
  return read.value;
}

void Bench::SetMux(Converter which, MuxInput plus, MuxInput minus) {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectInterfaceBoard();
  m.ThrowIfFailed(op, m.evm->calBoard().Mux(which, plus, minus),
                  "the multiplexer of " + ConverterName(which));
}

double Bench::SetDac(DacChannel channel, double volts, Reference reference, bool autoCal) {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectInterfaceBoard();
  CalibrationBoard& board = m.evm->calBoard();
  const DacResult set = board.SetDacOutput(channel, volts, reference, autoCal);
  const std::string name = DacName(channel);
  op.ThrowIfStopped();
  switch (set.outcome.failure) {
    case BoardFailure::OutOfRange:
      // The Eval Control window's words, then what was out of range.
      throw ParseError(std::string(CalibrationBoard::kOutOfRangeMessage) + "(" + name + ": " +
                       Volts(volts) + "; " + Volts(set.lower) + " to " + Volts(set.upper) +
                       " on this reference)");
    case BoardFailure::ReadBack: {
      const double got = set.readBack.value_or(0);
      throw ReadBackError(name + ": the auto-calibration missed " + Volts(volts) +
                              " by more than " + Volts(CalibrationBoard::kAutoCalTolerance) + ": " +
                              Volts(got) + " read back",
                          ReadBackError::kDac, CalibrationBoard::DacCode(volts, board.VrefVolts),
                          CalibrationBoard::DacCode(got, board.VrefVolts));
    }
    default:
      m.ThrowIfFailed(op, set.outcome,
                      autoCal ? "the test board's " + name + " or the converter reading it"
                              : "the test board's " + name);
  }
  if (!autoCal) return volts;
  return *set.readBack;
}

void Bench::SetSupply(bool on) {
  Impl& m = *impl_;
  Impl::Operation op(m, {});
  m.ConnectInterfaceBoard();
  m.ThrowIfFailed(op, m.evm->calBoard().Supply(on), "the test board's supply switch");
}

void Bench::RequestStop() {
  std::lock_guard lock(impl_->stopMutex);
  impl_->stop.request_stop();
}

void Bench::ClearStop() {
  std::lock_guard lock(impl_->stopMutex);
  impl_->stop = std::stop_source();
}

std::stop_token Bench::StopToken() const {
  return impl_->StopToken();
}

}  // namespace evm
