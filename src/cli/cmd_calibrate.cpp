// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>
#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/eng_number.h"
#include "common/hex_text.h"
#include "common/number_text.h"
#include "registers/config_fields.h"

namespace evm::cli {

namespace {

std::string Flattened(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

}  // namespace

int RunCalibrate(CliContext& ctx) {
  const CliOptions& o = ctx.options;
  const auto rshunt = o.Value("--rshunt");
  const auto current = o.Value("--max-current");
  const auto lsb = o.Value("--lsb");
  const auto pga = o.Value("--pga");
  const auto bus = o.Value("--bus");
  const bool write = o.Flag("--write");
  for (const auto& [name, value] :
       {std::pair{"--rshunt", &rshunt}, std::pair{"--max-current", &current},
        std::pair{"--lsb", &lsb}}) {
    if (!*value) return Fail(ctx, kExitUsage, std::string(name) + " is required");
  }
  // --pga and --bus are one of their choices, as the parser checked.
  int pgaField = -1;
  constexpr std::array<const char*, 4> kDividers = {"div1", "div2", "div4", "div8"};
  for (size_t i = 0; pga && i < kDividers.size(); ++i) {
    if (*pga == kDividers[i]) pgaField = static_cast<int>(i);
  }
  int busField = -1;
  if (bus) busField = *bus == "16" ? 0 : 1;

  // The ranges come from the device's register 00h unless both are given;
  // a calculation with both needs no board.
  const bool needBoard = write || !pga || !bus;
  int32_t config = needBoard ? ctx.bench->ReadConfig() : 0;
  if (pgaField >= 0) config = WithField(config, kConfigPga, pgaField);
  if (busField >= 0) config = WithField(config, kConfigBusRange, busField);

  const NumberLocale point = NumberLocale::Point();
  const CalibrationResult c = Bench::Calculate({.rshuntOhms = ParseEngNumber(*rshunt, point),
                                                .maxExpectedAmps = ParseEngNumber(*current, point),
                                                .currentLsbAmps = ParseEngNumber(*lsb, point),
                                                .rshuntText = *rshunt,
                                                .maxExpectedCurrentText = *current,
                                                .currentLsbText = *lsb},
                                               static_cast<uint16_t>(config));
  switch (c.refusal) {
    case CalibrationRefusal::Rshunt:
      return Fail(ctx, kExitUsage, "--rshunt '" + *rshunt + "' refused: " + c.refusalMessage);
    case CalibrationRefusal::MaxExpectedCurrent: {
      // The tab's own refusal, then the limit as a plain number ("4", not
      // the tab's "4.").
      const std::string& message = c.refusalMessage;
      return Fail(ctx, kExitUsage,
                  "--max-current '" + *current +
                      "' refused: " + message.substr(0, message.find('\r')) +
                      "\n  It must be above 0 and at most the Max Possible Current, " +
                      FormatGeneral(c.maxPossibleAmps, point) + " A.");
    }
    case CalibrationRefusal::CurrentLsb:
      return Fail(ctx, kExitUsage, "--lsb '" + *lsb + "' refused: " + c.refusalMessage);
    case CalibrationRefusal::TooLarge:
      return Fail(ctx, kExitUsage, "--lsb '" + *lsb + "' refused: " + Flattened(c.refusalMessage));
    case CalibrationRefusal::None: break;
  }

  int status = kExitOk;
  std::string failure;
  if (write) {
    try {
      ctx.bench->ApplyCalibration(c);
    } catch (const Error& e) {
      // The table is shown all the same; the failure comes after it.
      status = dynamic_cast<const FileError*>(&e) ? kExitUsage : kExitFailed;
      failure = e.what();
    }
  }

  if (o.json) {
    // Numbers under the tab's names; the hexadecimal boxes are numbers too
    // (calibration, max_current_before_overflow_code). What the tab shows
    // is beside them under "text".
    Json doc;
    Json text;
    for (const CalibrationRow& r : c.rows) {
      text[r.key] = Trimmed(r.text);
      if (r.key.ends_with("_hex")) continue;
      doc[r.key] = JsonRound(r.value);
    }
    doc["calibration"] = c.calibration;
    doc["max_current_before_overflow_code"] = c.maxCurrentBeforeOverflowCode;
    doc["overflow_possible"] = c.overflowPossible;
    doc["written"] = write && status == kExitOk;
    text["overflow"] = c.overflowNote;
    doc["text"] = text;
    PrintJson(ctx, doc);
  } else {
    for (const CalibrationRow& r : c.rows) {
      char line[160];
      std::snprintf(line, sizeof line, "%-42s %-10s %s", r.caption.c_str(), Trimmed(r.text).c_str(),
                    r.unit.c_str());
      ctx.out << line << "\n";
    }
    ctx.out << c.overflowNote << "\n";
    if (write && status == kExitOk) {
      ctx.out << "register 05h = " << Hex(c.calibration, 4) << " written\n";
    }
  }
  if (status != kExitOk) return Fail(ctx, status, failure);
  return kExitOk;
}

}  // namespace evm::cli
