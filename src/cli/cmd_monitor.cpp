// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/statistics_output.h"
#include "registers/register_map.h"

namespace evm::cli {

namespace {

void PrintPass(CliContext& ctx, const Measurement& m) {
  // A quantity the run did not read is null, not a number it never measured.
  const auto shunt =
      std::isnan(m.shuntVolts) ? Json(nullptr) : Json(JsonRound(m.shuntVolts, kShuntVoltsLsb));
  if (ctx.options.json) {
    PrintJsonLine(ctx, Json{{"time", m.time},
                            {"acknowledged", m.acknowledged},
                            {"bus_volts", JsonRound(m.busVolts, kBusVoltsLsb)},
                            {"shunt_volts", shunt},
                            {"amperes", JsonRound(m.amperes, m.currentLsbAmps)},
                            {"watts", JsonRound(m.watts, m.powerLsbWatts)}});
  } else if (!m.acknowledged) {
    ctx.out << m.time << "  " << NotAcknowledged(ctx.options.deviceAddress, " every read") << "\n";
  } else {
    char line[200];
    if (std::isnan(m.shuntVolts)) {
      std::snprintf(line, sizeof line, "%s  bus %.3f V  current %.6g A  power %.6g W\n",
                    m.time.c_str(), m.busVolts, m.amperes, m.watts);
    } else {
      std::snprintf(line, sizeof line,
                    "%s  bus %.3f V  shunt %.3f mV  current %.6g A  power %.6g W\n", m.time.c_str(),
                    m.busVolts, m.shuntVolts * 1000, m.amperes, m.watts);
    }
    ctx.out << line;
  }
  ctx.out.flush();
}

}  // namespace

void ReportRate(CliContext& ctx, const MonitorLength& length, long samples, double rate,
                long lost) {
  if (length.mode == AcquisitionMode::Passes) return;
  char line[160];
  std::snprintf(line, sizeof line, "%ld %s, %.1f a second, %ld lost\n", samples,
                samples == 1 ? "sample" : "samples", rate, lost);
  ctx.err << line;
}

namespace {}  // namespace

int RunMonitor(CliContext& ctx) {
  const MonitorLength length = RunOf(ctx.options);
  // Nobody gets what is printed: reading on would run for ever.
  std::stop_source outputGone;
  const RunSummary run = ctx.bench->Monitor(
      length,
      [&](const Measurement& m) {
        PrintPass(ctx, m);
        if (!ctx.out) outputGone.request_stop();
      },
      outputGone.get_token());
  ReportRate(ctx, length, run.passes, run.rate, run.lost);
  // Also of a run cut short: what was read is summed up as it was.
  if (ctx.options.Flag("--stats")) PrintStatistics(ctx, ctx.bench->LastStatistics());

  // Ended by the user, not by its count: as log and script say.
  if (ctx.Stopped()) return Fail(ctx, kExitInterrupted, "interrupted");
  if (run.unacknowledged > 0) {
    return Fail(ctx, kExitFailed,
                NotAcknowledged(ctx.options.deviceAddress,
                                " every read in " + std::to_string(run.unacknowledged) + " of " +
                                    std::to_string(run.passes) + " passes"));
  }
  return kExitOk;
}

}  // namespace evm::cli
