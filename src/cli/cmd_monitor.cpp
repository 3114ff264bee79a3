// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "registers/register_map.h"

namespace evm::cli {

namespace {

void PrintPass(CliContext& ctx, const Measurement& m) {
  if (ctx.options.json) {
    PrintJsonLine(ctx, Json{{"time", m.time},
                            {"acknowledged", m.acknowledged},
                            {"bus_volts", JsonRound(m.busVolts, kBusVoltsLsb)},
                            {"shunt_volts", JsonRound(m.shuntVolts, kShuntVoltsLsb)},
                            {"amperes", JsonRound(m.amperes, m.currentLsbAmps)},
                            {"watts", JsonRound(m.watts, m.powerLsbWatts)}});
  } else if (!m.acknowledged) {
    ctx.out << m.time << "  " << NotAcknowledged(ctx.options.deviceAddress, " every read") << "\n";
  } else {
    char line[200];
    std::snprintf(line, sizeof line,
                  "%s  bus %.3f V  shunt %.3f mV  current %.6g A  power %.6g W\n", m.time.c_str(),
                  m.busVolts, m.shuntVolts * 1000, m.amperes, m.watts);
    ctx.out << line;
  }
  ctx.out.flush();
}

}  // namespace

int RunMonitor(CliContext& ctx) {
  const MonitorLength length =
      RunLengthOf(ctx.options.Value("--passes"), ctx.options.Value("--seconds"));
  // Nobody gets what is printed: reading on would run for ever.
  std::stop_source outputGone;
  const RunSummary run = ctx.bench->Monitor(
      length,
      [&](const Measurement& m) {
        PrintPass(ctx, m);
        if (!ctx.out) outputGone.request_stop();
      },
      outputGone.get_token());

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
