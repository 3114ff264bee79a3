#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "mnemonic/mnemonic_language.h"

namespace evm::cli {

namespace {

std::string ReportHex(const MnemonicReportArray& report) {
  std::string text;
  for (size_t i = 0; i < 32; ++i) text += (i > 0 ? " " : "") + Hex(report[i], 2);
  return text;
}

}  // namespace

int RunEncode(CliContext& ctx) {
  // The words may come quoted or not: "CMD MUX 40" and CMD MUX 40 are one text.
  std::string text;
  for (const std::string& a : ctx.options.args) text += (text.empty() ? "" : " ") + a;

  // The sequence number the first command of a session carries.
  ParsedMnemonic parsed;
  ParseMnemonicText(text, NextSequenceNumber(0), parsed);

  if (ctx.options.json) {
    Json doc = {{"text", text}};
    if (parsed.error.empty()) {
      doc["report"] = std::vector<unsigned>(parsed.report.begin(), parsed.report.begin() + 32);
      doc["hex"] = ReportHex(parsed.report);
    } else {
      doc["error"] = parsed.error;
    }
    PrintJson(ctx, doc);
  } else if (parsed.error.empty()) {
    ctx.out << ReportHex(parsed.report) << "\n";
  }
  if (!parsed.error.empty()) return Fail(ctx, kExitUsage, "'" + text + "': " + parsed.error);
  return kExitOk;
}

}  // namespace evm::cli
