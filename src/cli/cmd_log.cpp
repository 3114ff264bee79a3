// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "calibration/run_length.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/number_text.h"
#include "common/utf8_path.h"

namespace evm::cli {

int RunLog(CliContext& ctx) {
  const auto passesText = ctx.options.Value("--passes");
  const auto secondsText = ctx.options.Value("--seconds");
  if (!passesText && !secondsText) return Fail(ctx, kExitUsage, "give --passes N or --seconds S");
  const std::string& file = ctx.options.args[0];
  // Only for the progress line: the run's length is the Bench's to keep.
  const MonitorLength length = RunOf(ctx.options);
  RunLength elapsed;
  elapsed.Start(ctx.clock);
  LogSummary log;
  long shown = 0;
  double lastShown = 0;
  try {
    const auto summary = ctx.options.Value("--summary");
    const MeasurementCallback onPass = [&](const Measurement& m) {
      const long done = ++shown;
      // A terminal line ten times a second is enough to follow a fast run.
      if (!ctx.io.progress || m.timeSeconds - lastShown < 0.1) return;
      lastShown = m.timeSeconds;
      char line[120];
      std::snprintf(line, sizeof line, "%ld %s, %.0f s, last %.6g A", done,
                    done == 1 ? "pass" : "passes", elapsed.Elapsed(ctx.clock), m.amperes);
      Progress(ctx, line);
    };
    // The interval was checked and given in seconds by the parser.
    log = summary ? ctx.bench->LogSummaries(PathFromUtf8(file), length,
                                            ParseInvariantNumber(*summary).value_or(0), onPass)
                  : ctx.bench->Log(PathFromUtf8(file), length, onPass);
  } catch (const Error&) {
    if (shown > 0) EndProgress(ctx);
    throw;
  }
  EndProgress(ctx);
  ReportRate(ctx, length, log.passes, log.rate, log.lost);

  if (ctx.options.json) {
    Json json{{"file", file},
              {"passes", log.passes},
              {"logged", log.logged},
              {"interrupted", log.stopped}};
    if (length.mode != AcquisitionMode::Passes) {
      json["lost"] = log.lost;
      json["rate"] = log.rate;
    }
    PrintJson(ctx, json);
  } else {
    const bool fast = length.mode != AcquisitionMode::Passes;
    const char* what =
        fast ? (log.logged == 1 ? " sample" : " samples") : (log.logged == 1 ? " pass" : " passes");
    ctx.out << file << ": " << log.logged << what << " logged\n";
  }
  if (log.stopped) return Fail(ctx, kExitInterrupted, "interrupted");
  // A link that went silent during the run ended it with its error above.
  if (log.unacknowledged > 0) {
    return Fail(
        ctx, kExitFailed,
        NotAcknowledged(ctx.options.deviceAddress,
                        " every read in " + std::to_string(log.unacknowledged) + " of " +
                            std::to_string(log.passes) + " passes; those passes were not logged"));
  }
  return kExitOk;
}

}  // namespace evm::cli
