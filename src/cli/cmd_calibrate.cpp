#include <array>
#include <cstdio>

#include "calibration/eng_number.h"
#include "calibration/initial_calibration.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "common/number_text.h"
#include "registers/config_fields.h"
#include "shell/settings_file.h"

namespace evm::cli {

namespace {

struct Row {
  const char* key;
  const char* caption;
  double number;
  std::string text;
  const char* unit;
};

std::string Flattened(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

}  // namespace

int RunCalibrate(CliContext& ctx) {
  const CliOptions& o = ctx.options;
  const auto rshunt = o.Value("--rshunt");
  const auto current = o.Value("--max-current");
  const auto lsb = o.Value("--lsb");
  const auto pga = o.Value("--pga");
  const auto bus = o.Value("--bus");
  const bool write = o.Flag("--write");
  for (const auto& [name, value] :
       {std::pair{"--rshunt", &rshunt}, std::pair{"--max-current", &current},
        std::pair{"--lsb", &lsb}}) {
    if (!*value) return Fail(ctx, kExitUsage, std::string(name) + " is required");
  }
  // --pga and --bus are one of their choices, as the parser checked.
  int pgaField = -1;
  constexpr std::array<const char*, 4> kDividers = {"div1", "div2", "div4", "div8"};
  for (size_t i = 0; pga && i < kDividers.size(); ++i) {
    if (*pga == kDividers[i]) pgaField = static_cast<int>(i);
  }
  int busField = -1;
  if (bus) busField = *bus == "16" ? 0 : 1;

  // The ranges come from the device's register 00h unless both are given;
  // a calculation with both needs no board.
  const int address = o.deviceAddress;
  RegisterRead read;
  const bool needBoard = write || !pga || !bus;
  if (needBoard) {
    if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
    read = ReadRegisters(ctx.evm->regLink, address, kNormalLastReg);
    if (!read.AllAcknowledged()) return Fail(ctx, kExitFailed, LinkFailure(ctx, address, ""));
  }
  int32_t config = read.values[0];
  if (pgaField >= 0) config = WithField(config, kConfigPga, pgaField);
  if (busField >= 0) config = WithField(config, kConfigBusRange, busField);

  const NumberLocale point = NumberLocale::Point();
  const CalibrationInputs inputs{ParseEngNumber(*rshunt, point), ParseEngNumber(*current, point),
                                 ParseEngNumber(*lsb, point)};
  const InitialCalibration c = ComputeInitialCalibration(inputs, RangesOfConfig(config), point);
  switch (c.refusal) {
    case CalibrationRefusal::Rshunt:
      return Fail(ctx, kExitUsage, "--rshunt '" + *rshunt + "' refused: " + kRshuntMessage);
    case CalibrationRefusal::MaxExpectedCurrent: {
      // The tab's own refusal, then the limit as a plain number ("4", not
      // the tab's "4.").
      const std::string message = kMaxExpectedCurrentMessage;
      return Fail(ctx, kExitUsage,
                  "--max-current '" + *current +
                      "' refused: " + message.substr(0, message.find('\r')) +
                      "\n  It must be above 0 and at most the Max Possible Current, " +
                      FormatGeneral(c.maxPossibleAmps, point) + " A.");
    }
    case CalibrationRefusal::CurrentLsb:
      return Fail(ctx, kExitUsage, "--lsb '" + *lsb + "' refused: " + kLsbOutOfRangeMessage);
    case CalibrationRefusal::TooLarge:
      return Fail(ctx, kExitUsage,
                  "--lsb '" + *lsb + "' refused: " + Flattened(kCalibrationTooLargeMessage));
    case CalibrationRefusal::None: break;
  }

  const InitialCalibrationTexts& t = c.text;
  // The rows of the calibration tab, in its order.
  const Row rows[] = {
      {"rshunt", "Rshunt", inputs.rshuntOhms, *rshunt, "Ohms"},
      {"max_shunt_voltage", "Max Shunt Voltage", c.maxShuntVolts, t.maxShunt, "V"},
      {"max_bus_voltage", "Max Bus Voltage", c.maxBusVolts, t.maxBus, "V"},
      {"max_possible_current", "Max Possible Current +/-", c.maxPossibleAmps, t.maxPossibleCurrent,
       "A"},
      {"max_expected_current", "Max Expected Current +/-", inputs.maxExpectedAmps, *current, "A"},
      {"min_current_lsb", "Min Current LSB (15 bit Resolution)", c.minCurrentLsb, t.minCurrentLsb,
       "A/bit"},
      {"max_current_lsb", "Max Current LSB (12 bit Resolution)", c.maxCurrentLsb, t.maxCurrentLsb,
       "A/bit"},
      {"current_lsb", "Current LSB", c.currentLsb, *lsb, "A/bit"},
      {"calibration_hex", "Calibration Reg", static_cast<double>(c.calibration), t.calibrationHex,
       "Hex"},
      {"calibration", "Calibration Reg", static_cast<double>(c.calibration), t.calibrationDec,
       "Int"},
      {"power_lsb", "Power LSB", c.powerLsb, t.powerLsb, "W/bit"},
      {"max_current_before_overflow", "Max Current Before Overflow", c.maxCurrentBeforeOverflow,
       t.maxCurrent, "A"},
      {"max_current_before_overflow_hex", "Max Current Before Overflow",
       static_cast<double>(c.maxCurrentBeforeOverflowCode), t.maxCurrentHex, "hex"},
      {"max_shunt_voltage_before_overflow", "Max Shunt Voltage Before Current Overflow",
       c.maxShuntBeforeOverflow, t.maxShuntNoOverflow, "V"},
      {"max_power", "Max Power", c.maxPower, t.maxPower, "W"},
  };

  int status = kExitOk;
  std::string failure;
  if (write) {
    // Register 00h too when --pga or --bus change it; the rest stays.
    std::array<int32_t, kDeviceRegs> wanted{};
    for (size_t i = 0; i < wanted.size(); ++i) wanted[i] = read.values[i];
    wanted[0] = config;
    wanted[5] = c.calibration;
    const bool taken = WriteChangedRegisters(ctx.evm->regLink, read, wanted);
    const RegisterRead after = ReadRegisters(ctx.evm->regLink, address, kNormalLastReg);
    if (!taken || !after.AllAcknowledged()) {
      status = kExitFailed;
      failure = "the device did not acknowledge the write of register 05h";
    } else if (after.values[5] != c.calibration) {
      status = kExitFailed;
      failure =
          "register 05h reads back " + Hex(after.values[5], 4) + ", not " + Hex(c.calibration, 4);
    } else if (std::error_code ec; !StoreCalibrationInputs(ctx.evm->StateFile(kSettingsFileName),
                                                           *rshunt, *current, *lsb, 0, 0, ec)) {
      // The inputs go with the calibration now on the device, so later
      // commands scale by it; a calibration they cannot find is a failure.
      // Nobody saw the reminder here: a fresh file leaves it due.
      status = kExitUsage;
      failure = "register 05h = " + Hex(c.calibration, 4) +
                " written, but the calibration inputs could not be stored in '" +
                ctx.evm->StateFile(kSettingsFileName).string() + "': " + ec.message();
    }
  }

  if (o.json) {
    // Numbers under the tab's names; the hexadecimal boxes are numbers too
    // (calibration, max_current_before_overflow_code). What the tab shows
    // is beside them under "text".
    Json doc;
    Json text;
    for (const Row& r : rows) {
      const std::string key = r.key;
      text[key] = Trimmed(r.text);
      if (key.ends_with("_hex")) continue;
      doc[key] = JsonRound(r.number);
    }
    doc["calibration"] = c.calibration;
    doc["max_current_before_overflow_code"] = c.maxCurrentBeforeOverflowCode;
    doc["overflow_possible"] = c.overflowPossible;
    doc["written"] = write && status == kExitOk;
    text["overflow"] = t.note;
    doc["text"] = text;
    PrintJson(ctx, doc);
  } else {
    for (const Row& r : rows) {
      char line[160];
      std::snprintf(line, sizeof line, "%-42s %-10s %s", r.caption, Trimmed(r.text).c_str(),
                    r.unit);
      ctx.out << line << "\n";
    }
    ctx.out << t.note << "\n";
    if (write && status == kExitOk) {
      ctx.out << "register 05h = " << Hex(c.calibration, 4) << " written\n";
    }
  }
  if (status != kExitOk) return Fail(ctx, status, failure);
  return kExitOk;
}

}  // namespace evm::cli
