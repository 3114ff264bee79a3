#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "mnemonic/mnemonic_language.h"

namespace evm::cli {

namespace {

std::string ReportHex(const MnemonicReportArray& report) {
  std::string text;
  for (size_t i = 0; i < 32; ++i) {
    if (i > 0) text += " ";
    text += Hex2(report[i]);
  }
  return text;
}

}  // namespace

int RunEncode(CliContext& ctx) {
  const std::vector<std::string>& args = ctx.options.args;
  if (!CheckArguments(ctx, args, 1, args.size())) return kExitUsage;
  // The words may come quoted or not: "CMD MUX 40" and CMD MUX 40 are one text.
  std::string text;
  for (const std::string& a : args) text += (text.empty() ? "" : " ") + a;

  // The sequence number the first command of a session carries.
  ParsedMnemonic parsed;
  ParseMnemonicText(text, NextSequenceNumber(0), parsed);

  if (ctx.options.json) {
    JsonWriter json;
    json.BeginObject().Key("text").String(text);
    if (parsed.error.empty()) {
      json.Key("report").BeginArray();
      for (size_t i = 0; i < 32; ++i) json.Integer(parsed.report[i]);
      json.EndArray().Key("hex").String(ReportHex(parsed.report));
    } else {
      json.Key("error").String(parsed.error);
    }
    ctx.out << json.EndObject().Text();
  } else if (parsed.error.empty()) {
    ctx.out << ReportHex(parsed.report) << "\n";
  }
  if (!parsed.error.empty()) return Fail(ctx, kExitUsage, "'" + text + "': " + parsed.error);
  return kExitOk;
}

}  // namespace evm::cli
