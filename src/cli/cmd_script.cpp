// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/number_text.h"
#include "common/utf8_path.h"

namespace evm::cli {

namespace {

// The first failed row and why, for the closing line: a set-up row that
// failed (a DAC write, a command) is what the user must look at first.
std::string FirstFailure(const ScriptResult& run) {
  for (const ScriptRowResult& r : run.rows) {
    if (r.verdict != "FAIL") continue;
    return " (row " + std::to_string(r.row) + (r.result.empty() ? "" : ": " + r.result) + ")";
  }
  return "";
}

}  // namespace

int RunScriptFile(CliContext& ctx) {
  const auto results = ctx.options.Value("--results");
  const auto maxSecondsText = ctx.options.Value("--max-seconds");
  const std::string& file = ctx.options.args[0];
  double maxSeconds = 0;
  if (maxSecondsText) maxSeconds = ParseInvariantNumber(*maxSecondsText).value_or(0);

  int rowsRun = 0;
  int lastRow = 0;
  const ScriptResult run =
      ctx.bench->RunScript(PathFromUtf8(file), maxSeconds, [&](const ScriptRowResult& row) {
        // A break step's "press to continue" cannot be answered here.
        if (row.skipped) ctx.err << "evmctl script: row " << row.row << ": break skipped\n";
        lastRow = row.row;
        Progress(ctx, std::to_string(++rowsRun) + " rows run");
      });
  EndProgress(ctx);
  const bool interrupted = run.stopped;

  if (ctx.options.json) {
    Json doc = {{"script", file}, {"rows", Json::array()}};
    for (const ScriptRowResult& r : run.rows) {
      doc["rows"].push_back({{"row", r.row},
                             {"description", r.description},
                             {"step", r.step},
                             {"low", r.low},
                             {"high", r.high},
                             {"result", r.result},
                             {"verdict", r.verdict.empty() ? Json(nullptr) : Json(r.verdict)},
                             {"skipped", r.skipped}});
    }
    doc["pass"] = run.pass;
    doc["fail"] = run.fail;
    doc["interrupted"] = interrupted;
    doc["timed_out"] = run.timedOut;
    doc["verdict"] = interrupted ? "INTERRUPTED" : run.Passed() ? "PASS" : "FAIL";
    PrintJson(ctx, doc);
  } else {
    for (const ScriptRowResult& r : run.rows) {
      const std::string result = r.skipped ? "(skipped)" : r.result;
      char line[512];
      std::snprintf(line, sizeof line, "%3d  %-36s %-20s %s", r.row, r.step.c_str(), result.c_str(),
                    r.verdict.c_str());
      std::string text = line;
      text.erase(text.find_last_not_of(' ') + 1);
      ctx.out << text << "\n";
    }
    // A run the user stopped has no verdict.
    if (interrupted) {
      ctx.out << "INTERRUPTED after row " << lastRow << ": " << run.pass << " passed, " << run.fail
              << " failed\n";
    } else {
      ctx.out << (run.Passed() ? "PASS" : "FAIL") << ": " << run.pass << " passed, " << run.fail
              << " failed\n";
    }
  }

  if (results) ctx.bench->SaveScriptResults(PathFromUtf8(*results));
  if (interrupted) {
    return Fail(ctx, kExitInterrupted, "interrupted after row " + std::to_string(lastRow));
  }
  if (run.timedOut) {
    return Fail(ctx, kExitFailed,
                "'" + file + "': stopped after --max-seconds " + *maxSecondsText +
                    "; the rows run so far are shown");
  }
  if (!run.boardAnswered) {
    return Fail(ctx, kExitFailed, "the interface board stopped answering" + FirstFailure(run));
  }
  if (run.fail > 0) {
    return Fail(ctx, kExitFailed,
                "'" + file + "': " + std::to_string(run.fail) + " row(s) FAIL" + FirstFailure(run));
  }
  return kExitOk;
}

}  // namespace evm::cli
