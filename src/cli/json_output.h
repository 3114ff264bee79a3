// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace evm::cli {

struct CliContext;
using Json = nlohmann::ordered_json;

// The version of the layout of every command's document (its "schema").
inline constexpr int kJsonSchema = 1;

// With --json a command answers with one document on standard output (one
// line per pass for monitor), failures included, while its messages stay on
// standard error.
Json ErrorDocument(const std::string& error, int exitStatus);
// The document and a line break, an object with "schema" first; text that
// is not UTF-8 is replaced, so the output always parses.
void PrintJsonDocument(std::ostream& out, const Json& json);
// After the command: its document, with "error" and "exit" when it failed;
// the error alone when it had none (or streamed its lines).
void EndJsonOutput(CliContext& ctx, int exitStatus);

// A measured value to its resolution and one digit more, so the document
// holds 0.00998 rather than 0.009980000000000001. A resolution of 0 keeps ten
// significant digits, for computed values.
double JsonRound(double value, double resolution = 0);

}  // namespace evm::cli
