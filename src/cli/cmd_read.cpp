// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <utility>

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
  NoteIfBlank(ctx, read.registers[kCalibrationRegister].raw);

  if (ctx.options.json) {
    const int address = read.deviceAddress;
    Json doc = {{"device_address", address},
                {"device_address_hex", Hex(static_cast<unsigned>(address), 2)},
                {"acknowledged", true},
                {"current_lsb_amps", JsonRound(read.currentLsbAmps)},
                {"power_lsb_watts", JsonRound(read.powerLsbWatts)}};
    // The quantities under the names monitor and the log give them.
    constexpr std::pair<const char*, int> kQuantities[] = {
        {"shunt_volts", 1}, {"bus_volts", 2}, {"watts", 3}, {"amps", 4}};
    for (const auto& [key, reg] : kQuantities) {
      const RegisterValue& r = read.registers[static_cast<size_t>(reg)];
      doc[key] = r.scaled ? Json(JsonRound(*r.scaled, resolution[reg])) : Json(nullptr);
    }
    doc["registers"] = Json::array();
    for (const RegisterValue& r : read.registers) {
      Json reg = {{"register", r.reg}, {"address", "0" + std::to_string(r.reg) + "h"},
                  {"name", r.name},    {"raw", r.raw},
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
