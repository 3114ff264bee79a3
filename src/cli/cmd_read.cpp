#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "common/number_text.h"
#include "registers/register_map.h"

namespace evm::cli {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// Registers 01h-04h carry a quantity; the others are settings or raw data.
bool HasScaledValue(int reg) {
  return reg >= 1 && reg <= 4;
}

const char* Unit(int reg) {
  constexpr const char* kUnits[] = {"", "V", "V", "W", "A"};
  return HasScaledValue(reg) ? kUnits[reg] : "";
}

}  // namespace

int RunRead(CliContext& ctx) {
  const bool engineering = ctx.options.Flag("--engineering");
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  const int address = ctx.options.deviceAddress;
  const int lastReg = engineering ? kEngineeringLastReg : kNormalLastReg;
  const RegisterRead read = ReadRegisters(ctx.evm->regLink, address, lastReg);
  // Values the device did not give are not worth printing.
  if (!read.AllAcknowledged()) {
    return Fail(ctx, kExitFailed, LinkFailure(ctx, address, "", " (see --address)"));
  }
  const Scaling scaling = StoredScaling(ctx, read);
  const Quantities q = Scale(read, scaling);
  const double scaled[] = {0, q.shuntVolts, q.busVolts, q.watts, q.amperes};
  const double resolution[] = {0, kShuntVoltsLsb, kBusVoltsLsb, scaling.powerLsb,
                               scaling.currentLsb};
  if (read.values[5] == 0) {
    // The chip computes current and power only with a calibration.
    ctx.err << "evmctl read: note: register 05h (Full Scale Cal) is 0, so current and power "
               "read 0; store a calibration with 'evmctl calibrate ... --write'\n";
  }

  if (ctx.options.json) {
    Json doc = {{"device_address", address},
                {"device_address_hex", Hex(static_cast<unsigned>(address), 2)},
                {"acknowledged", true},
                {"current_lsb", JsonRound(scaling.currentLsb)},
                {"power_lsb", JsonRound(scaling.powerLsb)},
                {"registers", Json::array()}};
    for (int i = 0; i <= read.lastReg; ++i) {
      const int32_t value = read.values[static_cast<size_t>(i)];
      Json reg = {{"register", i},
                  {"address", "0" + std::to_string(i) + "h"},
                  {"name", Trimmed(kRegNames[static_cast<size_t>(i)])},
                  {"value", value},
                  {"hex", FormatRegText(value, kFormHex, false)},
                  {"binary", FormatRegText(value, kFormBinary, false)},
                  {"scaled", nullptr},
                  {"unit", Unit(i)}};
      if (HasScaledValue(i)) reg["scaled"] = JsonRound(scaled[i], resolution[i]);
      doc["registers"].push_back(reg);
    }
    PrintJson(ctx, doc);
    return kExitOk;
  }
  for (int i = 0; i <= read.lastReg; ++i) {
    const int32_t value = read.values[static_cast<size_t>(i)];
    const std::string shown =
        HasScaledValue(i) ? FormatGeneral(scaled[i], NumberLocale::Point()) : "";
    char line[160];
    std::snprintf(line, sizeof line, "%-4s %-20s %-6s %-19s  %s %s",
                  ("0" + std::to_string(i) + "h").c_str(),
                  Trimmed(kRegNames[static_cast<size_t>(i)]).c_str(),
                  ("0x" + FormatRegText(value, kFormHex, false)).c_str(),
                  FormatRegText(value, kFormBinary, false).c_str(), shown.c_str(), Unit(i));
    std::string text = line;
    text.erase(text.find_last_not_of(' ') + 1);
    ctx.out << text << "\n";
  }
  return kExitOk;
}

}  // namespace evm::cli
