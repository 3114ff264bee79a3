// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/statistics_output.h"

#include <cstdio>
#include <utility>

#include "cli/cli_session.h"

namespace evm::cli {

namespace {

const std::pair<const char*, QuantityStatistics RunStatistics::*> kQuantities[] = {
    {"bus_volts", &RunStatistics::busVolts},
    {"shunt_volts", &RunStatistics::shuntVolts},
    {"amps", &RunStatistics::amps},
    {"watts", &RunStatistics::watts}};

}  // namespace

Json StatisticsJson(const RunStatistics& stats) {
  Json json{{"samples", stats.samples}, {"seconds", stats.seconds}, {"lost", stats.lost}};
  for (const auto& [name, member] : kQuantities) {
    const QuantityStatistics& q = stats.*member;
    json[name] = q.samples == 0 ? Json(nullptr)
                                : Json{{"min", q.min},
                                       {"mean", q.mean},
                                       {"max", q.max},
                                       {"std", q.stdDev},
                                       {"peak_to_peak", q.peakToPeak}};
  }
  json["charge_amp_seconds"] = stats.chargeAmpSeconds;
  json["charge_mah"] = stats.chargeMah;
  json["energy_joules"] = stats.energyJoules;
  json["energy_wh"] = stats.energyWh;
  return json;
}

void PrintStatistics(CliContext& ctx, const RunStatistics& stats) {
  if (ctx.options.json) {
    PrintJsonLine(ctx, Json{{"schema", 1}, {"statistics", StatisticsJson(stats)}});
    return;
  }
  char line[200];
  std::snprintf(line, sizeof line, "statistics of %ld %s over %.6f s, %ld lost\n", stats.samples,
                stats.samples == 1 ? "sample" : "samples", stats.seconds, stats.lost);
  ctx.out << line;
  std::snprintf(line, sizeof line, "%-12s %13s %13s %13s %13s %13s\n", "", "min", "mean", "max",
                "std", "peak_to_peak");
  ctx.out << line;
  for (const auto& [name, member] : kQuantities) {
    const QuantityStatistics& q = stats.*member;
    if (q.samples == 0) {
      std::snprintf(line, sizeof line, "%-12s %13s\n", name, "not read");
    } else {
      std::snprintf(line, sizeof line, "%-12s %13.7g %13.7g %13.7g %13.7g %13.7g\n", name, q.min,
                    q.mean, q.max, q.stdDev, q.peakToPeak);
    }
    ctx.out << line;
  }
  std::snprintf(line, sizeof line, "charge %.7g A*s (%.7g mAh), energy %.7g J (%.7g Wh)\n",
                stats.chargeAmpSeconds, stats.chargeMah, stats.energyJoules, stats.energyWh);
  ctx.out << line;
  ctx.out.flush();
}

}  // namespace evm::cli
