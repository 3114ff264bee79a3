// SPDX-License-Identifier: GPL-3.0-or-later
// The C interface over evm::Bench: every entry point catches everything, so
// no exception crosses into a C caller, and owns nothing of the caller's.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#ifndef _WIN32
#include <dlfcn.h>
#endif
#include <stop_token>
#include <string_view>
#include <vector>

#include "acquisition/statistics.h"
#include "api/c_api_support.h"
#include "api/run_statistics.h"
#include "common/utf8_path.h"
#include "common/zoned_time.h"
#include "shell/state_folder.h"
#include "zm5520evm/zm5520evm_version.h"

using evm::Bench;
using evm::capi::BenchCore;
using evm::capi::CopyText;
using evm::capi::ErrorRecord;
using evm::capi::Fail;
using evm::capi::Failure;
using evm::capi::FailWith;
using evm::capi::Fit;

namespace {

// Where zm_options ended in its first version: the least a caller's struct holds.
constexpr size_t kOptionsSize = offsetof(zm_options, notice_user) + sizeof(void*);
// Where it ends in this one; a caller's struct may end before or after.
constexpr size_t kOptionsSizeNow = offsetof(zm_options, calibrate_if_blank) + sizeof(int32_t);

zm_options DefaultOptions() {
  zm_options o{};
  o.struct_size = sizeof(zm_options);
  o.fake_clock = 1;
  o.sim_boards = 1;
  o.reference_volts = 5.0;
  o.vendor_id = evm::kDefaultVendorId;
  o.device_address = evm::kDefaultDeviceAddress;
  o.usb_address = -1;
  o.sim_frame_ms = 1.0;
  o.calibrate_if_blank = 1;
  return o;
}

[[noreturn]] void Refuse(zm_status status, const std::string& text) {
  throw Failure{status, text};
}

template <typename T>
T& Out(T* pointer, const char* name) {
  if (!pointer) Refuse(ZM_ERR_INVALID_ARGUMENT, std::string(name) + " is NULL");
  return *pointer;
}

std::string Text(const char* text, const char* name) {
  if (!text) Refuse(ZM_ERR_INVALID_ARGUMENT, std::string(name) + " is NULL");
  return text;
}

// A fixed field of the caller's, which need not hold a NUL.
template <size_t N>
std::string Field(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

std::filesystem::path PathOf(const char* file) {
  return evm::PathFromUtf8(Text(file, "file"));
}

// NULL as no id: a record keeps it as null.
evm::ScriptRecordIds IdsOf(const char* dutId, const char* stationId, const char* operatorName) {
  return {dutId ? dutId : "", stationId ? stationId : "", operatorName ? operatorName : ""};
}

// A call that needs no bench: its failures are the thread's.
template <typename Op>
zm_status Static(Op&& op) noexcept {
  try {
    op();
    return ZM_OK;
  } catch (...) {
    return Fail(nullptr, std::current_exception());
  }
}

// A call on the bench: it is taken for the call's length (or refused), and
// the call's stop is used up when it gives it back.
template <typename Op>
zm_status Call(zm_bench* handle, Op&& op) noexcept {
  if (!handle || !handle->core) {
    return FailWith(nullptr, ZM_ERR_INVALID_ARGUMENT, "bench is NULL");
  }
  BenchCore& core = *handle->core;
  if (const zm_status taken = core.Take(nullptr); taken != ZM_OK) return taken;
  zm_status status = ZM_OK;
  try {
    op(*core.bench, core);
  } catch (...) {
    status = Fail(&core, std::current_exception());
  }
  core.Release();
  return status;
}

evm::MonitorLength LengthOf(int64_t passes, double seconds) {
  if (passes < 0) {
    Refuse(ZM_ERR_INVALID_ARGUMENT,
           "passes must be 0 (no count) or more, not " + std::to_string(passes));
  }
  if (!(seconds >= 0)) Refuse(ZM_ERR_INVALID_ARGUMENT, "seconds must be 0 (no limit) or more");
  return evm::MonitorLength{.passes = static_cast<long>(passes), .seconds = seconds};
}

// A list into the caller's array; ZM_ERR_BUFFER_TOO_SMALL (with the count
// needed) when it does not fit, and then nothing is copied.
template <typename T, typename C, typename Convert>
void CopyList(const std::vector<T>& from, C* to, size_t capacity, size_t* count,
              Convert&& convert) {
  Out(count, "count") = from.size();
  if (from.size() > capacity) {
    Refuse(ZM_ERR_BUFFER_TOO_SMALL,
           std::to_string(from.size()) + " entries, room for " + std::to_string(capacity));
  }
  if (!from.empty() && !to) Refuse(ZM_ERR_INVALID_ARGUMENT, "the array is NULL");
  for (size_t i = 0; i < from.size(); ++i) convert(from[i], to[i]);
}

// The values of a save or load, which is done whatever room the caller gave.
void CopyValues(const std::vector<uint16_t>& values, uint16_t* to, size_t capacity, size_t* count) {
  Out(count, "count") = values.size();
  if (to) std::copy_n(values.begin(), std::min(capacity, values.size()), to);
}

zm_calibration_result ToC(const evm::CalibrationResult& r) {
  zm_calibration_result c{};
  c.refusal = static_cast<int32_t>(r.refusal);
  c.config = r.config;
  Fit(c.refusal_message, r.refusalMessage);
  c.max_shunt_volts = r.maxShuntVolts;
  c.max_bus_volts = r.maxBusVolts;
  c.max_possible_amps = r.maxPossibleAmps;
  Fit(c.max_possible_current_text, r.maxPossibleCurrentText);
  c.min_current_lsb_amps = r.minCurrentLsbAmps;
  c.max_current_lsb_amps = r.maxCurrentLsbAmps;
  c.current_lsb_amps = r.currentLsbAmps;
  c.calibration = r.calibration;
  c.overflow_possible = r.overflowPossible ? 1 : 0;
  c.power_lsb_watts = r.powerLsbWatts;
  c.max_current_before_overflow_amps = r.maxCurrentBeforeOverflowAmps;
  c.max_current_before_overflow_code = r.maxCurrentBeforeOverflowCode;
  c.max_shunt_before_overflow_volts = r.maxShuntBeforeOverflowVolts;
  c.max_power_watts = r.maxPowerWatts;
  Fit(c.overflow_note, r.overflowNote);
  const size_t rows = std::min<size_t>(r.rows.size(), ZM_CALIBRATION_ROWS);
  c.row_count = static_cast<int32_t>(rows);
  for (size_t i = 0; i < rows; ++i) {
    const evm::CalibrationRow& row = r.rows[i];
    zm_calibration_row& out = c.rows[i];
    Fit(out.key, row.key);
    Fit(out.caption, row.caption);
    out.value = row.value;
    Fit(out.text, row.text);
    Fit(out.unit, row.unit);
  }
  c.request.rshunt_ohms = r.request.rshuntOhms;
  c.request.max_expected_amps = r.request.maxExpectedAmps;
  c.request.current_lsb_amps = r.request.currentLsbAmps;
  Fit(c.request.rshunt_text, r.request.rshuntText);
  Fit(c.request.max_expected_current_text, r.request.maxExpectedCurrentText);
  Fit(c.request.current_lsb_text, r.request.currentLsbText);
  return c;
}

evm::CalibrationRequest FromC(const zm_calibration_request& q) {
  return evm::CalibrationRequest{.rshuntOhms = q.rshunt_ohms,
                                 .maxExpectedAmps = q.max_expected_amps,
                                 .currentLsbAmps = q.current_lsb_amps,
                                 .rshuntText = Field(q.rshunt_text),
                                 .maxExpectedCurrentText = Field(q.max_expected_current_text),
                                 .currentLsbText = Field(q.current_lsb_text)};
}

void ToC(const evm::ScriptRowResult& r, zm_script_row& out) {
  out = zm_script_row{};
  out.row = r.row;
  out.skipped = r.skipped ? 1 : 0;
  bool whole = Fit(out.description, r.description);
  whole = Fit(out.step, r.step) && whole;
  whole = Fit(out.low, r.low) && whole;
  whole = Fit(out.high, r.high) && whole;
  whole = Fit(out.result, r.result) && whole;
  whole = Fit(out.verdict, r.verdict) && whole;
  out.truncated = whole ? 0 : 1;
}

// One command per line; a last newline adds none, a carriage return before
// it is the line's end.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

template <typename E>
E EnumOf(int32_t value, int32_t last, const char* name) {
  if (value < 0 || value > last) {
    Refuse(ZM_ERR_INVALID_ARGUMENT, std::string(name) + " " + std::to_string(value) +
                                        " is not one of 0-" + std::to_string(last));
  }
  return static_cast<E>(value);
}

const ErrorRecord* RecordFor(const zm_bench* bench, ErrorRecord& copy) {
  if (!bench || !bench->core) return &evm::capi::ThreadError();
  std::lock_guard lock(bench->core->errorMutex);
  copy = bench->core->error;
  return &copy;
}

}  // namespace

namespace {

zm_quantity_statistics QuantityToC(const evm::QuantityStatistics& q) {
  return {q.samples, q.min, q.mean, q.max, q.stdDev, q.peakToPeak};
}

// `bench`: the times are the bench's own, told to C callers as epoch
// seconds; otherwise they are the caller's and go back as they came.
void StatisticsToC(const evm::RunStatistics& r, zm_statistics& out, bool bench) {
  const uint32_t size = out.struct_size;
  out = zm_statistics{};
  out.struct_size = size;
  out.samples = r.samples;
  out.lost = r.lost;
  out.seconds = r.seconds;
  out.first_time_epoch_s =
      bench && r.samples > 0 ? evm::EpochSecondsOf(r.firstTimeSeconds) : r.firstTimeSeconds;
  out.bus_volts = QuantityToC(r.busVolts);
  out.shunt_volts = QuantityToC(r.shuntVolts);
  out.amps = QuantityToC(r.amps);
  out.watts = QuantityToC(r.watts);
  out.charge_amp_seconds = r.chargeAmpSeconds;
  out.charge_mah = r.chargeMah;
  out.energy_joules = r.energyJoules;
  out.energy_wh = r.energyWh;
}

zm_statistics& StatisticsOut(zm_statistics* stats) {
  zm_statistics& out = Out(stats, "stats");
  if (out.struct_size != sizeof(zm_statistics)) {
    Refuse(ZM_ERR_INVALID_ARGUMENT, "stats->struct_size must be sizeof(zm_statistics)");
  }
  return out;
}

}  // namespace

namespace {

// Where this library lies, which in a build tree is where evmctl lies: so
// both take the same state folder. Empty where the system does not say,
// as ExecutableFolder is on Windows.
std::filesystem::path LibraryFolder() {
#ifdef _WIN32
  return {};
#else
  static const char kHere = 0;
  Dl_info info{};
  if (dladdr(&kHere, &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  const auto file = std::filesystem::canonical(info.dli_fname, ec);
  return ec ? std::filesystem::path() : file.parent_path();
#endif
}

}  // namespace

extern "C" {

ZM_API const char* zm_status_name(zm_status status) {
  switch (status) {
    case ZM_OK: return "ZM_OK";
    case ZM_DONE: return "ZM_DONE";
    case ZM_TIMEOUT: return "ZM_TIMEOUT";
    case ZM_ERR_NO_BOARD: return "ZM_ERR_NO_BOARD";
    case ZM_ERR_BOARD_NOT_OPENABLE: return "ZM_ERR_BOARD_NOT_OPENABLE";
    case ZM_ERR_BOARD_SILENT: return "ZM_ERR_BOARD_SILENT";
    case ZM_ERR_NOT_ACKNOWLEDGED: return "ZM_ERR_NOT_ACKNOWLEDGED";
    case ZM_ERR_READ_BACK: return "ZM_ERR_READ_BACK";
    case ZM_ERR_PARSE: return "ZM_ERR_PARSE";
    case ZM_ERR_FILE: return "ZM_ERR_FILE";
    case ZM_ERR_CANCELLED: return "ZM_ERR_CANCELLED";
    case ZM_ERR_BUSY: return "ZM_ERR_BUSY";
    case ZM_ERR_INVALID_ARGUMENT: return "ZM_ERR_INVALID_ARGUMENT";
    case ZM_ERR_BUFFER_TOO_SMALL: return "ZM_ERR_BUFFER_TOO_SMALL";
    case ZM_ERR_INTERNAL: return "ZM_ERR_INTERNAL";
    case ZM_ERR_FAILED: return "ZM_ERR_FAILED";
    default: return "ZM_UNKNOWN";
  }
}

ZM_API const char* zm_version(void) {
  return ZM5520EVM_VERSION_STRING;
}

ZM_API void zm_version_numbers(int32_t* major, int32_t* minor, int32_t* patch) {
  if (major) *major = ZM5520EVM_VERSION_MAJOR;
  if (minor) *minor = ZM5520EVM_VERSION_MINOR;
  if (patch) *patch = ZM5520EVM_VERSION_PATCH;
}

ZM_API int32_t zm_check_version(int32_t major, int32_t minor) {
  return major == ZM5520EVM_VERSION_MAJOR && minor >= 0 && minor <= ZM5520EVM_VERSION_MINOR ? 1 : 0;
}

ZM_API zm_status zm_default_state_folder(char* folder, size_t capacity, size_t* needed) {
  std::string text;
  if (const zm_status s = Static([&] {
        const evm::StateFolderChoice choice =
            evm::ChooseStateFolder(std::nullopt, LibraryFolder(), evm::UserConfigFolder());
        if (!choice.problem.empty()) Refuse(ZM_ERR_FILE, choice.problem);
        text = evm::Utf8FromPath(choice.folder);
      });
      s != ZM_OK) {
    return s;
  }
  return CopyText(text, folder, capacity, needed);
}

ZM_API zm_status zm_options_init(zm_options* options) {
  return Static([&] { Out(options, "options") = DefaultOptions(); });
}

ZM_API zm_status zm_open(const zm_options* options, zm_bench** bench) {
  if (bench) *bench = nullptr;
  return Static([&] {
    const zm_options& o = Out(options, "options");
    zm_bench*& result = Out(bench, "bench");
    if (o.struct_size < kOptionsSize) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "options.struct_size is " + std::to_string(o.struct_size) +
                                          ": fill the options with zm_options_init()");
    }
    const std::string fault = Field(o.sim_fault);
    if (!fault.empty() && !o.simulate) {
      Refuse(ZM_ERR_PARSE, "a simulated fault works on the simulated EVM only; set simulate");
    }
    if (o.vendor_id < 0 || o.vendor_id > 0xFFFF) {
      Refuse(ZM_ERR_INVALID_ARGUMENT,
             "vendor_id " + std::to_string(o.vendor_id) + " is not a USB vendor id 0-65535");
    }
    if (o.usb_address < -1 || o.usb_address > 0xFFFF) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "usb_address " + std::to_string(o.usb_address) +
                                          " is neither -1 (the stored one) nor 0-65535");
    }
    if (o.device_address < 0) {
      Refuse(ZM_ERR_INVALID_ARGUMENT,
             "device_address " + std::to_string(o.device_address) + " is negative");
    }
    auto core = std::make_shared<BenchCore>();
    core->options = DefaultOptions();
    std::memcpy(&core->options, &o, std::min<size_t>(o.struct_size, kOptionsSizeNow));
    core->options.struct_size = sizeof(zm_options);
    const std::string load = Field(core->options.sim_load);
    if (!load.empty() && !o.simulate) {
      Refuse(ZM_ERR_PARSE, "a simulated load works on the simulated EVM only; set simulate");
    }
    evm::BenchOptions b;
    b.simulate = o.simulate != 0;
    b.simulation.fakeClock = o.fake_clock != 0;
    b.simulation.fault = fault;
    b.simulation.boards = o.sim_boards;
    b.simulation.referenceVolts = o.reference_volts;
    b.simulation.load = load;
    b.simulation.frameMs = core->options.sim_frame_ms;
    b.regLink = Field(o.reg_link);
    b.interfaceBoard = Field(o.interface_board);
    b.vendorId = static_cast<uint16_t>(o.vendor_id);
    if (const std::string folder = Field(o.state_folder); !folder.empty()) {
      b.stateFolder = evm::PathFromUtf8(folder);
    }
    b.deviceAddress = o.device_address;
    if (o.usb_address >= 0) b.usbAddress = static_cast<uint16_t>(o.usb_address);
    b.calibrateIfBlank = core->options.calibrate_if_blank != 0;
    b.optionNames = {.deviceAddress = "device_address", .usbAddress = "usb_address"};
    // The core outlives the Bench, which is the one to call this.
    b.onNotice = [c = core.get()](const std::string& text) { c->Notice(text); };
    core->bench = Bench::Open(b);
    result = new zm_bench{std::move(core)};
  });
}

ZM_API void zm_close(zm_bench* bench) {
  if (!bench) return;
  try {
    BenchCore& core = *bench->core;
    std::shared_ptr<evm::capi::RunState> run;
    {
      std::lock_guard lock(core.mutex);
      core.closing = true;
      run = core.run;
    }
    if (run) evm::capi::CloseRun(*run);
    std::unique_ptr<Bench> closed;
    {
      std::unique_lock lock(core.mutex);
      if (core.busy) core.bench->RequestStop();
      core.idle.wait(lock, [&core] { return !core.busy; });
      closed = std::move(core.bench);
    }
    closed.reset();
  } catch (...) {
    // Closing must go on: the handle is freed whatever failed before.
  }
  delete bench;
}

ZM_API zm_status zm_get_options(zm_bench* bench, zm_options* options) {
  return Static([&] {
    if (!bench) Refuse(ZM_ERR_INVALID_ARGUMENT, "bench is NULL");
    zm_options& o = Out(options, "options");
    if (o.struct_size < kOptionsSize) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "options.struct_size is " + std::to_string(o.struct_size) +
                                          ": set it to sizeof(zm_options)");
    }
    const uint32_t size = o.struct_size;
    std::memcpy(&o, &bench->core->options, std::min<size_t>(size, kOptionsSizeNow));
    o.struct_size = size;
  });
}

ZM_API zm_status zm_last_error(const zm_bench* bench, char* text, size_t capacity, size_t* needed) {
  try {
    ErrorRecord copy;
    return CopyText(RecordFor(bench, copy)->text, text, capacity, needed);
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_last_error_info(const zm_bench* bench, zm_error_info* info) {
  if (!info) return ZM_ERR_INVALID_ARGUMENT;
  try {
    ErrorRecord copy;
    const ErrorRecord& r = *RecordFor(bench, copy);
    *info = zm_error_info{};
    info->status = r.status;
    info->reg = r.reg;
    info->wanted = r.wanted;
    info->got = r.got;
    info->position = r.position;
    info->error_code = r.code;
    info->error_code_kind = r.codeKind;
    Fit(info->error_message, r.codeMessage);
    Fit(info->path, r.path);
    return ZM_OK;
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_last_error_path(const zm_bench* bench, char* path, size_t capacity,
                                    size_t* needed) {
  try {
    ErrorRecord copy;
    return CopyText(RecordFor(bench, copy)->path, path, capacity, needed);
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_next_notice(zm_bench* bench, char* text, size_t capacity, size_t* needed,
                                int64_t* dropped) {
  if (!bench) return ZM_ERR_INVALID_ARGUMENT;
  try {
    BenchCore& core = *bench->core;
    std::lock_guard lock(core.noticeMutex);
    if (dropped) {
      *dropped = core.droppedNotices;
      core.droppedNotices = 0;
    }
    if (core.notices.empty()) {
      if (needed) *needed = 0;
      return ZM_DONE;
    }
    const zm_status status = CopyText(core.notices.front(), text, capacity, needed);
    // Too small a buffer leaves the notice for the next try.
    if (status == ZM_OK) core.notices.pop_front();
    return status;
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_stop(zm_bench* bench) {
  if (!bench) return ZM_ERR_INVALID_ARGUMENT;
  try {
    BenchCore& core = *bench->core;
    std::lock_guard lock(core.mutex);
    if (core.busy) {
      core.bench->RequestStop();
    } else {
      core.stopKept = true;
    }
    return ZM_OK;
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_clear_stop(zm_bench* bench) {
  if (!bench) return ZM_ERR_INVALID_ARGUMENT;
  try {
    std::lock_guard lock(bench->core->mutex);
    bench->core->stopKept = false;
    return ZM_OK;
  } catch (...) {
    return ZM_ERR_INTERNAL;
  }
}

ZM_API zm_status zm_devices(zm_bench* bench, zm_device_info* devices, size_t capacity,
                            size_t* count) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    CopyList(b.Devices(), devices, capacity, count,
             [](const evm::DeviceInfo& d, zm_device_info& out) {
               out = zm_device_info{};
               Fit(out.path, d.path);
               out.ids_known = d.vendorId && d.productId ? 1 : 0;
               out.vendor_id = d.vendorId.value_or(0);
               out.product_id = d.productId.value_or(0);
               out.kind = static_cast<int32_t>(d.kind);
               Fit(out.serial, d.serial);
               Fit(out.product, d.product);
               Fit(out.kind_name, d.kindName);
               out.openable = d.openable ? 1 : 0;
               out.selected = d.selected ? 1 : 0;
               Fit(out.reason, d.reason);
             });
  });
}

ZM_API zm_status zm_read_registers(zm_bench* bench, int32_t engineering,
                                   zm_register_snapshot* snapshot) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    zm_register_snapshot& out = Out(snapshot, "snapshot");
    const evm::RegisterSnapshot read = b.ReadRegisters(engineering != 0);
    out = zm_register_snapshot{};
    out.device_address = read.deviceAddress;
    out.current_lsb_amps = read.currentLsbAmps;
    out.power_lsb_watts = read.powerLsbWatts;
    const size_t n = std::min<size_t>(read.registers.size(), ZM_MAX_REGISTERS);
    out.count = static_cast<int32_t>(n);
    for (size_t i = 0; i < n; ++i) {
      const evm::RegisterValue& v = read.registers[i];
      zm_register_value& r = out.registers[i];
      r.reg = v.reg;
      r.raw = v.raw;
      r.has_scaled = v.scaled ? 1 : 0;
      r.scaled = v.scaled.value_or(0);
      Fit(r.name, v.name);
      Fit(r.hex, v.hex);
      Fit(r.binary, v.binary);
      Fit(r.unit, v.unit);
    }
  });
}

ZM_API zm_status zm_write_register(zm_bench* bench, int32_t reg, uint16_t value,
                                   zm_write_result* result) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    const evm::WriteResult w = b.WriteRegister(reg, value);
    if (result) *result = zm_write_result{w.reg, w.wrote, w.read};
  });
}

ZM_API zm_status zm_read_config(zm_bench* bench, uint16_t* config) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    uint16_t& out = Out(config, "config");
    out = b.ReadConfig();
  });
}

ZM_API zm_status zm_save_registers(zm_bench* bench, const char* file, uint16_t* values,
                                   size_t capacity, size_t* count) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    Out(count, "count");
    CopyValues(b.SaveRegisters(PathOf(file)), values, capacity, count);
  });
}

ZM_API zm_status zm_load_registers(zm_bench* bench, const char* file, uint16_t* values,
                                   size_t capacity, size_t* count) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    Out(count, "count");
    CopyValues(b.LoadRegisters(PathOf(file)), values, capacity, count);
  });
}

ZM_API zm_status zm_calculate(const zm_calibration_request* request, uint16_t config,
                              zm_calibration_result* result) {
  return Static([&] {
    const zm_calibration_request& q = Out(request, "request");
    zm_calibration_result& out = Out(result, "result");
    out = ToC(Bench::Calculate(FromC(q), config));
  });
}

ZM_API zm_status zm_apply_calibration(zm_bench* bench, const zm_calibration_result* calibration) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    const zm_calibration_result& c = Out(calibration, "calibration");
    evm::CalibrationResult r;
    r.refusal = EnumOf<evm::CalibrationRefusal>(c.refusal, ZM_REFUSAL_TOO_LARGE, "refusal");
    if (c.config < 0 || c.config > 0xFFFF || c.calibration < 0 || c.calibration > 0xFFFF) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "config and calibration are register values 0-65535");
    }
    r.config = static_cast<uint16_t>(c.config);
    r.calibration = static_cast<uint16_t>(c.calibration);
    r.currentLsbAmps = c.current_lsb_amps;
    r.powerLsbWatts = c.power_lsb_watts;
    r.request = FromC(c.request);
    b.ApplyCalibration(r);
  });
}

ZM_API zm_status zm_use_scaling(zm_bench* bench, double current_lsb_amps, double power_lsb_watts) {
  return Call(bench,
              [&](Bench& b, BenchCore&) { b.UseScaling(current_lsb_amps, power_lsb_watts); });
}

ZM_API zm_status zm_calibrate_if_blank(zm_bench* bench, zm_calibration_restore* restore) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    const evm::CalibrationRestore r = b.CalibrateIfBlank();
    if (!restore) return;
    *restore = zm_calibration_restore{};
    restore->was_blank = r.wasBlank ? 1 : 0;
    restore->wrote = r.wrote;
    restore->from_stored_inputs = r.fromStoredInputs ? 1 : 0;
    Fit(restore->message, r.message);
  });
}

ZM_API zm_status zm_measure_once(zm_bench* bench, zm_measurement* measurement) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    zm_measurement& out = Out(measurement, "measurement");
    evm::capi::ToC(b.MeasureOnce(), out);
  });
}

ZM_API zm_status zm_measure(zm_bench* bench, int64_t passes, double seconds,
                            zm_measurement* measurements, size_t capacity, size_t* count,
                            zm_run_summary* summary) {
  return zm_measure_mode(bench, ZM_MODE_PASSES, passes, seconds, measurements, capacity, count,
                         summary, nullptr);
}

ZM_API zm_status zm_measure_mode(zm_bench* bench, int32_t mode, int64_t passes, double seconds,
                                 zm_measurement* measurements, size_t capacity, size_t* count,
                                 zm_run_summary* summary, zm_run_details* details) {
  if (count) *count = 0;
  if (summary) *summary = zm_run_summary{};
  const bool detailsFit = evm::capi::DetailsFit(details);
  if (detailsFit) evm::capi::FillDetails(*details, evm::AcquisitionMode::Passes, 0, 0, 0);
  return Call(bench, [&](Bench& b, BenchCore&) {
    size_t& given = Out(count, "count");
    const auto acquisition = evm::capi::ModeOfC(mode);
    if (!acquisition) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "mode must be a ZM_MODE_*, not " + std::to_string(mode));
    }
    if (details && !detailsFit) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "details->struct_size must be sizeof(zm_run_details)");
    }
    evm::MonitorLength length = LengthOf(passes, seconds);
    length.mode = *acquisition;
    if (static_cast<uint64_t>(passes) > capacity) {
      given = static_cast<size_t>(passes);
      Refuse(ZM_ERR_BUFFER_TOO_SMALL,
             std::to_string(passes) + " passes, room for " + std::to_string(capacity));
    }
    if (capacity == 0 || !measurements) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "measurements must have room for a pass at least");
    }
    // A run without a count ends when the array is full, with the pass
    // that filled it: asked between passes, the stop reads no further one.
    std::stop_source full;
    int32_t registersRead = 0;
    const evm::RunSummary s = b.Monitor(
        length,
        [&](const evm::Measurement& m) {
          if (given >= capacity) return;
          if (m.acknowledged) registersRead |= m.registersRead;
          evm::capi::ToC(m, measurements[given++]);
          if (given == capacity) full.request_stop();
        },
        full.get_token());
    const bool filled = full.stop_requested();
    if (summary) {
      summary->passes = s.passes;
      summary->unacknowledged = s.unacknowledged;
      summary->lost = s.lost;
      summary->stopped = s.stopped && !filled ? 1 : 0;
      summary->full = filled ? 1 : 0;
      summary->finished = 1;
    }
    if (detailsFit) evm::capi::FillDetails(*details, *acquisition, registersRead, s.lost, s.rate);
    if (s.stopped && !filled) throw evm::CancelledError("stopped");
  });
}

ZM_API zm_status zm_log(zm_bench* bench, const char* file, int64_t passes, double seconds,
                        zm_log_summary* summary) {
  return zm_log_each(bench, file, passes, seconds, nullptr, nullptr, summary);
}

ZM_API zm_status zm_log_each(zm_bench* bench, const char* file, int64_t passes, double seconds,
                             zm_pass_fn on_pass, void* user, zm_log_summary* summary) {
  return zm_log_mode_each(bench, file, ZM_MODE_PASSES, passes, seconds, 0, on_pass, user, summary);
}

ZM_API zm_status zm_last_statistics(zm_bench* bench, zm_statistics* stats) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    StatisticsToC(b.LastStatistics(), StatisticsOut(stats), true);
  });
}

ZM_API zm_status zm_statistics_of(const double* time_seconds, const double* bus_volts,
                                  const double* shunt_volts, const double* amps,
                                  const double* watts, const uint8_t* acknowledged, size_t stride,
                                  size_t count, zm_statistics* stats) {
  return Static([&] {
    zm_statistics& out = StatisticsOut(stats);
    if (count > 0 && !time_seconds) Refuse(ZM_ERR_INVALID_ARGUMENT, "time_seconds is NULL");
    if (count > 0 && stride == 0) Refuse(ZM_ERR_INVALID_ARGUMENT, "stride is 0");
    const std::array<const double*, evm::kStatQuantities> columns = {bus_volts, shunt_volts, amps,
                                                                     watts};
    // By bytes, so a column may be a field of the caller's structs.
    auto at = [stride](const void* column, size_t i) {
      return static_cast<const unsigned char*>(column) + i * stride;
    };
    auto value = [&](const double* column, size_t i) {
      if (!column) return std::numeric_limits<double>::quiet_NaN();
      double v;
      std::memcpy(&v, at(column, i), sizeof v);
      return v;
    };
    evm::Statistics s;
    size_t i = 0;
    while (i < count) {
      // Runs of acknowledged rows go in blocks; the others are lost.
      if (acknowledged && *at(acknowledged, i) == 0) {
        s.CountLost(1);
        ++i;
        continue;
      }
      size_t n = 0;
      while (i + n < count && n < evm::Statistics::kChunk &&
             !(acknowledged && *at(acknowledged, i + n) == 0)) {
        ++n;
      }
      s.AddChunk(n, [&, first = i](size_t k) {
        evm::StatSample sample{value(time_seconds, first + k), {}};
        for (size_t q = 0; q < evm::kStatQuantities; ++q) {
          sample.values[q] = value(columns[q], first + k);
        }
        return sample;
      });
      i += n;
    }
    StatisticsToC(evm::RunStatisticsOf(s), out, false);
  });
}

ZM_API zm_status zm_log_mode_each(zm_bench* bench, const char* file, int32_t mode, int64_t passes,
                                  double seconds, double summary_seconds, zm_pass_fn on_pass,
                                  void* user, zm_log_summary* summary) {
  if (summary) *summary = zm_log_summary{};
  return Call(bench, [&](Bench& b, BenchCore&) {
    const auto acquisition = evm::capi::ModeOfC(mode);
    if (!acquisition) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "mode must be a ZM_MODE_*, not " + std::to_string(mode));
    }
    if (!(summary_seconds >= 0) || !std::isfinite(summary_seconds)) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "summary_seconds must be 0 (no summary) or more");
    }
    evm::MonitorLength length = LengthOf(passes, seconds);
    length.mode = *acquisition;
    std::stop_source enough;
    evm::MeasurementCallback told;
    if (on_pass) {
      told = [&](const evm::Measurement& m) {
        zm_measurement pass;
        evm::capi::ToC(m, pass);
        if (on_pass(user, &pass) != 0) enough.request_stop();
      };
    }
    const evm::LogSummary s =
        summary_seconds > 0
            ? b.LogSummaries(PathOf(file), length, summary_seconds, told, enough.get_token())
            : b.Log(PathOf(file), length, told, enough.get_token());
    if (summary) {
      summary->passes = s.passes;
      summary->logged = s.logged;
      summary->unacknowledged = s.unacknowledged;
      summary->unanswered = s.unanswered;
      summary->stopped = s.stopped ? 1 : 0;
      Fit(summary->file, s.file);
    }
    if (s.stopped) throw evm::CancelledError("stopped");
  });
}

ZM_API zm_status zm_send(zm_bench* bench, const char* texts, zm_mnemonic_reply* replies,
                         size_t capacity, size_t* count) {
  if (count) *count = 0;
  return Call(bench, [&](Bench& b, BenchCore&) {
    size_t& given = Out(count, "count");
    const std::vector<std::string> commands = Lines(Text(texts, "texts"));
    if (commands.size() > capacity) {
      given = commands.size();
      Refuse(ZM_ERR_BUFFER_TOO_SMALL, std::to_string(commands.size()) + " commands, room for " +
                                          std::to_string(capacity) + " replies");
    }
    if (!commands.empty() && !replies) Refuse(ZM_ERR_INVALID_ARGUMENT, "replies is NULL");
    // Each reply as it comes, so the unanswered one is there when Send fails.
    b.Send(commands, [&](const evm::MnemonicReply& r) {
      zm_mnemonic_reply& out = replies[given];
      out = zm_mnemonic_reply{};
      out.index = static_cast<int32_t>(given);
      out.answered = r.answered ? 1 : 0;
      out.acknowledged = r.acknowledged ? 1 : 0;
      std::copy(r.command.begin(), r.command.end(), out.command);
      std::copy(r.answer.begin(), r.answer.end(), out.answer);
      const size_t reads = std::min<size_t>(r.reads.size(), ZM_REPORT_SIZE);
      const size_t acks = std::min<size_t>(r.acks.size(), ZM_REPORT_SIZE);
      std::copy_n(r.reads.begin(), reads, out.reads);
      std::copy_n(r.acks.begin(), acks, out.acks);
      out.read_count = static_cast<int32_t>(reads);
      out.ack_count = static_cast<int32_t>(acks);
      ++given;
    });
  });
}

ZM_API zm_status zm_encode(const char* text, uint8_t report[ZM_REPORT_SIZE]) {
  return Static([&] {
    const std::string command = Text(text, "text");
    uint8_t& out = Out(report, "report");
    const std::array<uint8_t, 32> encoded = Bench::Encode(command);
    std::copy(encoded.begin(), encoded.end(), &out);
  });
}

ZM_API zm_status zm_run_script(zm_bench* bench, const char* file, double max_seconds,
                               zm_script_result* result) {
  return zm_run_script_each(bench, file, max_seconds, nullptr, nullptr, result);
}

ZM_API zm_status zm_run_script_each(zm_bench* bench, const char* file, double max_seconds,
                                    zm_row_fn on_row, void* user, zm_script_result* result) {
  if (result) *result = zm_script_result{};
  return Call(bench, [&](Bench& b, BenchCore& core) {
    const std::filesystem::path path = PathOf(file);
    if (!(max_seconds >= 0)) Refuse(ZM_ERR_INVALID_ARGUMENT, "max_seconds must be 0 or more");
    core.scriptRows.clear();
    std::stop_source enough;
    evm::ScriptRowCallback told;
    if (on_row) {
      told = [&](const evm::ScriptRowResult& r) {
        zm_script_row row;
        ToC(r, row);
        if (on_row(user, &row) != 0) enough.request_stop();
      };
    }
    const evm::ScriptResult r = b.RunScript(path, max_seconds, told, enough.get_token());
    core.scriptRows = r.rows;
    if (result) {
      result->pass = r.pass;
      result->fail = r.fail;
      result->stopped = r.stopped ? 1 : 0;
      result->timed_out = r.timedOut ? 1 : 0;
      result->board_answered = r.boardAnswered ? 1 : 0;
      result->passed = r.Passed() ? 1 : 0;
      result->row_count = static_cast<int32_t>(r.rows.size());
    }
    if (r.stopped) throw evm::CancelledError("stopped");
  });
}

ZM_API zm_status zm_script_rows(zm_bench* bench, zm_script_row* rows, size_t capacity,
                                size_t* count) {
  return Call(bench, [&](Bench&, BenchCore& core) {
    CopyList(core.scriptRows, rows, capacity, count,
             [](const evm::ScriptRowResult& r, zm_script_row& out) { ToC(r, out); });
  });
}

ZM_API zm_status zm_script_cell(zm_bench* bench, int32_t row, int32_t column, char* text,
                                size_t capacity, size_t* needed) {
  return Call(bench, [&](Bench&, BenchCore& core) {
    if (row < 1 || static_cast<size_t>(row) > core.scriptRows.size()) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "row " + std::to_string(row) + " is not one of 1-" +
                                          std::to_string(core.scriptRows.size()));
    }
    const evm::ScriptRowResult& r = core.scriptRows[static_cast<size_t>(row - 1)];
    const std::string* cells[] = {&r.description, &r.step, &r.low, &r.high, &r.result, &r.verdict};
    const auto which = EnumOf<size_t>(column, ZM_SCRIPT_VERDICT, "column");
    const zm_status copied = CopyText(*cells[which], text, capacity, needed);
    if (copied != ZM_OK) Refuse(copied, "the cell does not fit the buffer");
  });
}

ZM_API zm_status zm_save_script_results(zm_bench* bench, const char* file) {
  return Call(bench, [&](Bench& b, BenchCore&) { b.SaveScriptResults(PathOf(file)); });
}

ZM_API zm_status zm_script_record(zm_bench* bench, const char* dut_id, const char* station_id,
                                  const char* operator_name, char* json, size_t capacity,
                                  size_t* needed) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    const std::string text = b.ScriptRecordJson(IdsOf(dut_id, station_id, operator_name));
    const zm_status copied = CopyText(text, json, capacity, needed);
    if (copied != ZM_OK) Refuse(copied, "the record does not fit the buffer");
  });
}

ZM_API zm_status zm_save_script_record(zm_bench* bench, const char* dut_id, const char* station_id,
                                       const char* operator_name, const char* json_file,
                                       const char* junit_file) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    b.SaveScriptRecord(IdsOf(dut_id, station_id, operator_name),
                       json_file ? PathOf(json_file) : std::filesystem::path(),
                       junit_file ? PathOf(junit_file) : std::filesystem::path());
  });
}

ZM_API zm_status zm_read_converter(zm_bench* bench, int32_t converter, int32_t reference,
                                   double* value) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    double& out = Out(value, "value");
    out =
        b.ReadConverter(EnumOf<evm::Converter>(converter, ZM_CNV2, "converter"),
                        EnumOf<evm::Reference>(reference, ZM_REFERENCE_DIGITAL_CODES, "reference"));
  });
}

ZM_API zm_status zm_read_loop_current(zm_bench* bench, double* amps) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    double& out = Out(amps, "amps");
    out = b.ReadLoopCurrent();
  });
}

ZM_API zm_status zm_set_mux(zm_bench* bench, int32_t converter, int32_t plus, int32_t minus) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    b.SetMux(EnumOf<evm::Converter>(converter, ZM_CNV2, "converter"),
             EnumOf<evm::MuxInput>(plus, ZM_MUX_DAC, "plus"),
             EnumOf<evm::MuxInput>(minus, ZM_MUX_DAC, "minus"));
  });
}

ZM_API zm_status zm_set_dac(zm_bench* bench, int32_t channel, double volts, int32_t reference,
                            int32_t auto_cal, double* value) {
  return Call(bench, [&](Bench& b, BenchCore&) {
    const double set = b.SetDac(
        EnumOf<evm::DacChannel>(channel, ZM_DAC_D, "channel"), volts,
        EnumOf<evm::Reference>(reference, ZM_REFERENCE_DIGITAL_CODES, "reference"), auto_cal != 0);
    if (value) *value = set;
  });
}

ZM_API zm_status zm_set_supply(zm_bench* bench, int32_t on) {
  return Call(bench, [&](Bench& b, BenchCore&) { b.SetSupply(on != 0); });
}

ZM_API zm_status zm_capture(zm_bench* bench, const zm_capture_request* request,
                            zm_capture_fn on_capture, void* user, zm_capture_summary* summary) {
  if (summary) *summary = zm_capture_summary{};
  bool timedOut = false;
  const zm_status status = Call(bench, [&](Bench& b, BenchCore&) {
    const zm_capture_request& r = Out(request, "request");
    if (r.struct_size != sizeof(zm_capture_request)) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "request->struct_size must be sizeof(zm_capture_request)");
    }
    const auto mode = evm::capi::ModeOfC(r.mode);
    if (!mode) {
      Refuse(ZM_ERR_INVALID_ARGUMENT, "mode must be a ZM_MODE_*, not " + std::to_string(r.mode));
    }
    if (r.count < 0) {
      Refuse(ZM_ERR_INVALID_ARGUMENT,
             "count must be 0 (no end) or more, not " + std::to_string(r.count));
    }
    evm::CaptureRequest q;
    q.trigger = Text(r.trigger, "trigger");
    q.preSeconds = r.pre_seconds;
    q.postSeconds = r.post_seconds;
    q.count = static_cast<long>(r.count);
    q.timeoutSeconds = r.timeout_seconds;
    q.mode = *mode;
    if (r.folder && *r.folder) q.folder = evm::PathFromUtf8(r.folder);
    // The caller's "enough" ends the run as a stop does, between samples.
    std::stop_source enough;
    evm::CaptureCallback told;
    if (on_capture) {
      told = [&](const evm::CaptureResult& c) {
        zm_capture_info info{};
        info.number = c.number;
        info.samples = static_cast<int64_t>(c.samples.size());
        info.trigger_index = static_cast<int64_t>(c.triggerIndex);
        info.trigger_time_epoch_s = evm::EpochSecondsOf(c.triggerTimeSeconds);
        Fit(info.trigger_time, c.triggerTime);
        info.truncated = c.truncated ? 1 : 0;
        Fit(info.file, c.file);
        std::vector<zm_measurement> samples(c.samples.size());
        for (size_t i = 0; i < samples.size(); ++i) evm::capi::ToC(c.samples[i], samples[i]);
        if (on_capture(user, &info, samples.data()) != 0) enough.request_stop();
      };
    }
    const evm::CaptureSummary s = b.Capture(q, told, enough.get_token());
    if (summary) {
      summary->captures = s.captures;
      summary->samples = s.samples;
      summary->unacknowledged = s.unacknowledged;
      summary->lost = s.lost;
      summary->stopped = s.stopped ? 1 : 0;
      summary->timed_out = s.timedOut ? 1 : 0;
      summary->cut = s.cut ? 1 : 0;
      summary->rate = s.rate;
    }
    if (s.stopped) throw evm::CancelledError("stopped");
    timedOut = s.timedOut;
  });
  return status == ZM_OK && timedOut ? ZM_TIMEOUT : status;
}

}  // extern "C"
