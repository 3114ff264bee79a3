// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/json_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cli/cli_context.h"

namespace evm::cli {

Json ErrorDocument(const std::string& error, int exitStatus) {
  return Json{{"error", error}, {"exit", exitStatus}};
}

namespace {

bool ValidUtf8(const std::string& text) {
  try {
    (void)Json(text).dump();
    return true;
  } catch (const Json::type_error&) {
    return false;
  }
}

std::string HexBytes(const std::string& text) {
  std::string hex;
  for (const unsigned char byte : text) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 0xF];
  }
  return hex;
}

}  // namespace

void PrintJsonDocument(std::ostream& out, const Json& json) {
  // Every document says first which layout it has, so a script can tell
  // when a command's layout changed.
  Json doc = json;
  if (json.is_object() && !json.contains("schema")) {
    doc = Json{{"schema", kJsonSchema}};
    doc.update(json);
  }
  // A file name outside UTF-8 is shown with replacement characters, which
  // name no file: its bytes go beside it, so a script can find the file.
  if (json.is_object()) {
    for (const auto& [key, value] : json.items()) {
      if (value.is_string() && !ValidUtf8(value.get<std::string>())) {
        doc[key + "_bytes"] = HexBytes(value.get<std::string>());
      }
    }
  }
  out << doc.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

void EndJsonOutput(CliContext& ctx, int exitStatus) {
  const std::string error = ctx.failure.empty() ? "failed" : ctx.failure;
  if (ctx.document && !ctx.streamed) {
    Json doc = *ctx.document;
    if (exitStatus != 0 && doc.is_object()) {
      if (!doc.contains("error")) doc["error"] = error;
      doc["exit"] = exitStatus;
    } else if (exitStatus != 0) {
      doc = Json{{"result", doc}, {"error", error}, {"exit", exitStatus}};
    }
    PrintJsonDocument(ctx.out, doc);
  } else if (exitStatus != 0) {
    PrintJsonDocument(ctx.out, ErrorDocument(error, exitStatus));
  }
  ctx.out.flush();
}

double JsonRound(double value, double resolution) {
  if (!std::isfinite(value) || value == 0) return value;
  char buf[64];
  std::to_chars_result res{};
  if (resolution > 0 && std::isfinite(resolution)) {
    const int decimals =
        std::clamp(static_cast<int>(std::ceil(-std::log10(resolution))) + 1, 0, 17);
    res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  } else {
    res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 10);
  }
  double rounded = value;
  std::from_chars(buf, res.ptr, rounded);
  return rounded;
}

}  // namespace evm::cli
