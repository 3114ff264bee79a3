#include <cstdio>

#include "calibration/measurement_log.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/utf8_path.h"

namespace evm::cli {

namespace {

int LogRefused(CliContext& ctx, const std::string& file, const std::error_code& ec) {
  if (IsFileFault(ec)) return Fail(ctx, kExitUsage, FileFaultText(file, ec));
  return Fail(ctx, kExitUsage, "cannot create the log file '" + file + "': " + ec.message());
}

}  // namespace

int RunLog(CliContext& ctx) {
  const auto passesText = ctx.options.Value("--passes");
  const auto secondsText = ctx.options.Value("--seconds");
  if (!passesText && !secondsText) return Fail(ctx, kExitUsage, "give --passes N or --seconds S");
  RunLength length = RunLengthOf(passesText, secondsText);
  const std::string& file = ctx.options.args[0];
  // A target that cannot be a log is bad input whatever board is there.
  if (const std::error_code target = CheckWritableTarget(PathFromUtf8(file))) {
    return LogRefused(ctx, file, target);
  }

  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  RegisterLink& link = ctx.evm->regLink;
  Clock& clock = ctx.clock;
  const int address = ctx.options.deviceAddress;
  // No log of values the device never gave.
  const RegisterRead first = ReadRegisters(link, address, kNormalLastReg);
  if (!first.AllAcknowledged()) {
    return Fail(ctx, kExitFailed, LinkFailure(ctx, address, "", " (see --address)"));
  }
  const Scaling scaling = StoredScaling(ctx, first);

  MeasurementLog log;
  std::error_code logError;
  if (!log.Open(PathFromUtf8(file), logError)) {
    return LogRefused(ctx, file, logError);
  }

  long done = 0;
  long unacknowledged = 0;
  length.Start(clock);
  for (;;) {
    if (ctx.Stopped()) break;
    const MeasurementRecord record = MeasureOnce(link, clock, address, kNormalLastReg, scaling);
    ++done;
    // A pass the device did not fully give has nothing worth logging.
    if (!record.registers.AllAcknowledged()) {
      ++unacknowledged;
    } else if (!log.Append(record, logError)) {
      // Reading on without a log would only hide that the log is gone.
      EndProgress(ctx);
      return Fail(ctx, kExitUsage,
                  "logging to '" + file + "' stopped after a failed write: " + logError.message());
    }
    if (ctx.io.progress) {
      char line[120];
      std::snprintf(line, sizeof line, "%ld %s, %.0f s, last %.6g A", done,
                    done == 1 ? "pass" : "passes", length.Elapsed(clock),
                    record.quantities.amperes);
      Progress(ctx, line);
    }
    if (length.Over(done, clock)) break;
  }
  log.Close();
  EndProgress(ctx);

  const long logged = done - unacknowledged;
  if (ctx.options.json) {
    PrintJson(
        ctx,
        Json{{"file", file}, {"passes", done}, {"logged", logged}, {"interrupted", ctx.Stopped()}});
  } else {
    ctx.out << file << ": " << logged << (logged == 1 ? " pass" : " passes") << " logged\n";
  }
  if (ctx.Stopped()) return Fail(ctx, kExitInterrupted, "interrupted");
  if (unacknowledged > 0) {
    return Fail(ctx, kExitFailed,
                NotAcknowledged(address, " every read in " + std::to_string(unacknowledged) +
                                             " of " + std::to_string(done) +
                                             " passes; those passes were not logged"));
  }
  return kExitOk;
}

}  // namespace evm::cli
