// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "common/number_locale.h"
#include "common/number_text.h"
#include "registers/register_map.h"

namespace evm::cli {

int RunRead(CliContext& ctx) {
  const RegisterSnapshot read = ctx.bench->ReadRegisters(ctx.options.Flag("--engineering"));
  const double resolution[] = {0, kShuntVoltsLsb, kBusVoltsLsb, read.powerLsbWatts,
                               read.currentLsbAmps};
  if (read.registers[kCalibrationRegister].raw == 0) {
    // The chip computes current and power only with a calibration.
    ctx.err << "evmctl read: note: register 05h (Full Scale Cal) is 0, so current and power "
               "read 0; store a calibration with 'evmctl calibrate ... --write'\n";
  }

  if (ctx.options.json) {
    const int address = read.deviceAddress;
    Json doc = {{"device_address", address},
                {"device_address_hex", Hex(static_cast<unsigned>(address), 2)},
                {"acknowledged", true},
                {"current_lsb", JsonRound(read.currentLsbAmps)},
                {"power_lsb", JsonRound(read.powerLsbWatts)},
                {"registers", Json::array()}};
    for (const RegisterValue& r : read.registers) {
      Json reg = {{"register", r.reg}, {"address", "0" + std::to_string(r.reg) + "h"},
                  {"name", r.name},    {"value", r.raw},
                  {"hex", r.hex},      {"binary", r.binary},
                  {"scaled", nullptr}, {"unit", r.unit}};
      if (r.scaled) reg["scaled"] = JsonRound(*r.scaled, resolution[r.reg]);
      doc["registers"].push_back(reg);
    }
    PrintJson(ctx, doc);
    return kExitOk;
  }
  for (const RegisterValue& r : read.registers) {
    const std::string shown = r.scaled ? FormatGeneral(*r.scaled, NumberLocale::Point()) : "";
    char line[160];
    std::snprintf(line, sizeof line, "%-4s %-20s %-6s %-19s  %s %s",
                  ("0" + std::to_string(r.reg) + "h").c_str(), r.name.c_str(),
                  ("0x" + r.hex).c_str(), r.binary.c_str(), shown.c_str(), r.unit.c_str());
    std::string text = line;
    text.erase(text.find_last_not_of(' ') + 1);
    ctx.out << text << "\n";
  }
  return kExitOk;
}

}  // namespace evm::cli
