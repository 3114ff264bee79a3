#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "calibration/continuous_read.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "plot/measurement_series.h"

namespace evm::cli {

namespace {

constexpr double kSecondsPerDay = 86400;

std::string PassLine(const MeasurementPass& p, bool json, const std::string& address) {
  if (json) {
    JsonWriter w;
    w.BeginObject()
        .Key("time")
        .String(TimeStampText(p.time))
        .Key("acknowledged")
        .Bool(p.acknowledged)
        .Key("bus_volts")
        .Number(p.busVolts)
        .Key("shunt_volts")
        .Number(p.shuntVolts)
        .Key("amperes")
        .Number(p.amperes)
        .Key("watts")
        .Number(p.watts)
        .EndObject();
    return w.Text();
  }
  if (!p.acknowledged) {
    return TimeStampText(p.time) + "  not acknowledged: the device at address " + address +
           "h did not answer every read\n";
  }
  char line[200];
  std::snprintf(line, sizeof line, "%s  bus %.3f V  shunt %.3f mV  current %.6g A  power %.6g W\n",
                TimeStampText(p.time).c_str(), p.busVolts, p.shuntVolts * 1000, p.amperes, p.watts);
  return line;
}

}  // namespace

int RunMonitor(CliContext& ctx) {
  std::vector<std::string> args = ctx.options.args;
  std::string error;
  const auto passesText = TakeOption(args, "--passes", error);
  const auto secondsText = TakeOption(args, "--seconds", error);
  if (!error.empty()) return Fail(ctx, kExitUsage, error);
  if (!CheckArguments(ctx, args, 0, 0)) return kExitUsage;
  if (passesText && secondsText) return Fail(ctx, kExitUsage, "give --passes N or --seconds S");
  long passes = 0;
  double seconds = 0;
  if (!ReadRunLength(ctx, passesText, secondsText, passes, seconds)) return kExitUsage;

  Evm& evm = *ctx.evm;
  LoadState(ctx);
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  // Scaling by the calibration the calibration tab holds, as `read` does.
  ReadScaledRegisters(ctx);
  const std::string address = Hex2(static_cast<unsigned>(evm.registers.DeviceAddress));

  // Ctrl-C is held back and looked for after each pass, so the pass in
  // progress is printed whole and the run ends as if its count were done.
#ifndef _WIN32
  sigset_t interrupt, previous;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  pthread_sigmask(SIG_BLOCK, &interrupt, &previous);
  const auto interrupted = [&interrupt] {
    const timespec now{0, 0};
    return sigtimedwait(&interrupt, nullptr, &now) == SIGINT;
  };
#else
  // The console's Ctrl-C ends the process there; no signal to hold back.
  const auto interrupted = [] { return false; };
#endif

  long done = 0;
  long unacknowledged = 0;
  const double start = evm.clock.SecondsSinceMidnight();
  const int listener = evm.measurement.AddPassListener([&](const MeasurementPass& p) {
    ++done;
    if (!p.acknowledged) ++unacknowledged;
    ctx.out << PassLine(p, ctx.options.json, address) << std::flush;
    double elapsed = evm.clock.SecondsSinceMidnight() - start;
    if (elapsed < 0) elapsed += kSecondsPerDay;
    if ((passes > 0 && done >= passes) || (seconds > 0 && elapsed >= seconds) || interrupted()) {
      cmdStopContinuousRead_Click(evm);
    }
  });
  cmdStartContinuousRead_Click(evm);
  evm.measurement.RemovePassListener(listener);
  StopMeasurement(evm);
  evm.regLink.CloseRegLink();
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
#endif

  if (unacknowledged > 0) {
    return Fail(ctx, kExitFailed,
                "the device at address " + address + "h did not acknowledge every read in " +
                    std::to_string(unacknowledged) + " of " + std::to_string(done) + " passes");
  }
  return kExitOk;
}

}  // namespace evm::cli
