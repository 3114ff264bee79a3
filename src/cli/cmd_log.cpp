#include <cstdlib>

#include "calibration/continuous_read.h"
#include "cli/cli_session.h"
#include "cli/commands.h"

namespace evm::cli {

namespace {

constexpr double kSecondsPerDay = 86400;

}  // namespace

int RunLog(CliContext& ctx) {
  std::vector<std::string> args = ctx.options.args;
  std::string error;
  const auto passesText = TakeOption(args, "--passes", error);
  const auto secondsText = TakeOption(args, "--seconds", error);
  if (!error.empty()) return Fail(ctx, kExitUsage, error);
  if (!CheckArguments(ctx, args, 1, 1)) return kExitUsage;
  if (passesText.has_value() == secondsText.has_value()) {
    return Fail(ctx, kExitUsage, "give either --passes N or --seconds S");
  }
  long passes = 0;
  double seconds = 0;
  if (!ReadRunLength(ctx, passesText, secondsText, passes, seconds)) return kExitUsage;
  const std::string& file = args[0];
  if (!CheckFileName(ctx, file, "FILE")) return kExitUsage;

  Evm& evm = *ctx.evm;
  LoadState(ctx);
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  ReadScaledRegisters(ctx);
  const auto notAcknowledged = [&](const std::string& what) {
    return Fail(ctx, kExitFailed,
                "the device at address " +
                    Hex2(static_cast<unsigned>(evm.registers.DeviceAddress)) +
                    "h did not acknowledge " + what);
  };
  // No log of values the device never gave.
  if (evm.registerPanel.txtDutNotAckVisible) return notAcknowledged("(see --address)");

  // The menu item opens the log through its file dialog, which the file
  // named on the command line answers.
  ctx.ui.fileAnswer = file;
  mnuLogToFile_Click(evm);
  if (!evm.measurement.LogActive) {
    return Fail(ctx, kExitUsage, "cannot create the log file '" + file + "'");
  }

  long done = 0;
  const double start = evm.clock.SecondsSinceMidnight();
  evm.measurement.onPass = [&] {
    if (!evm.measurement.ContinuousRead) return;  // the pass after Stop
    ++done;
    // Reading on without a log would only hide that the log is gone.
    if (evm.measurement.logWriteFailed) {
      cmdStopContinuousRead_Click(evm);
      return;
    }
    double elapsed = evm.clock.SecondsSinceMidnight() - start;
    if (elapsed < 0) elapsed += kSecondsPerDay;
    if (passes > 0 ? done >= passes : elapsed >= seconds) cmdStopContinuousRead_Click(evm);
  };
  cmdStartContinuousRead_Click(evm);
  const long unacknowledged = evm.measurement.unacknowledgedPasses;
  const bool writeFailed = evm.measurement.logWriteFailed;
  StopMeasurement(evm);
  evm.measurement.onPass = nullptr;
  evm.regLink.CloseRegLink();

  if (writeFailed)
    return Fail(ctx, kExitUsage, "logging to '" + file + "' stopped after a failed write");
  const long logged = done - unacknowledged;
  if (!ctx.options.json)
    ctx.out << file << ": " << logged << (logged == 1 ? " pass" : " passes") << " logged\n";
  if (unacknowledged > 0) {
    return notAcknowledged("every read in " + std::to_string(unacknowledged) + " of " +
                           std::to_string(done) + " passes; those passes were not logged");
  }
  return kExitOk;
}

}  // namespace evm::cli
