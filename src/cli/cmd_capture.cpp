// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/number_text.h"
#include "common/utf8_path.h"

namespace evm::cli {

namespace {

// "2026-01-15T09:00:00.123456+01:00" of a local time such as
// Measurement::timeSeconds, which counts local seconds since 1970: the
// zone is the system's at that local time.
std::string IsoLocalTime(const std::string& stamp, double localSeconds) {
  std::tm tm{};
  if (std::sscanf(stamp.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                  &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6) {
    return stamp;
  }
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  const std::time_t epoch = std::mktime(&tm);
  std::string iso = stamp;
  iso[10] = 'T';
  if (epoch == static_cast<std::time_t>(-1)) return iso;
  const long offset = std::lround(std::floor(localSeconds) - static_cast<double>(epoch));
  // Zones lie within a day of UTC; anything else is no zone to print.
  const int minutes = static_cast<int>(std::min(std::labs(offset), 86399L) / 60);
  char zone[16];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return iso + zone;
}

double Seconds(const std::optional<std::string>& text) {
  return text ? ParseInvariantNumber(*text).value_or(0) : 0;
}

void PrintCapture(CliContext& ctx, const CaptureRequest& request, const CaptureResult& c) {
  const double start = c.samples.empty() ? c.triggerTimeSeconds : c.samples.front().timeSeconds;
  const double end = c.samples.empty() ? c.triggerTimeSeconds : c.samples.back().timeSeconds;
  if (ctx.options.json) {
    Json line{{"schema", 1},
              {"capture", c.number},
              {"trigger", request.trigger},
              {"trigger_time", IsoLocalTime(c.triggerTime, c.triggerTimeSeconds)},
              // Where the trigger is in the file's time_s column.
              {"trigger_time_s", JsonRound(c.triggerTimeSeconds - start, 1e-6)},
              {"trigger_index", c.triggerIndex},
              {"samples", c.samples.size()},
              {"seconds", JsonRound(end - start, 1e-6)},
              {"truncated", c.truncated},
              {"file", c.file.empty() ? Json(nullptr) : Json(c.file)}};
    PrintJsonLine(ctx, line);
  } else {
    char line[160];
    std::snprintf(line, sizeof line,
                  "capture %ld: trigger at %s, %zu samples, %.6f s before, %.6f s after%s  ",
                  c.number, c.triggerTime.c_str(), c.samples.size(), c.triggerTimeSeconds - start,
                  end - c.triggerTimeSeconds, c.truncated ? " (truncated)" : "");
    ctx.out << line << c.file << "\n";
  }
  ctx.out.flush();
}

}  // namespace

int RunCapture(CliContext& ctx) {
  CaptureRequest request;
  request.trigger = ctx.options.Value("--trigger").value_or("");
  if (request.trigger.empty()) return Fail(ctx, kExitUsage, "give --trigger, such as 'amps>0.5'");
  const auto out = ctx.options.Value("--out");
  if (!out) return Fail(ctx, kExitUsage, "give --out DIR, the folder for the capture files");
  request.folder = PathFromUtf8(*out);
  request.preSeconds = Seconds(ctx.options.Value("--pre"));
  request.postSeconds = Seconds(ctx.options.Value("--post"));
  request.timeoutSeconds = Seconds(ctx.options.Value("--timeout"));
  request.count = static_cast<long>(Seconds(ctx.options.Value("--count")));
  if (!ctx.options.Value("--count")) request.count = 1;
  request.mode = ctx.options.Value("--registers").value_or("4") == "2" ? AcquisitionMode::FastTwo
                                                                       : AcquisitionMode::Fast;
  if (request.mode == AcquisitionMode::FastTwo &&
      request.trigger.find("shunt_volts") != std::string::npos) {
    return Fail(ctx, kExitUsage, "--registers 2 does not read shunt_volts to trigger on");
  }
  const CaptureSummary summary =
      ctx.bench->Capture(request, [&](const CaptureResult& c) { PrintCapture(ctx, request, c); });
  char line[160];
  std::snprintf(line, sizeof line, "%ld %s, %ld samples, %.1f a second, %ld lost\n",
                summary.captures, summary.captures == 1 ? "capture" : "captures", summary.samples,
                summary.rate, summary.lost);
  ctx.err << line;
  if (summary.stopped) return Fail(ctx, kExitInterrupted, "interrupted");
  if (summary.timedOut) {
    const long complete = summary.captures - (summary.cut ? 1 : 0);
    return Fail(
        ctx, kExitFailed,
        "the time-out of " + *ctx.options.Value("--timeout") + " s came after " +
            std::to_string(complete) + " of " + std::to_string(request.count) + " captures" +
            (summary.cut
                 ? "; capture " + std::to_string(summary.captures) + " was cut short and kept"
                 : ""));
  }
  if (summary.unacknowledged > 0) {
    return Fail(ctx, kExitFailed,
                NotAcknowledged(ctx.options.deviceAddress,
                                " every read in " + std::to_string(summary.unacknowledged) +
                                    " of " + std::to_string(summary.samples) +
                                    " samples; those were left out of the captures"));
  }
  return kExitOk;
}

}  // namespace evm::cli
