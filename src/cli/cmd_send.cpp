#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "mnemonic/mnemonic_exchange.h"
#include "mnemonic/mnemonic_language.h"

namespace evm::cli {

namespace {

template <typename Bytes>
std::string ByteList(const Bytes& bytes) {
  std::string text;
  for (const unsigned b : bytes) text += (text.empty() ? "" : " ") + Hex(b, 2);
  return text.empty() ? "-" : text;
}

}  // namespace

int RunSend(CliContext& ctx) {
  const std::vector<std::string>& args = ctx.options.args;
  // Nothing goes to the board unless every command can be sent.
  for (const std::string& text : args) {
    ParsedMnemonic parsed;
    ParseMnemonicText(text, 1, parsed);
    if (!parsed.error.empty()) return Fail(ctx, kExitUsage, "'" + text + "': " + parsed.error);
  }
  if (!ConnectInterfaceBoard(ctx)) return kExitNoBoard;

  Json doc = {{"commands", Json::array()}};
  int status = kExitOk;
  for (const std::string& text : args) {
    const MnemonicExchange x = SendMnemonicText(ctx.evm->dutWriter, ctx.evm->results, text);
    if (ctx.options.json) {
      doc["commands"].push_back({{"text", text},
                                 {"command", x.command},
                                 {"answer", x.answer},
                                 {"reads", x.reads},
                                 {"acks", x.acks},
                                 {"answered", x.answered},
                                 {"acknowledged", x.Acknowledged()}});
    } else {
      ctx.out << "> " << text << "\n"
              << "  command  " << ByteList(x.command) << "\n"
              << "  answer   " << ByteList(x.answer) << "\n"
              << "  reads    " << ByteList(x.reads) << "\n"
              << "  acks     " << ByteList(x.acks) << "\n";
    }
    if (!x.answered) {
      status = Fail(ctx, kExitFailed, "'" + text + "': the interface board did not answer");
      break;
    }
    if (!x.Acknowledged()) {
      status = Fail(ctx, kExitFailed, "'" + text + "': the device did not acknowledge");
    }
  }
  if (ctx.options.json) PrintJson(ctx, doc);
  return status;
}

}  // namespace evm::cli
