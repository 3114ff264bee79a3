// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"

namespace evm::cli {

namespace {

std::string ReportHex(const std::array<uint8_t, 32>& report) {
  std::string text;
  for (size_t i = 0; i < report.size(); ++i) text += (i > 0 ? " " : "") + Hex(report[i], 2);
  return text;
}

}  // namespace

int RunEncode(CliContext& ctx) {
  // The words may come quoted or not: "CMD MUX 40" and CMD MUX 40 are one text.
  std::string text;
  for (const std::string& a : ctx.options.args) text += (text.empty() ? "" : " ") + a;

  std::array<uint8_t, 32> report{};
  try {
    report = Bench::Encode(text);
  } catch (const ParseError& e) {
    if (ctx.options.json) {
      // The parser's own words, without the text they are about.
      const std::string what = e.what();
      const std::string about = "'" + text + "': ";
      PrintJson(ctx, Json{{"text", text},
                          {"error", what.starts_with(about) ? what.substr(about.size()) : what}});
    }
    throw;
  }
  if (ctx.options.json) {
    PrintJson(ctx, Json{{"text", text},
                        {"report", std::vector<unsigned>(report.begin(), report.end())},
                        {"hex", ReportHex(report)}});
  } else {
    ctx.out << ReportHex(report) << "\n";
  }
  return kExitOk;
}

}  // namespace evm::cli
