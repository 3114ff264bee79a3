// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_session.h"

#include "common/hex_text.h"
#include "common/number_text.h"

namespace evm::cli {

int Fail(CliContext& ctx, int code, const std::string& text) {
  const std::string message = "evmctl " + ctx.options.command + ": " + text;
  if (ctx.failure.empty()) ctx.failure = message;
  ctx.err << message << "\n";
  return code;
}

int Fail(CliContext& ctx, const Error& error) {
  int code = kExitFailed;
  if (dynamic_cast<const NoBoardError*>(&error) ||
      dynamic_cast<const BoardNotOpenableError*>(&error)) {
    code = kExitNoBoard;
  } else if (dynamic_cast<const ParseError*>(&error) || dynamic_cast<const FileError*>(&error)) {
    code = kExitUsage;
  } else if (dynamic_cast<const CancelledError*>(&error)) {
    code = kExitInterrupted;
  }
  return Fail(ctx, code, error.what());
}

void NoteIfBlank(CliContext& ctx, uint16_t calibration) {
  if (calibration != 0 || ctx.blankNoted) return;
  ctx.blankNoted = true;
  // The chip computes current and power only with a calibration.
  ctx.err << "evmctl " << ctx.options.command
          << ": note: register 05h (Full Scale Cal) is 0, so current and power read 0; "
          << (ctx.options.keepBlank
                  ? "without --keep-blank the stored calibration is written to it first\n"
                  : "the stored calibration gives none: store one with 'evmctl calibrate ... "
                    "--write'\n");
}

std::string NotAcknowledged(int deviceAddress, const std::string& what) {
  return "the device at address " + Hex(static_cast<unsigned>(deviceAddress), 2) +
         "h did not acknowledge" + what;
}

MonitorLength RunLengthOf(const std::optional<std::string>& passesText,
                          const std::optional<std::string>& secondsText) {
  MonitorLength length;
  if (passesText) length.passes = static_cast<long>(ParseInvariantNumber(*passesText).value_or(0));
  if (secondsText) length.seconds = ParseInvariantNumber(*secondsText).value_or(0);
  return length;
}

MonitorLength RunOf(const CliOptions& options) {
  MonitorLength length = RunLengthOf(options.Value("--passes"), options.Value("--seconds"));
  if (options.Flag("--fast")) {
    length.mode = options.Value("--registers").value_or("4") == "2" ? AcquisitionMode::FastTwo
                                                                    : AcquisitionMode::Fast;
  }
  return length;
}

void PrintJson(CliContext& ctx, const Json& json) {
  ctx.document = json;
}

void PrintJsonLine(CliContext& ctx, const Json& json) {
  ctx.streamed = true;
  PrintJsonDocument(ctx.out, json);
}

void Progress(CliContext& ctx, const std::string& text) {
  if (ctx.io.progress) ctx.err << "\r" << text << std::flush;
}

void EndProgress(CliContext& ctx) {
  if (ctx.io.progress) ctx.err << "\n";
}

}  // namespace evm::cli
