// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"

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
  Json doc = {{"commands", Json::array()}};
  int status = kExitOk;
  // Each exchange is shown as it comes, the unanswered one too.
  const auto show = [&](const MnemonicReply& x) {
    if (ctx.options.json) {
      doc["commands"].push_back({{"text", x.text},
                                 {"command", x.command},
                                 {"answer", x.answer},
                                 {"reads", x.reads},
                                 {"acks", x.acks},
                                 {"answered", x.answered},
                                 {"acknowledged", x.acknowledged}});
    } else {
      ctx.out << "> " << x.text << "\n"
              << "  command  " << ByteList(x.command) << "\n"
              << "  answer   " << ByteList(x.answer) << "\n"
              << "  reads    " << ByteList(x.reads) << "\n"
              << "  acks     " << ByteList(x.acks) << "\n";
    }
    if (x.answered && !x.acknowledged) {
      status = Fail(ctx, kExitFailed, "'" + x.text + "': the device did not acknowledge");
    }
  };
  try {
    ctx.bench->Send(ctx.options.args, show);
  } catch (const BoardSilentError& e) {
    status = Fail(ctx, e);
  }
  if (ctx.options.json) PrintJson(ctx, doc);
  return status;
}

}  // namespace evm::cli
