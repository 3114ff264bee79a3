#include <array>
#include <cstdio>

#include "calibration/initial_calibration.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "registers/config_controls.h"
#include "registers/register_cycle.h"
#include "shell/main_load.h"
#include "shell/settings_file.h"

namespace evm::cli {

namespace {

struct Shown {
  const char* key;
  const char* caption;
  std::string CalibrationPanel::*box;
  const char* unit;
};

// The rows of the calibration tab, in its order.
constexpr std::array<Shown, 15> kShown = {{
    {"rshunt", "Rshunt", &CalibrationPanel::txtRshunt, "Ohms"},
    {"max_shunt_voltage", "Max Shunt Voltage", &CalibrationPanel::txtMaxShunt, "V"},
    {"max_bus_voltage", "Max Bus Voltage", &CalibrationPanel::txtMaxBus, "V"},
    {"max_possible_current", "Max Possible Current +/-", &CalibrationPanel::txtMaxPosCur, "A"},
    {"max_expected_current", "Max Expected Current +/-", &CalibrationPanel::txtMaxExpectedCurrent,
     "A"},
    {"min_current_lsb", "Min Current LSB (15 bit Resolution)", &CalibrationPanel::txtMinLSB,
     "A/bit"},
    {"max_current_lsb", "Max Current LSB (12 bit Resolution)", &CalibrationPanel::txtMaxLSB,
     "A/bit"},
    {"current_lsb", "Current LSB", &CalibrationPanel::txtSelectedCurrentLSB, "A/bit"},
    {"calibration_hex", "Calibration Reg", &CalibrationPanel::txtFSC_Hex, "Hex"},
    {"calibration", "Calibration Reg", &CalibrationPanel::txtFSC_Dec, "Int"},
    {"power_lsb", "Power LSB", &CalibrationPanel::txtPowerLSB, "W/bit"},
    {"max_current_before_overflow", "Max Current Before Overflow", &CalibrationPanel::txtMaxI, "A"},
    {"max_current_before_overflow_hex", "Max Current Before Overflow",
     &CalibrationPanel::txtMaxI_Hex, "hex"},
    {"max_shunt_voltage_before_overflow", "Max Shunt Voltage Before Current Overflow",
     &CalibrationPanel::txtMaxShunt_NoOverflow, "V"},
    {"max_power", "Max Power", &CalibrationPanel::txtMaxPower, "W"},
}};

std::string Trimmed(const std::string& text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

}  // namespace

int RunCalibrate(CliContext& ctx) {
  std::vector<std::string> args = ctx.options.args;
  std::string error;
  const auto rshunt = TakeOption(args, "--rshunt", error);
  const auto current = TakeOption(args, "--max-current", error);
  const auto lsb = TakeOption(args, "--lsb", error);
  const auto pga = TakeOption(args, "--pga", error);
  const auto bus = TakeOption(args, "--bus", error);
  const bool write = TakeFlag(args, "--write");
  if (!error.empty()) return Fail(ctx, kExitUsage, error);
  if (!CheckArguments(ctx, args, 0, 0)) return kExitUsage;
  for (const auto& [name, value] :
       {std::pair{"--rshunt", &rshunt}, std::pair{"--max-current", &current},
        std::pair{"--lsb", &lsb}}) {
    if (!*value) return Fail(ctx, kExitUsage, std::string(name) + " is required");
  }
  int pgaPosition = -1;
  if (pga) {
    constexpr std::array<const char*, 4> kDividers = {"div1", "div2", "div4", "div8"};
    for (size_t i = 0; i < kDividers.size(); ++i) {
      if (*pga == kDividers[i]) pgaPosition = static_cast<int>(i);
    }
    if (pgaPosition < 0)
      return Fail(ctx, kExitUsage, "--pga '" + *pga + "' is not div1, div2, div4 or div8");
  }
  int busPosition = -1;
  if (bus) {
    if (*bus == "16") busPosition = 0;
    if (*bus == "32") busPosition = 1;
    if (busPosition < 0) return Fail(ctx, kExitUsage, "--bus '" + *bus + "' is not 16 or 32");
  }

  Evm& evm = *ctx.evm;
  // The reminder cannot be shown here, so the date it is due by stays as
  // stored; the load below moves it on as if the reminder had been seen.
  const auto before = ReadSettingsFile(evm.StateFile(kSettingsFileName));
  LoadState(ctx);
  // The ranges come from the device's register 00h unless both are given;
  // a calculation with both needs no board.
  const bool needBoard = write || !pga || !bus;
  if (needBoard) {
    if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
    ReadRegisters(ctx);
    if (evm.registerPanel.txtDutNotAckVisible) {
      return Fail(ctx, kExitFailed,
                  "the device at address " +
                      Hex2(static_cast<unsigned>(evm.registers.DeviceAddress)) +
                      "h did not acknowledge");
    }
  }
  // Choosing a list rebuilds the device address from the address lists;
  // the address the command line gave is put back after.
  const int address = evm.registers.DeviceAddress;
  if (pgaPosition >= 0) ConfigListChosen(evm, ConfigList::ShuntGain, pgaPosition);
  if (busPosition >= 0) ConfigListChosen(evm, ConfigList::BusGain, busPosition);
  evm.registers.DeviceAddress = address;

  CalibrationPanel& p = evm.calibration;
  p.txtRshunt = *rshunt;
  p.txtMaxExpectedCurrent = *current;
  p.txtSelectedCurrentLSB = *lsb;
  // Each button refuses its own input with the tab's message (on standard
  // error); the command adds which option it was.
  if (!cmdEnterShuntR_Click(evm))
    return Fail(ctx, kExitUsage, "--rshunt '" + *rshunt + "' refused");
  if (!cmdEnterMaxExpCur_Click(evm)) {
    return Fail(ctx, kExitUsage,
                "--max-current '" + *current + "' refused (at most " + p.txtMaxPosCur + " A)");
  }
  const bool calculated = write ? cmdEnterCurrentLSB_Click(evm) : CalculateCurrentLsb(evm);
  if (!calculated) return Fail(ctx, kExitUsage, "--lsb '" + *lsb + "' refused");

  if (ctx.options.json) {
    JsonWriter json;
    json.BeginObject();
    for (const Shown& s : kShown) json.Key(s.key).String(Trimmed(p.*s.box));
    json.Key("overflow").String(p.Label91).Key("written").Bool(write).EndObject();
    ctx.out << json.Text();
  } else {
    for (const Shown& s : kShown) {
      char line[160];
      std::snprintf(line, sizeof line, "%-42s %-10s %s", s.caption, Trimmed(p.*s.box).c_str(),
                    s.unit);
      ctx.out << line << "\n";
    }
    ctx.out << p.Label91 << "\n";
  }

  if (!write) {
    if (needBoard) evm.regLink.CloseRegLink();
    return kExitOk;
  }
  const bool acknowledged = !evm.registerPanel.txtDutNotAckVisible;
  const int32_t stored = evm.registers.RegValue[5];
  const auto wanted = static_cast<int32_t>(std::stoul(p.txtFSC_Hex, nullptr, 16));
  if (!acknowledged || stored != wanted) {
    evm.regLink.CloseRegLink();
    if (!acknowledged) {
      return Fail(ctx, kExitFailed, "the device did not acknowledge the write of register 05h");
    }
    return Fail(
        ctx, kExitFailed,
        "register 05h reads back " + Hex4(static_cast<unsigned>(stored)) + ", not " + p.txtFSC_Hex);
  }
  evm.regLink.CloseRegLink();
  // The inputs go with the calibration now on the device, so later commands
  // scale by it. Only the settings file is the command's: the stored USB
  // address and the eval-control settings stay as the GUI left them. The
  // reminder could not be shown here, so it stays due as stored.
  evm.shell.StoredMonth = before ? before->month : 0;
  evm.shell.StoredYear = before ? before->year : 0;
  // The user asked for them to be kept: whatever was there is replaced
  // (settings that did not parse are set aside first).
  evm.shell.SettingsFileOwned = true;
  std::error_code ec;
  if (!StoreSettings(evm, ec)) {
    return Fail(ctx, kExitUsage,
                "register 05h = " + Hex4(static_cast<unsigned>(stored)) +
                    " written, but the calibration inputs could not be stored in '" +
                    evm.StateFile(kSettingsFileName).string() + "': " + ec.message());
  }
  if (!ctx.options.json) {
    ctx.out << "register 05h = " << Hex4(static_cast<unsigned>(stored)) << " written\n";
  }
  return kExitOk;
}

}  // namespace evm::cli
