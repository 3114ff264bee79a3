// SPDX-License-Identifier: GPL-3.0-or-later
// zm5520evm._zm5520evm: evm::Bench for Python. The package around it
// (zm5520evm/__init__.py) adds the reprs and as_dict() of the result types.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench_state.h"
#include "errors.h"
#include "monitor_run.h"
#include "zm5520evm/bench.h"

namespace evm::python {

namespace {

using namespace pybind11::literals;

// help() shows a docstring as it is: paragraphs are wrapped here to the
// width of a terminal, lines indented (examples) are kept.
std::string Doc(std::string_view text) {
  constexpr size_t kWidth = 72;
  std::string out;
  size_t column = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find('\n', pos), text.size());
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty() || line.front() == ' ') {
      if (column > 0) out += '\n';
      out += line;
      out += '\n';
      column = 0;
      continue;
    }
    for (size_t w = 0; w < line.size();) {
      const size_t next = std::min(line.find(' ', w), line.size());
      const std::string_view word = line.substr(w, next - w);
      w = next + 1;
      if (column > 0 && column + 1 + word.size() > kWidth) {
        out += '\n';
        column = 0;
      } else if (column > 0) {
        out += ' ';
        ++column;
      }
      out += word;
      column += word.size();
    }
  }
  if (column > 0) out += '\n';
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// A Python callable kept by a C++ object that may die on any thread: it is
// let go with the GIL held.
std::shared_ptr<py::object> Keep(py::object callable) {
  return std::shared_ptr<py::object>(new py::object(std::move(callable)), [](py::object* o) {
    py::gil_scoped_acquire gil;
    delete o;
  });
}

// One row of measure()'s array; the dtype below names its fields.
struct MeasuredRow {
  double time;
  double busVolts;
  double shuntVolts;
  double amps;
  double watts;
  bool acknowledged;
};

py::dtype MeasuredDtype() {
  return py::dtype(
      py::list(py::make_tuple("time", "bus_volts", "shunt_volts", "amps", "watts", "acknowledged")),
      py::list(py::make_tuple("<f8", "<f8", "<f8", "<f8", "<f8", "?")),
      py::list(py::make_tuple(offsetof(MeasuredRow, time), offsetof(MeasuredRow, busVolts),
                              offsetof(MeasuredRow, shuntVolts), offsetof(MeasuredRow, amps),
                              offsetof(MeasuredRow, watts), offsetof(MeasuredRow, acknowledged))),
      sizeof(MeasuredRow));
}

// The rows without a copy: the array owns the vector.
py::array ArrayOf(std::vector<MeasuredRow> rows) {
  auto* owned = new std::vector<MeasuredRow>(std::move(rows));
  py::capsule base(owned, [](void* p) { delete static_cast<std::vector<MeasuredRow>*>(p); });
  const auto n = static_cast<py::ssize_t>(owned->size());
  return py::array(MeasuredDtype(), {n}, {static_cast<py::ssize_t>(sizeof(MeasuredRow))},
                   owned->data(), base);
}

constexpr long kReservedPasses = 1 << 20;

MonitorLength LengthOf(long passes, double seconds) {
  if (passes < 0)
    throw ParseError("passes must be 0 (no count) or more, not " + std::to_string(passes));
  if (seconds < 0) throw ParseError("seconds must be 0 (no limit) or more");
  return MonitorLength{.passes = passes, .seconds = seconds};
}

py::bytes Bytes(const uint8_t* data, size_t size) {
  return py::bytes(reinterpret_cast<const char*>(data), size);
}

std::vector<std::string> Texts(const py::object& texts) {
  // One text is one command, not a command per character.
  if (py::isinstance<py::str>(texts)) return {texts.cast<std::string>()};
  return texts.cast<std::vector<std::string>>();
}

using State = std::shared_ptr<BenchState>;

State Open(bool simulate, bool fakeClock, const std::vector<std::string>& simFaults, int simBoards,
           double referenceVolts, const std::string& regLink, const std::string& interfaceBoard,
           uint16_t vendorId, const std::optional<std::filesystem::path>& stateFolder,
           int deviceAddress, std::optional<uint16_t> usbAddress, py::object onNotice) {
  if (simFaults.size() > 1) {
    throw ParseError("one simulated fault at a time, not " + std::to_string(simFaults.size()));
  }
  if (!simFaults.empty() && !simulate) {
    throw ParseError("sim_faults works on the simulated EVM only; add simulate=True");
  }
  BenchOptions options{.simulate = simulate,
                       .simulation = {.fakeClock = fakeClock,
                                      .fault = simFaults.empty() ? "" : simFaults[0],
                                      .boards = simBoards,
                                      .referenceVolts = referenceVolts},
                       .regLink = regLink,
                       .interfaceBoard = interfaceBoard,
                       .vendorId = vendorId,
                       .stateFolder = stateFolder,
                       .deviceAddress = deviceAddress,
                       .usbAddress = usbAddress};
  if (onNotice.is_none()) {
    onNotice = py::module_::import("logging").attr("getLogger")("zm5520evm").attr("warning");
  }
  const std::shared_ptr<py::object> notice = Keep(onNotice);
  // A notice comes from inside an operation, with or without the GIL.
  options.onNotice = [notice](const std::string& text) {
    py::gil_scoped_acquire gil;
    try {
      (*notice)(text);
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("zm5520evm on_notice");
    }
  };
  py::dict given("simulate"_a = simulate, "fake_clock"_a = fakeClock, "sim_faults"_a = simFaults,
                 "sim_boards"_a = simBoards, "reference_volts"_a = referenceVolts,
                 "reg_link"_a = regLink, "interface_board"_a = interfaceBoard,
                 "vendor_id"_a = vendorId, "state_folder"_a = stateFolder,
                 "device_address"_a = deviceAddress, "usb_address"_a = usbAddress);
  const bool realTime = !(simulate && fakeClock);
  std::unique_ptr<Bench> bench;
  {
    py::gil_scoped_release released;
    bench = Bench::Open(options);
    if (simulate) {
      // The simulated device starts as a real one does, with no calibration;
      // the main window gives it one when it opens, and so does this, so
      // that a session measures current from its first call.
      try {
        if (const CalibrationRestore done = bench->CalibrateIfBlank();
            done.wasBlank && !done.wrote) {
          options.onNotice(done.message);
        }
      } catch (const Error&) {
        // A simulated fault: the first call that needs the board reports it.
      }
    }
  }
  return std::make_shared<BenchState>(std::move(bench), realTime, std::move(given));
}

py::array Measure(BenchState& s, long passes, double seconds) {
  if (passes == 0 && seconds == 0) {
    throw ParseError("give passes or seconds: measure() returns when the run is over");
  }
  const MonitorLength length = LengthOf(passes, seconds);
  std::vector<MeasuredRow> rows;
  // Room for the count asked, within reason: a long run grows as it reads.
  rows.reserve(static_cast<size_t>(std::min(passes, kReservedPasses)));
  bool uncalibrated = false;
  s.Call([&](Bench& b, CallContext& c) {
    return b.Monitor(length, [&](const Measurement& m) {
      rows.push_back({m.timeSeconds, m.busVolts, m.shuntVolts, m.amperes, m.watts, m.acknowledged});
      if (rows.size() == 1) uncalibrated = m.acknowledged && m.raw.size() > 5 && m.raw[5] == 0;
      c.Tick();
    });
  });
  if (uncalibrated) {
    // The chip computes current and power only with a calibration.
    if (PyErr_WarnEx(PyExc_RuntimeWarning,
                     "register 05h (Full Scale Cal) is 0, so current and power read 0; store a "
                     "calibration with apply_calibration()",
                     1) < 0) {
      throw py::error_already_set();
    }
  }
  return ArrayOf(std::move(rows));
}

void DefineResults(py::module_& m) {
  py::enum_<Reference>(
      m, "Reference",
      Doc("How the converters are read and the DAC is set: the factory coefficients "
          "of the 5 V or 3 V reference, a reference the user gave, or raw codes.")
          .c_str())
      .value("NONE", Reference::None)
      .value("FACTORY_5V", Reference::Factory5V)
      .value("FACTORY_3V", Reference::Factory3V)
      .value("USER", Reference::User)
      .value("DIGITAL_CODES", Reference::DigitalCodes);
  py::enum_<Converter>(m, "Converter", "The test board's two converters.")
      .value("CNV1", Converter::Cnv1)
      .value("CNV2", Converter::Cnv2);
  py::enum_<MuxInput>(m, "MuxInput",
                      "What one converter input is switched to; UNCHANGED leaves it as it is.")
      .value("UNCHANGED", MuxInput::Unchanged)
      .value("OPEN", MuxInput::Open)
      .value("GND", MuxInput::Gnd)
      .value("DAC", MuxInput::Dac);
  py::enum_<DacChannel>(m, "DacChannel", "The test board's DAC outputs.")
      .value("A", DacChannel::A)
      .value("B", DacChannel::B)
      .value("C", DacChannel::C)
      .value("D", DacChannel::D);
  py::enum_<DeviceKind>(m, "DeviceKind", "What a HID device is to the program.")
      .value("OTHER", DeviceKind::Other)
      .value("REG_LINK", DeviceKind::RegLink)
      .value("INTERFACE", DeviceKind::Interface);
  py::enum_<CalibrationRefusal>(m, "CalibrationRefusal",
                                "Which input the initial calibration refused, in the order the "
                                "calibration tab checks them.")
      .value("NONE", CalibrationRefusal::None)
      .value("RSHUNT", CalibrationRefusal::Rshunt)
      .value("MAX_EXPECTED_CURRENT", CalibrationRefusal::MaxExpectedCurrent)
      .value("CURRENT_LSB", CalibrationRefusal::CurrentLsb)
      .value("TOO_LARGE", CalibrationRefusal::TooLarge);

  py::class_<RegisterValue>(m, "RegisterValue", "One register of a read pass.")
      .def_readonly("reg", &RegisterValue::reg, "Register number, 0-7.")
      .def_readonly("name", &RegisterValue::name, "'Config', 'Shunt Voltage', ...")
      .def_readonly("raw", &RegisterValue::raw, "The 16-bit value.")
      .def_readonly("hex", &RegisterValue::hex, "The value as the program shows it: '399F'.")
      .def_readonly("binary", &RegisterValue::binary, "'0011 1001 1001 1111'.")
      .def_readonly("scaled", &RegisterValue::scaled,
                    "Registers 01h-04h: the quantity in `unit`; None for the others.")
      .def_readonly("unit", &RegisterValue::unit, "'V', 'W', 'A' or ''.");
  py::class_<RegisterSnapshot>(m, "RegisterSnapshot",
                               "Registers 00h to the last one of a pass, all acknowledged.")
      .def_readonly("device_address", &RegisterSnapshot::deviceAddress)
      .def_readonly("current_lsb_amps", &RegisterSnapshot::currentLsbAmps,
                    "The scaling the values were scaled with; 0: none.")
      .def_readonly("power_lsb_watts", &RegisterSnapshot::powerLsbWatts)
      .def_readonly("registers", &RegisterSnapshot::registers, "list[RegisterValue], by number.");
  py::class_<WriteResult>(m, "WriteResult", "A register written and read back as the same value.")
      .def_readonly("reg", &WriteResult::reg)
      .def_readonly("wrote", &WriteResult::wrote)
      .def_readonly("read", &WriteResult::read);
  py::class_<CalibrationRestore>(m, "CalibrationRestore",
                                 "What calibrate_if_blank() found in register 05h and did.")
      .def_readonly("was_blank", &CalibrationRestore::wasBlank, "Register 05h read 0.")
      .def_readonly("wrote", &CalibrationRestore::wrote,
                    "The calibration written; 0 when none was.")
      .def_readonly("from_stored_inputs", &CalibrationRestore::fromStoredInputs,
                    "The last session's inputs, not the defaults.")
      .def_readonly("message", &CalibrationRestore::message, "In words; '' when 05h was set.");
  py::class_<CalibrationRequest>(m, "CalibrationRequest",
                                 "The inputs of the initial calibration and the texts kept for "
                                 "later sessions.")
      .def_readonly("rshunt_ohms", &CalibrationRequest::rshuntOhms)
      .def_readonly("max_expected_amps", &CalibrationRequest::maxExpectedAmps)
      .def_readonly("current_lsb_amps", &CalibrationRequest::currentLsbAmps)
      .def_readonly("rshunt_text", &CalibrationRequest::rshuntText)
      .def_readonly("max_expected_current_text", &CalibrationRequest::maxExpectedCurrentText)
      .def_readonly("current_lsb_text", &CalibrationRequest::currentLsbText);
  py::class_<CalibrationRow>(m, "CalibrationRow",
                             "One calculated row as the calibration tab shows it.")
      .def_readonly("key", &CalibrationRow::key, "'max_shunt_voltage', ...")
      .def_readonly("caption", &CalibrationRow::caption, "'Max Shunt Voltage', ...")
      .def_readonly("value", &CalibrationRow::value)
      .def_readonly("text", &CalibrationRow::text, "As the tab shows it.")
      .def_readonly("unit", &CalibrationRow::unit);
  py::class_<CalibrationResult>(
      m, "CalibrationResult",
      Doc("The initial calibration (Bench.calculate); a refused input is in "
          "`refusal` and `refusal_message`, not raised.")
          .c_str())
      .def_property_readonly("ok", &CalibrationResult::Ok, "True when no input was refused.")
      .def_readonly("refusal", &CalibrationResult::refusal)
      .def_readonly("refusal_message", &CalibrationResult::refusalMessage)
      .def_readonly("config", &CalibrationResult::config, "Register 00h the ranges came from.")
      .def_readonly("max_shunt_volts", &CalibrationResult::maxShuntVolts)
      .def_readonly("max_bus_volts", &CalibrationResult::maxBusVolts)
      .def_readonly("max_possible_amps", &CalibrationResult::maxPossibleAmps)
      .def_readonly("max_possible_current_text", &CalibrationResult::maxPossibleCurrentText)
      .def_readonly("min_current_lsb_amps", &CalibrationResult::minCurrentLsbAmps)
      .def_readonly("max_current_lsb_amps", &CalibrationResult::maxCurrentLsbAmps)
      .def_readonly("current_lsb_amps", &CalibrationResult::currentLsbAmps)
      .def_readonly("calibration", &CalibrationResult::calibration, "Register 05h.")
      .def_readonly("power_lsb_watts", &CalibrationResult::powerLsbWatts)
      .def_readonly("max_current_before_overflow_amps",
                    &CalibrationResult::maxCurrentBeforeOverflowAmps)
      .def_readonly("max_current_before_overflow_code",
                    &CalibrationResult::maxCurrentBeforeOverflowCode)
      .def_readonly("max_shunt_before_overflow_volts",
                    &CalibrationResult::maxShuntBeforeOverflowVolts)
      .def_readonly("max_power_watts", &CalibrationResult::maxPowerWatts)
      .def_readonly("overflow_possible", &CalibrationResult::overflowPossible)
      .def_readonly("overflow_note", &CalibrationResult::overflowNote)
      .def_readonly("rows", &CalibrationResult::rows, "list[CalibrationRow], in the tab's order.")
      .def_readonly("request", &CalibrationResult::request);
  py::class_<Measurement>(m, "Measurement", "One pass of the continuous reading.")
      .def_readonly("time", &Measurement::time, "'2026-01-15 09:00:00.000'.")
      .def_readonly("time_seconds", &Measurement::timeSeconds,
                    "The same instant in seconds, for plotting (measure()'s 'time').")
      .def_readonly("acknowledged", &Measurement::acknowledged,
                    "Every register answered; the numbers are 0 otherwise.")
      .def_readonly("bus_volts", &Measurement::busVolts)
      .def_readonly("shunt_volts", &Measurement::shuntVolts)
      .def_readonly("amps", &Measurement::amperes)
      .def_readonly("watts", &Measurement::watts)
      .def_readonly("raw", &Measurement::raw, "Registers 00h-05h as read.")
      .def_readonly("current_lsb_amps", &Measurement::currentLsbAmps,
                    "The scaling, and so the resolution, of `amps`; 0: none.")
      .def_readonly("power_lsb_watts", &Measurement::powerLsbWatts);
  py::class_<RunSummary>(m, "RunSummary", "How a monitor run ended.")
      .def_readonly("passes", &RunSummary::passes)
      .def_readonly("unacknowledged", &RunSummary::unacknowledged,
                    "Passes in which not every register answered.")
      .def_readonly("stopped", &RunSummary::stopped, "Ended by a stop request.");
  py::class_<LogSummary>(m, "LogSummary", "How a log run ended.")
      .def_readonly("file", &LogSummary::file)
      .def_readonly("passes", &LogSummary::passes)
      .def_readonly("logged", &LogSummary::logged, "Passes written to the file.")
      .def_readonly("unacknowledged", &LogSummary::unacknowledged)
      .def_readonly("stopped", &LogSummary::stopped);
  py::class_<DeviceInfo>(m, "DeviceInfo", "One HID device, the boards told apart.")
      .def_readonly("path", &DeviceInfo::path)
      .def_readonly("vendor_id", &DeviceInfo::vendorId, "None when the system did not tell.")
      .def_readonly("product_id", &DeviceInfo::productId)
      .def_readonly("serial", &DeviceInfo::serial)
      .def_readonly("product", &DeviceInfo::product)
      .def_readonly("kind", &DeviceInfo::kind)
      .def_readonly("kind_name", &DeviceInfo::kindName, "'register link', 'interface board' or ''.")
      .def_readonly("openable", &DeviceInfo::openable)
      .def_readonly("reason", &DeviceInfo::reason, "Why it cannot be opened.")
      .def_readonly("selected", &DeviceInfo::selected,
                    "The board a session takes by the stored or given choice.");
  py::class_<MnemonicReply>(m, "MnemonicReply",
                            "One mnemonic command and the interface board's answer.")
      .def_readonly("text", &MnemonicReply::text)
      .def_property_readonly(
          "command",
          [](const MnemonicReply& r) { return Bytes(r.command.data(), r.command.size()); },
          "The 32-byte command report.")
      .def_property_readonly(
          "answer", [](const MnemonicReply& r) { return Bytes(r.answer.data(), r.answer.size()); },
          "The 32-byte answer report.")
      .def_property_readonly(
          "reads", [](const MnemonicReply& r) { return Bytes(r.reads.data(), r.reads.size()); },
          "The bytes read.")
      .def_property_readonly(
          "acks", [](const MnemonicReply& r) { return Bytes(r.acks.data(), r.acks.size()); },
          "The acknowledge bytes; 00 is an acknowledge.")
      .def_readonly("answered", &MnemonicReply::answered, "The board answered at all.")
      .def_readonly("acknowledged", &MnemonicReply::acknowledged, "Every acknowledge is 00.");
  py::class_<ScriptRowResult>(m, "ScriptRowResult", "One script row after its run.")
      .def_readonly("row", &ScriptRowResult::row)
      .def_readonly("description", &ScriptRowResult::description)
      .def_readonly("step", &ScriptRowResult::step)
      .def_readonly("low", &ScriptRowResult::low)
      .def_readonly("high", &ScriptRowResult::high)
      .def_readonly("result", &ScriptRowResult::result)
      .def_readonly("verdict", &ScriptRowResult::verdict, "'PASS', 'FAIL' or ''.")
      .def_readonly("skipped", &ScriptRowResult::skipped, "A break step, which needs a person.");
  py::class_<ScriptResult>(m, "ScriptResult", "The rows of a script run and its verdict.")
      .def_readonly("rows", &ScriptResult::rows, "list[ScriptRowResult].")
      .def_readonly("pass_count", &ScriptResult::pass)
      .def_readonly("fail_count", &ScriptResult::fail)
      .def_readonly("stopped", &ScriptResult::stopped)
      .def_readonly("timed_out", &ScriptResult::timedOut, "Ended by max_seconds.")
      .def_readonly("board_answered", &ScriptResult::boardAnswered,
                    "False: the interface board stopped answering.")
      .def_property_readonly("passed", &ScriptResult::Passed,
                             "No FAIL, the board answered, and the run was neither stopped nor "
                             "timed out.");
}

constexpr const char* kBenchDoc =
    R"(One session with the ZM5520/1 EVM: the register link, the interface board
and the test board behind it.

Get one from zm5520evm.open(). Every call blocks until it is done and
raises a zm5520evm.Error subclass when it fails; a result is never a
failure in disguise. While a call waits on the board the GIL is released,
so other Python threads run, and Ctrl-C (KeyboardInterrupt) ends the call
within 0.2 s, leaving the bench usable.

A Bench is a context manager; close() (or the end of the `with` block)
releases the boards, and every later call raises zm5520evm.Error.

    with zm5520evm.open(simulate=True) as bench:
        print(bench.read_registers().registers[2].scaled, "V")
        amps = bench.measure(passes=10)["amps"]

Use a Bench from one thread at a time; request_stop() may come from any.)";

constexpr const char* kOpenDoc = R"(Opens a session with the EVM and returns its Bench.

simulate: the simulated EVM (both boards and the device, in the process)
    instead of USB boards.
fake_clock: with simulate, waits pass at once on a virtual clock, so the
    100 ms settle time of each register and the 1 s time-out of a silent
    board cost nothing; False waits in real time, as the boards do.
sim_faults: with simulate, at most one fault a board shows for the whole
    session, as BOARD:FAULT: BOARD 'reglink' or 'interface', FAULT one of
    no-board, no-reply, wrong-reply-code, non-zero-status, write-failure,
    read-failure, wrong-echo, garbage, unplug, no-permission
    (e.g. ["reglink:no-reply"]).
sim_boards: with simulate, the number of boards of each kind.
reference_volts: with simulate, the test board's reference jumper (5 or 3).
reg_link, interface_board: the board of each kind to take, by serial number
    or path; empty takes the stored choice, else the first one found.
vendor_id: the USB vendor id of the boards.
state_folder: where the calibration, board choice and USB address of
    earlier sessions are kept; None touches no state file.
device_address: the ZM5520/1's 7-bit I2C address.
usb_address: the interface board's product id for this session; None takes
    the stored one.
on_notice: called with each notice (a state file that cannot be read, a
    stored choice that is ignored); None logs them on the 'zm5520evm' logger.

Opening a real bench touches no board: the first call that needs one finds
it. A simulated device starts, as a real one does, with 0 in register 05h;
opening it writes the stored (or default) calibration, as the main window
does, so that current and power read at once.)";

}  // namespace

void DefineModule(py::module_& m) {
  m.doc() = "The compiled part of zm5520evm; import zm5520evm instead.";
  DefineErrors(m);
  DefineResults(m);

  py::class_<MonitorRun, std::shared_ptr<MonitorRun>>(
      m, "Monitor",
      Doc("The passes of a continuous reading, one Measurement per iteration, read as the loop "
          "asks for them.\n\nThe bench is taken until the run ends, the loop is left or close() is "
          "called; `summary` is the RunSummary after the last pass.")
          .c_str())
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &MonitorRun::Next)
      .def("close", &MonitorRun::Close, "Ends the run at the pass in progress; the bench is free.")
      .def("__enter__", [](const std::shared_ptr<MonitorRun>& self) { return self; })
      .def("__exit__", [](MonitorRun& r, const py::args&) { r.Close(); })
      .def_property_readonly("summary", &MonitorRun::Summary,
                             "The RunSummary once the run has ended by its length; else None.");

  py::class_<BenchState, State> bench(m, "Bench", kBenchDoc);
  bench.def_static("version", &Bench::Version, "The program's version, as zm5520evm.__version__.")
      .def_property_readonly(
          "options", [](const BenchState& s) { return s.Options(); },
          "The options the bench was opened with, as a dict of open()'s arguments.")
      .def_property_readonly("closed", &BenchState::Closed)
      .def("close", &BenchState::Close,
           "Releases the boards. Ends a monitor() in progress; later calls raise Error.")
      .def("__enter__", [](const State& self) { return self; })
      .def("__exit__", [](BenchState& s, const py::args&) { s.Close(); })
      .def(
          "devices",
          [](BenchState& s) { return s.Call([](Bench& b, CallContext&) { return b.Devices(); }); },
          Doc("Every HID device present (list[DeviceInfo]), the boards told apart. Opens nothing "
              "for "
              "good.")
              .c_str())
      .def(
          "read_registers",
          [](BenchState& s, bool engineering) {
            return s.Call(
                [engineering](Bench& b, CallContext&) { return b.ReadRegisters(engineering); });
          },
          py::kw_only(), "engineering"_a = false,
          Doc("Reads registers 00h-05h (00h-07h with engineering) as a RegisterSnapshot, scaled by "
              "the "
              "stored calibration or the one given to use_scaling().")
              .c_str())
      .def(
          "write_register",
          [](BenchState& s, int reg, long value) {
            if (value < 0 || value > 0xFFFF) {
              throw ParseError("value " + std::to_string(value) +
                               " is not a 16-bit register value (0-65535)");
            }
            return s.Call([reg, value](Bench& b, CallContext&) {
              return b.WriteRegister(reg, static_cast<uint16_t>(value));
            });
          },
          "reg"_a, "value"_a,
          Doc("Writes `value` to register `reg` and reads it back: a WriteResult, or ReadBackError "
              "when it reads back otherwise.")
              .c_str())
      .def(
          "read_config",
          [](BenchState& s) {
            return s.Call([](Bench& b, CallContext&) { return b.ReadConfig(); });
          },
          "Register 00h, which sets the ranges the calibration works on.")
      .def_static(
          "calculate",
          [](double rshuntOhms, double maxExpectedAmps, double currentLsbAmps, uint16_t config,
             std::string rshuntText, std::string maxExpectedCurrentText,
             std::string currentLsbText) {
            return Bench::Calculate(
                {rshuntOhms, maxExpectedAmps, currentLsbAmps, std::move(rshuntText),
                 std::move(maxExpectedCurrentText), std::move(currentLsbText)},
                config);
          },
          py::kw_only(), "rshunt_ohms"_a, "max_expected_amps"_a, "current_lsb_amps"_a, "config"_a,
          "rshunt_text"_a = "", "max_expected_current_text"_a = "", "current_lsb_text"_a = "",
          Doc("The initial calibration (CalibrationResult) on the ranges register 00h `config` "
              "sets "
              "(read_config() gives the device's). Pure: no board, no file. A refused input is in "
              "the result's refusal, not raised. The texts, when given, are what "
              "apply_calibration() "
              "keeps for later sessions.")
              .c_str())
      .def(
          "calibrate_if_blank",
          [](BenchState& s) {
            return s.Call([](Bench& b, CallContext&) { return b.CalibrateIfBlank(); });
          },
          "A device after power-up has 0 in register 05h and measures no current: writes the "
          "calibration of the stored inputs (or the defaults) then, as the main window does "
          "when it first opens. A CalibrationRestore. A simulated bench does it when it opens.")
      .def(
          "apply_calibration",
          [](BenchState& s, const CalibrationResult& c) {
            s.Call([&c](Bench& b, CallContext&) { b.ApplyCalibration(c); });
          },
          "calibration"_a,
          Doc("Writes register 05h (and 00h when the calibration's config differs from the "
              "device's), "
              "checks both, and keeps the inputs in the state folder so later sessions scale by "
              "them. "
              "ParseError for a refused calibration.")
              .c_str())
      .def(
          "use_scaling",
          [](BenchState& s, double currentLsbAmps, double powerLsbWatts) {
            s.Call([=](Bench& b, CallContext&) { b.UseScaling(currentLsbAmps, powerLsbWatts); });
          },
          py::kw_only(), "current_lsb_amps"_a, "power_lsb_watts"_a,
          "Scale by these from now on instead of the stored calibration.")
      .def(
          "measure_once",
          [](BenchState& s) {
            return s.Call([](Bench& b, CallContext&) { return b.MeasureOnce(); });
          },
          "One pass as a Measurement; NotAcknowledgedError when the device gave no full pass.")
      .def(
          "monitor",
          [](const State& s, long passes, double seconds) {
            return std::make_shared<MonitorRun>(s, LengthOf(passes, seconds));
          },
          py::kw_only(), "passes"_a = 0, "seconds"_a = 0.0,
          Doc("The continuous reading as an iterator of Measurement, each pass read when the loop "
              "asks for it, for `passes` passes or `seconds` seconds (both 0: until the loop is "
              "left). A pass the device did not fully give comes with acknowledged False; a silent "
              "register link raises BoardSilentError.\n\n"
              "    for m in bench.monitor(seconds=10):\n"
              "        print(m.time, m.amps)")
              .c_str())
      .def(
          "monitor_batch",
          [](BenchState& s, long passes, double seconds) {
            const MonitorLength length = LengthOf(passes, seconds);
            return s.Call([&](Bench& b, CallContext& c) {
              std::vector<Measurement> passesRead;
              b.Monitor(length, [&](const Measurement& pass) {
                passesRead.push_back(pass);
                c.Tick();
              });
              return passesRead;
            });
          },
          py::kw_only(), "passes"_a = 0, "seconds"_a = 0.0,
          "The passes of a continuous reading as a list of Measurement, once the run is over.")
      .def("measure", &Measure, py::kw_only(), "passes"_a = 0, "seconds"_a = 0.0,
           Doc("A continuous reading of `passes` passes or `seconds` seconds as a numpy structured "
               "array, one row per pass, with the fields time (seconds, as "
               "Measurement.time_seconds), "
               "bus_volts, shunt_volts, amps, watts (float64) and acknowledged (bool; the numbers "
               "of "
               "a pass not acknowledged are 0). A device without a calibration (register 05h is 0) "
               "reads 0 A and 0 W, which a RuntimeWarning says:\n\n"
               "    data = bench.measure(passes=100)\n"
               "    print(data['amps'].mean(), data['watts'].max())")
               .c_str())
      .def(
          "log",
          [](BenchState& s, const std::filesystem::path& file, long passes, double seconds,
             py::object onPass) {
            if (passes == 0 && seconds == 0) throw ParseError("give passes or seconds");
            const MonitorLength length = LengthOf(passes, seconds);
            return s.Call([&](Bench& b, CallContext& c) {
              return b.Log(file, length, [&](const Measurement& pass) {
                if (!onPass.is_none()) c.Invoke(onPass, pass);
                c.Tick();
              });
            });
          },
          "file"_a, py::kw_only(), "passes"_a = 0, "seconds"_a = 0.0, "on_pass"_a = py::none(),
          Doc("Reads continuously into the log file of the main window, for `passes` passes or "
              "`seconds` seconds; only fully acknowledged passes are written. on_pass(Measurement) "
              "is called for every pass. Returns a LogSummary. A file marked read-only, a folder "
              "or "
              "a device is refused (FileError) before any board is touched.")
              .c_str())
      .def(
          "save_registers",
          [](BenchState& s, const std::filesystem::path& file) {
            return s.Call([&](Bench& b, CallContext&) { return b.SaveRegisters(file); });
          },
          "file"_a,
          Doc("Saves the registers into a register file (one decimal value per line); returns the "
              "values saved.")
              .c_str())
      .def(
          "load_registers",
          [](BenchState& s, const std::filesystem::path& file) {
            return s.Call([&](Bench& b, CallContext&) { return b.LoadRegisters(file); });
          },
          "file"_a,
          Doc("Writes the registers a register file changes; returns the file's values. Nothing is "
              "written when the file is not one (ParseError).")
              .c_str())
      .def(
          "send",
          [](BenchState& s, const py::object& texts, py::object onReply) {
            const std::vector<std::string> commands = Texts(texts);
            return s.Call([&](Bench& b, CallContext& c) {
              return b.Send(commands, [&](const MnemonicReply& r) {
                if (!onReply.is_none()) c.Invoke(onReply, r);
                c.Tick();
              });
            });
          },
          "texts"_a, py::kw_only(), "on_reply"_a = py::none(),
          Doc("Sends each mnemonic text (a str or a list of them) to the interface board and "
              "returns "
              "a MnemonicReply for each. ParseError before anything is sent when one does not "
              "parse; "
              "BoardSilentError at the first one unanswered. on_reply(MnemonicReply) is called as "
              "each answer comes, the unanswered one too.")
              .c_str())
      .def_static(
          "encode",
          [](const std::string& text) {
            const auto report = Bench::Encode(text);
            return Bytes(report.data(), report.size());
          },
          "text"_a,
          Doc("The 32-byte command report a mnemonic text makes as a session's first command; no "
              "board. ParseError when it does not parse.")
              .c_str())
      .def(
          "run_script",
          [](BenchState& s, const std::filesystem::path& file, double maxSeconds,
             py::object onRow) {
            return s.Call([&](Bench& b, CallContext& c) {
              return b.RunScript(file, maxSeconds, [&](const ScriptRowResult& r) {
                if (!onRow.is_none()) c.Invoke(onRow, r);
                c.Tick();
              });
            });
          },
          "file"_a, py::kw_only(), "max_seconds"_a = 0.0, "on_row"_a = py::none(),
          Doc("Runs a script file (four quoted fields per line) as the script window does and "
              "returns a ScriptResult. max_seconds (0: none) ends the run with the step in "
              "progress. "
              "on_row(ScriptRowResult) is called after each row. A break step is skipped.")
              .c_str())
      .def(
          "save_script_results",
          [](BenchState& s, const std::filesystem::path& file) {
            s.Call([&](Bench& b, CallContext&) { b.SaveScriptResults(file); });
          },
          "file"_a, "Writes the rows of the last run_script() as a results file.")
      .def(
          "read_converter",
          [](BenchState& s, Converter which, Reference reference) {
            return s.Call(
                [=](Bench& b, CallContext&) { return b.ReadConverter(which, reference); });
          },
          "which"_a, "reference"_a = Reference::Factory5V,
          Doc("Reads a converter of the test board: volts, or the signed code with "
              "Reference.DIGITAL_CODES.")
              .c_str())
      .def(
          "read_loop_current",
          [](BenchState& s) {
            return s.Call([](Bench& b, CallContext&) { return b.ReadLoopCurrent(); });
          },
          "The 4-20 mA loop in amperes; on the 5 V reference only.")
      .def(
          "set_mux",
          [](BenchState& s, Converter which, MuxInput plus, MuxInput minus) {
            s.Call([=](Bench& b, CallContext&) { b.SetMux(which, plus, minus); });
          },
          "which"_a, "plus"_a = MuxInput::Unchanged, "minus"_a = MuxInput::Unchanged,
          "Switches the inputs of a converter; MuxInput.UNCHANGED leaves one as it is.")
      .def(
          "set_dac",
          [](BenchState& s, DacChannel channel, double volts, Reference reference, bool autoCal) {
            return s.Call([=](Bench& b, CallContext&) {
              return b.SetDac(channel, volts, reference, autoCal);
            });
          },
          "channel"_a, "volts"_a, "reference"_a = Reference::Factory5V, py::kw_only(),
          "auto_cal"_a = false,
          Doc("Sets a DAC output. With auto_cal the output is read back and corrected, and the "
              "value "
              "read back is returned; otherwise the setting.")
              .c_str())
      .def(
          "set_supply",
          [](BenchState& s, bool on) { s.Call([on](Bench& b, CallContext&) { b.SetSupply(on); }); },
          "on"_a, "Switches the device's supply (Vdut) on or off.")
      .def(
          "request_stop",
          [](BenchState& s) {
            if (Bench* b = s.Peek()) b->RequestStop();
          },
          Doc("Ends the operation in progress (in another thread) at its next pass, row or wait, "
              "and "
              "every later one, until clear_stop(). May be called from any thread.")
              .c_str())
      .def(
          "clear_stop",
          [](BenchState& s) {
            if (Bench* b = s.Peek()) b->ClearStop();
          },
          "Lets operations run again after request_stop().");

  m.def("open", &Open, py::kw_only(), "simulate"_a = false, "fake_clock"_a = true,
        "sim_faults"_a = std::vector<std::string>{}, "sim_boards"_a = 1, "reference_volts"_a = 5.0,
        "reg_link"_a = "", "interface_board"_a = "", "vendor_id"_a = kDefaultVendorId,
        "state_folder"_a = py::none(), "device_address"_a = kDefaultDeviceAddress,
        "usb_address"_a = py::none(), "on_notice"_a = py::none(), kOpenDoc);
}

}  // namespace evm::python

PYBIND11_MODULE(_zm5520evm, m) {
  evm::python::DefineModule(m);
}
