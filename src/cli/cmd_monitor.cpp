// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdio>
#include <optional>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/statistics_output.h"
#include "common/zoned_time.h"
#include "registers/register_map.h"

namespace evm::cli {

namespace {

// `start`: the time of the run's first pass, from which time_s counts.
void PrintPass(CliContext& ctx, const Measurement& m, double start) {
  if (m.acknowledged && m.raw.size() > kCalibrationRegister) {
    NoteIfBlank(ctx, m.raw[kCalibrationRegister]);
  }
  // A quantity the run did not read is null, not a number it never measured.
  const auto shunt =
      std::isnan(m.shuntVolts) ? Json(nullptr) : Json(JsonRound(m.shuntVolts, kShuntVoltsLsb));
  if (ctx.options.json) {
    const size_t point = m.time.find('.');
    const ZonedTime time =
        ZonedTimeOf(m.timeSeconds,
                    point == std::string::npos ? 0 : static_cast<int>(m.time.size() - point - 1));
    // A register the run did not read is null, as its quantity is.
    const auto raw = [&m](int reg) {
      return (m.registersRead >> reg & 1) != 0 && static_cast<size_t>(reg) < m.raw.size()
                 ? Json(m.raw[static_cast<size_t>(reg)])
                 : Json(nullptr);
    };
    PrintJsonLine(ctx, Json{{"time", time.iso},
                            {"time_epoch_s", time.epochSeconds},
                            {"time_s", JsonRound(m.timeSeconds - start, 1e-6)},
                            {"acknowledged", m.acknowledged},
                            {"bus_volts", JsonRound(m.busVolts, kBusVoltsLsb)},
                            {"shunt_volts", shunt},
                            {"amps", JsonRound(m.amperes, m.currentLsbAmps)},
                            {"watts", JsonRound(m.watts, m.powerLsbWatts)},
                            {"shunt_raw", raw(1)},
                            {"bus_raw", raw(2)},
                            {"power_raw", raw(3)},
                            {"current_raw", raw(4)}});
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
      [&, start = std::optional<double>()](const Measurement& m) mutable {
        if (!start) start = m.timeSeconds;
        PrintPass(ctx, m, *start);
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
