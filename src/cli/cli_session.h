// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_context.h"

namespace evm::cli {

// Writes "evmctl COMMAND: text" on standard error and returns `code`.
int Fail(CliContext& ctx, int code, const std::string& text);
// The Bench's failure with the exit status its kind has.
int Fail(CliContext& ctx, const Error& error);

// --passes N or --seconds S, as the parser checked them.
// The length and mode of a monitor or log from its options.
MonitorLength RunOf(const CliOptions& options);
MonitorLength RunLengthOf(const std::optional<std::string>& passesText,
                          const std::optional<std::string>& secondsText);

// "the device at address 40h did not acknowledge" and what follows.
std::string NotAcknowledged(int deviceAddress, const std::string& what);

// The note of a measurement whose register 05h is 0 (current and power read
// 0), once a command; nothing for a calibrated one.
void NoteIfBlank(CliContext& ctx, uint16_t calibration);

// The command's --json answer, printed when it ends (see EndJsonOutput).
void PrintJson(CliContext& ctx, const Json& json);
// One line of a stream of documents, printed at once.
void PrintJsonLine(CliContext& ctx, const Json& json);

// A line of progress on a terminal, overwritten by the next.
void Progress(CliContext& ctx, const std::string& text);
void EndProgress(CliContext& ctx);

}  // namespace evm::cli
