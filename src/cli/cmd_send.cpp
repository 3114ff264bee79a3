#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "mnemonic/mnemonic_language.h"

namespace evm::cli {

namespace {

std::string ByteList(const std::vector<unsigned>& bytes) {
  std::string text;
  for (const unsigned b : bytes) text += (text.empty() ? "" : " ") + Hex2(b);
  return text.empty() ? "-" : text;
}

void JsonBytes(JsonWriter& json, const char* key, const std::vector<unsigned>& bytes) {
  json.Key(key).BeginArray();
  for (const unsigned b : bytes) json.Integer(b);
  json.EndArray();
}

}  // namespace

int RunSend(CliContext& ctx) {
  const std::vector<std::string>& args = ctx.options.args;
  if (!CheckArguments(ctx, args, 1, args.size())) return kExitUsage;
  // Nothing goes to the board unless every command can be sent.
  for (const std::string& text : args) {
    ParsedMnemonic parsed;
    ParseMnemonicText(text, 1, parsed);
    if (!parsed.error.empty()) return Fail(ctx, kExitUsage, "'" + text + "': " + parsed.error);
  }

  Evm& evm = *ctx.evm;
  LoadState(ctx);
  if (!ConnectInterfaceBoard(ctx)) return kExitNoBoard;

  UsbDutWriter& writer = evm.dutWriter;
  JsonWriter json;
  json.BeginObject().Key("commands").BeginArray();
  int status = kExitOk;
  for (const std::string& text : args) {
    const int problemsBefore = ctx.ui.usbProblems;
    writer.SendMnemonic(text);
    const bool answered = ctx.ui.usbProblems == problemsBefore;

    std::vector<unsigned> command, answer, reads, acks;
    for (size_t i = 0; i < 32; ++i) {
      command.push_back(writer.MnemonicReport[i]);
      answer.push_back(writer.ResponseData[i]);
    }
    for (int i = 0; i < writer.ReadCount; ++i) {
      reads.push_back(evm.results.I2C_ReadData[static_cast<size_t>(i)].value_or(0));
    }
    for (int i = 0; i < writer.AckCount; ++i) {
      acks.push_back(evm.results.I2C_AckStatus[static_cast<size_t>(i)]);
    }
    bool acknowledged = true;
    for (const unsigned a : acks) acknowledged = acknowledged && a == 0;

    if (ctx.options.json) {
      json.BeginObject().Key("text").String(text);
      JsonBytes(json, "command", command);
      JsonBytes(json, "answer", answer);
      JsonBytes(json, "reads", reads);
      JsonBytes(json, "acks", acks);
      json.Key("answered").Bool(answered).Key("acknowledged").Bool(acknowledged).EndObject();
    } else {
      ctx.out << "> " << text << "\n"
              << "  command  " << ByteList(command) << "\n"
              << "  answer   " << ByteList(answer) << "\n"
              << "  reads    " << ByteList(reads) << "\n"
              << "  acks     " << ByteList(acks) << "\n";
    }
    if (!answered) {
      status = Fail(ctx, kExitFailed, "'" + text + "': the interface board did not answer");
      break;
    }
    if (!acknowledged) {
      status = Fail(ctx, kExitFailed, "'" + text + "': the device did not acknowledge");
    }
  }
  json.EndArray().EndObject();
  if (ctx.options.json) ctx.out << json.Text();
  return status;
}

}  // namespace evm::cli
