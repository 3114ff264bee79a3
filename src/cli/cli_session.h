#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <system_error>

#include "calibration/run_length.h"
#include "cli/cli_context.h"
#include "registers/register_ops.h"

namespace evm::cli {

// Writes "evmctl COMMAND: text" on standard error and returns `code`.
int Fail(CliContext& ctx, int code, const std::string& text);

// --passes N or --seconds S, as the parser checked them.
RunLength RunLengthOf(const std::optional<std::string>& passesText,
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

// The command's --json answer, printed when it ends (see EndJsonOutput).
void PrintJson(CliContext& ctx, const Json& json);
// One line of a stream of documents, printed at once.
void PrintJsonLine(CliContext& ctx, const Json& json);

// A line of progress on a terminal, overwritten by the next.
void Progress(CliContext& ctx, const std::string& text);
void EndProgress(CliContext& ctx);

}  // namespace evm::cli
