#pragma once

#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_context.h"

namespace evm::cli {

// The parts of the main window's load a command needs, without the USB
// dialog and the reminder: the number format, the interface board's
// address, the register tables, the calibration inputs of the last session
// and the device address of the command line.
void LoadState(CliContext& ctx);

// Each names what it looked for on standard error when it is not there.
bool ConnectRegisterLink(CliContext& ctx);
bool ConnectInterfaceBoard(CliContext& ctx);

// Reads the registers into the store. What was read is the device's own,
// so nothing is left flagged for writing; the main window gets to the same
// state at its first activation by writing everything back.
void ReadRegisters(CliContext& ctx);

// Reads the registers and scales power and current by the calibration the
// calibration tab holds, without writing it: the values the main window
// shows after its first activation.
void ReadScaledRegisters(CliContext& ctx);

// Options of a command: anything left that looks like an option is an
// error naming it, as is a count of positional arguments outside
// [min, max]. Returns false after writing the error.
bool CheckArguments(CliContext& ctx, const std::vector<std::string>& args, size_t min, size_t max);

// A file argument that names no file is refused with `what` in the error.
bool CheckFileName(CliContext& ctx, const std::string& file, const std::string& what);

// How long a continuous read runs: --passes N (a whole number) or --seconds S,
// both above 0; 0 for the one not given. False after a usage message.
bool ReadRunLength(CliContext& ctx, const std::optional<std::string>& passesText,
                   const std::optional<std::string>& secondsText, long& passes, double& seconds);

// "cannot read 'FILE': REASON" as the command's failure.
int FailUnreadable(CliContext& ctx, const std::string& file, const std::error_code& ec);

// Writes "evmctl COMMAND: text" on standard error and returns `code`.
int Fail(CliContext& ctx, int code, const std::string& text);

// Closes the register link after a command's register accesses; when the
// device did not acknowledge one of them, names its address followed by
// `what` (which brings its own leading blank or punctuation) and returns kExitFailed, else kExitOk.
int EndRegisterAccess(CliContext& ctx, const std::string& what);

std::string Hex2(unsigned value);
std::string Hex4(unsigned value);

}  // namespace evm::cli
