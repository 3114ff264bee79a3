#include "cli/json_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cli/cli_context.h"

namespace evm::cli {

Json ErrorDocument(const std::string& error, int exitStatus) {
  return Json{{"error", error}, {"exit", exitStatus}};
}

void PrintJsonDocument(std::ostream& out, const Json& json) {
  out << json.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
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
