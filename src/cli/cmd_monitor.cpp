#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "plot/measurement_series.h"
#include "registers/register_map.h"

namespace evm::cli {

namespace {

void PrintPass(CliContext& ctx, double time, const MeasurementRecord& r, const Scaling& scaling) {
  const bool acknowledged = r.registers.AllAcknowledged();
  const Quantities& q = r.quantities;
  if (ctx.options.json) {
    PrintJsonLine(ctx, Json{{"time", TimeStampText(time)},
                            {"acknowledged", acknowledged},
                            {"bus_volts", JsonRound(q.busVolts, kBusVoltsLsb)},
                            {"shunt_volts", JsonRound(q.shuntVolts, kShuntVoltsLsb)},
                            {"amperes", JsonRound(q.amperes, scaling.currentLsb)},
                            {"watts", JsonRound(q.watts, scaling.powerLsb)}});
  } else if (!acknowledged) {
    ctx.out << TimeStampText(time) << "  "
            << NotAcknowledged(r.registers.deviceAddress, " every read") << "\n";
  } else {
    char line[200];
    std::snprintf(line, sizeof line,
                  "%s  bus %.3f V  shunt %.3f mV  current %.6g A  power %.6g W\n",
                  TimeStampText(time).c_str(), q.busVolts, q.shuntVolts * 1000, q.amperes, q.watts);
    ctx.out << line;
  }
  ctx.out.flush();
}

}  // namespace

int RunMonitor(CliContext& ctx) {
  const auto passesText = ctx.options.Value("--passes");
  const auto secondsText = ctx.options.Value("--seconds");
  RunLength length = RunLengthOf(passesText, secondsText);

  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  RegisterLink& link = ctx.evm->regLink;
  Clock& clock = ctx.clock;
  const int address = ctx.options.deviceAddress;
  // Scaled by the calibration the last session kept, as `read` does.
  const Scaling scaling = StoredScaling(ctx, ReadRegisters(link, address, kNormalLastReg));

  long done = 0;
  long unacknowledged = 0;
  length.Start(clock);
  // Ctrl-C is looked for between passes, so the pass in progress is printed
  // whole and the run ends as if its count were done.
  while (!ctx.Stopped()) {
    const MeasurementRecord record = MeasureOnce(link, clock, address, kNormalLastReg, scaling);
    DateTime day = record.time;
    day.hour = day.minute = day.second = 0;
    PrintPass(ctx, SecondsOf(day) + clock.SecondsSinceMidnight(), record, scaling);
    ++done;
    if (!record.registers.AllAcknowledged()) ++unacknowledged;
    if (length.Over(done, clock)) break;
    // Nobody gets what is printed: reading on would run for ever.
    if (!ctx.out) break;
  }

  // Ended by the user, not by its count: as log and script say.
  if (ctx.Stopped()) return Fail(ctx, kExitInterrupted, "interrupted");
  if (unacknowledged > 0) {
    return Fail(ctx, kExitFailed,
                NotAcknowledged(address, " every read in " + std::to_string(unacknowledged) +
                                             " of " + std::to_string(done) + " passes"));
  }
  return kExitOk;
}

}  // namespace evm::cli
