#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <system_error>

#include "cli/cli_context.h"
#include "registers/register_ops.h"

namespace evm::cli {

using Json = nlohmann::ordered_json;

// Writes "evmctl COMMAND: text" on standard error and returns `code`.
int Fail(CliContext& ctx, int code, const std::string& text);

// A file argument that names no file is refused with `what` in the error.
bool CheckFileName(CliContext& ctx, const std::string& file, const std::string& what);

// How long a continuous read runs: N passes or S seconds, or (neither
// given) until it is stopped.
struct RunLength {
  long passes = 0;
  double seconds = 0;
  double start = 0;  // seconds since midnight when reading began

  void Start(Clock& clock) { start = clock.SecondsSinceMidnight(); }
  // After `done` passes; a run over midnight goes on counting its seconds.
  bool Over(long done, Clock& clock) const;
};

// --passes N (a whole number) or --seconds S, both above 0; nullopt after a
// usage message.
std::optional<RunLength> ReadRunLength(CliContext& ctx,
                                       const std::optional<std::string>& passesText,
                                       const std::optional<std::string>& secondsText);

// "cannot read 'FILE': REASON" as the command's failure.
int FailUnreadable(CliContext& ctx, const std::string& file, const std::error_code& ec);

// Each names what it looked for on standard error when it is not there.
bool ConnectRegisterLink(CliContext& ctx);
bool ConnectInterfaceBoard(CliContext& ctx);

// "the device at address 40h did not acknowledge" and what follows.
std::string NotAcknowledged(int deviceAddress, const std::string& what);
// The same for the last transfer, unless the link itself failed (no answer,
// or a garbled one): that is "the register link did not answer", and the
// device's address is not to blame. `seeAlso` follows only a NACK.
std::string LinkFailure(CliContext& ctx, int deviceAddress, const std::string& what,
                        const std::string& seeAlso = "");

// The scaling of the calibration the last session kept (see calibrate
// --write), on the ranges register 00h of `read` sets; none when there is
// no valid calibration.
Scaling StoredScaling(CliContext& ctx, const RegisterRead& read);

// The document and a line break; text that is not UTF-8 is replaced, so the
// output always parses.
void PrintJson(CliContext& ctx, const Json& json);

// A line of progress on a terminal, overwritten by the next.
void Progress(CliContext& ctx, const std::string& text);
void EndProgress(CliContext& ctx);

}  // namespace evm::cli
