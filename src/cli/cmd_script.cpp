// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>

#include "api/bench_access.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/number_text.h"
#include "common/utf8_path.h"
#include "script/record_writers.h"
#include "script/run_record.h"

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

// The exit status a failure of the Bench has, as RunEvmctl gives it.
int StatusOf(const Error& e) {
  if (dynamic_cast<const NoBoardError*>(&e) || dynamic_cast<const BoardNotOpenableError*>(&e)) {
    return kExitNoBoard;
  }
  if (dynamic_cast<const ParseError*>(&e) || dynamic_cast<const FileError*>(&e)) return kExitUsage;
  if (dynamic_cast<const CancelledError*>(&e)) return kExitInterrupted;
  return kExitFailed;
}

int StatusOf(const ScriptResult& run) {
  if (run.stopped) return kExitInterrupted;
  return run.Passed() ? kExitOk : kExitFailed;
}

ScriptRecordIds IdsOf(const CliContext& ctx) {
  return {ctx.options.Value("--dut-id").value_or(""),
          ctx.options.Value("--station-id").value_or(""),
          ctx.options.Value("--operator").value_or("")};
}

// Writes the records asked for; the failure to write one is the run's
// failure too, since a station reads nothing else.
int WriteRecords(CliContext& ctx, const std::vector<RunRecord>& runs,
                 const std::vector<std::filesystem::path>& jsonFiles) {
  int status = kExitOk;
  std::error_code ec;
  const auto failed = [&](const std::filesystem::path& file) {
    const std::string name = Utf8FromPath(file);
    status = Fail(
        ctx, kExitUsage,
        IsFileFault(ec) ? FileFaultText(name, ec) : "cannot write '" + name + "': " + ec.message());
  };
  for (size_t i = 0; i < jsonFiles.size() && i < runs.size(); ++i) {
    if (!SaveRunRecordJson(runs[i], jsonFiles[i], ec)) failed(jsonFiles[i]);
  }
  if (const auto junit = ctx.options.Value("--junit")) {
    if (!SaveJUnitXml(runs, PathFromUtf8(*junit), ec)) failed(PathFromUtf8(*junit));
  }
  return status;
}

int RunOnOneBoard(CliContext& ctx) {
  const auto results = ctx.options.Value("--results");
  const auto maxSecondsText = ctx.options.Value("--max-seconds");
  const auto recordFile = ctx.options.Value("--record");
  const bool recorded = recordFile || ctx.options.Flag("--junit");
  const std::string& file = ctx.options.args[0];
  double maxSeconds = 0;
  if (maxSecondsText) maxSeconds = ParseInvariantNumber(*maxSecondsText).value_or(0);
  const auto writeRecord = [&]() -> int {
    if (!recorded) return kExitOk;
    RunRecord record = BenchAccess::LastScriptRecord(*ctx.bench);
    record.ids = IdsOf(ctx);
    std::vector<std::filesystem::path> json;
    if (recordFile) json.push_back(PathFromUtf8(*recordFile));
    return WriteRecords(ctx, {record}, json);
  };

  int rowsRun = 0;
  int lastRow = 0;
  ScriptResult run;
  try {
    run = ctx.bench->RunScript(PathFromUtf8(file), maxSeconds, [&](const ScriptRowResult& row) {
      // A break step's "press to continue" cannot be answered here.
      if (row.skipped) ctx.err << "evmctl script: row " << row.row << ": break skipped\n";
      lastRow = row.row;
      Progress(ctx, std::to_string(++rowsRun) + " rows run");
    });
  } catch (const Error& e) {
    // A run that could not start or finish has its record, ERROR or ABORTED.
    const int status = Fail(ctx, e);
    writeRecord();
    return status;
  }
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
      ctx.out << VerdictLine(run.Passed(), {run.pass, run.fail}) << "\n";
    }
  }

  if (results) ctx.bench->SaveScriptResults(PathFromUtf8(*results));
  if (const int status = writeRecord(); status != kExitOk) return status;
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

// One pair of boards of a run on several, and how its run ended.
struct BoardRun {
  std::string regLink;
  std::string interfaceBoard;
  ScriptRecordIds ids;
  FakeClock virtualTime;  // --sim-fast: each session keeps time of its own
  std::unique_ptr<StoppableClock> clock;
  std::unique_ptr<Bench> bench;
  RunRecord record;
  ScriptResult result;
  int status = kExitFailed;
  bool finished = false;  // the run went to its end (a silent board's too)
  std::string error;

  std::string Name() const {
    return (regLink.empty() ? "?" : regLink) + "/" +
           (interfaceBoard.empty() ? "?" : interfaceBoard);
  }
};

// "all" pairs the attached boards by the order of their serial numbers;
// an odd board out is a pair with a board missing, which fails to open.
std::vector<std::pair<std::string, std::string>> PairsOf(CliContext& ctx, const std::string& text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (text == "all") {
    std::vector<std::string> links, interfaces;
    for (const DeviceInfo& d : ctx.bench->Devices()) {
      if (d.kind == DeviceKind::RegLink) links.push_back(d.serial.empty() ? d.path : d.serial);
      if (d.kind == DeviceKind::Interface) {
        interfaces.push_back(d.serial.empty() ? d.path : d.serial);
      }
    }
    std::sort(links.begin(), links.end());
    std::sort(interfaces.begin(), interfaces.end());
    for (size_t i = 0; i < std::max(links.size(), interfaces.size()); ++i) {
      pairs.emplace_back(i < links.size() ? links[i] : "",
                         i < interfaces.size() ? interfaces[i] : "");
    }
    return pairs;
  }
  for (size_t pos = 0; pos <= text.size();) {
    const size_t comma = std::min(text.find(',', pos), text.size());
    const std::string pair = text.substr(pos, comma - pos);
    const size_t slash = pair.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == pair.size()) {
      throw ParseError("--boards: '" + pair +
                       "' is not a pair REGLINK/INTERFACE of serial numbers, nor 'all'");
    }
    pairs.emplace_back(pair.substr(0, slash), pair.substr(slash + 1));
    pos = comma + 1;
  }
  return pairs;
}

// Several DUT ids go to the pairs in order; one goes to every pair.
std::vector<std::string> DutIdsFor(const std::string& text, size_t pairs) {
  std::vector<std::string> ids;
  for (size_t pos = 0; pos <= text.size();) {
    const size_t comma = std::min(text.find(',', pos), text.size());
    ids.push_back(text.substr(pos, comma - pos));
    pos = comma + 1;
  }
  if (ids.size() == 1) return std::vector<std::string>(pairs, ids[0]);
  if (ids.size() != pairs) {
    throw ParseError("--dut-id: " + std::to_string(ids.size()) + " ids for " +
                     std::to_string(pairs) + " pairs of boards");
  }
  return ids;
}

std::filesystem::path PerBoard(const std::string& file, const BoardRun& run, size_t index) {
  const std::filesystem::path path = PathFromUtf8(file);
  std::string serial =
      run.interfaceBoard.empty() ? "pair" + std::to_string(index + 1) : run.interfaceBoard;
  // A path given as a board's name must not make folders of the file name.
  std::replace_if(
      serial.begin(), serial.end(), [](char c) { return c == '/' || c == '\\' || c == ':'; }, '_');
  return path.parent_path() /
         PathFromUtf8(Utf8FromPath(path.stem()) + "-" + serial + Utf8FromPath(path.extension()));
}

int RunOnSeveralBoards(CliContext& ctx, const std::string& boards) {
  const std::string& file = ctx.options.args[0];
  const auto maxSecondsText = ctx.options.Value("--max-seconds");
  const double maxSeconds = maxSecondsText ? ParseInvariantNumber(*maxSecondsText).value_or(0) : 0;
  const auto pairs = PairsOf(ctx, boards);
  if (pairs.empty()) throw NoBoardError("no pair of boards found for --boards all");
  const ScriptRecordIds common = IdsOf(ctx);
  const auto dutIds = DutIdsFor(common.dutId, pairs.size());

  std::mutex printing;
  std::vector<std::unique_ptr<BoardRun>> runs;
  for (size_t i = 0; i < pairs.size(); ++i) {
    auto run = std::make_unique<BoardRun>();
    run->regLink = pairs[i].first;
    run->interfaceBoard = pairs[i].second;
    run->ids = common;
    run->ids.dutId = dutIds[i];
    Clock& base = ctx.options.simFast ? static_cast<Clock&>(run->virtualTime) : ctx.io.clock;
    run->clock = std::make_unique<StoppableClock>(base, ctx.io.stop);
    BenchOptions options = ctx.benchOptions;
    options.regLink = run->regLink;
    options.interfaceBoard = run->interfaceBoard;
    options.onNotice = [&printing, &ctx, name = run->Name()](const std::string& text) {
      const std::lock_guard lock(printing);
      ctx.err << "evmctl script: " << name << ": " << text << "\n";
    };
    // Sessions are opened one by one: they read the same state folder.
    if (!run->regLink.empty() && !run->interfaceBoard.empty()) {
      run->bench = BenchAccess::Open(options, *run->clock);
    }
    runs.push_back(std::move(run));
  }

  const auto runOne = [&](BoardRun& run) {
    if (!run.bench) {
      run.status = kExitNoBoard;
      run.error = run.regLink.empty()
                      ? "no register link to pair with interface board " + run.interfaceBoard
                      : "no interface board to pair with register link " + run.regLink;
    } else {
      // A failure of one pair ends only that pair's run.
      try {
        run.result = run.bench->RunScript(PathFromUtf8(file), maxSeconds);
        run.status = StatusOf(run.result);
        run.finished = true;
      } catch (const Error& e) {
        run.status = StatusOf(e);
        run.error = e.what();
      } catch (const std::exception& e) {
        run.status = kExitFailed;
        run.error = e.what();
      }
    }
    if (run.bench) {
      run.record = BenchAccess::LastScriptRecord(*run.bench);
    } else {
      run.record.scriptFile = file;
      run.record.programVersion = EVM_VERSION_STRING;
      run.record.start = run.record.end = run.clock->Now();
      run.record.outcome = RunOutcome::Error;
      run.record.error = run.error;
    }
    if (run.record.error.empty()) run.record.error = run.error;
    if (run.error.empty()) run.error = run.record.error;
    run.record.ids = run.ids;
    run.record.regLink = run.regLink;
    run.record.interfaceBoard = run.interfaceBoard;
    const std::lock_guard lock(printing);
    char line[256];
    std::snprintf(line, sizeof line, "%-24s %-8s %d passed, %d failed", run.Name().c_str(),
                  RunOutcomeName(run.record.outcome), run.record.Count(StepOutcome::Pass),
                  run.record.Count(StepOutcome::Fail));
    if (!ctx.options.json) ctx.out << line << (run.error.empty() ? "" : ": " + run.error) << "\n";
    ctx.out.flush();
  };
  {
    std::vector<std::jthread> threads;
    threads.reserve(runs.size());
    for (auto& run : runs) threads.emplace_back([&runOne, &run] { runOne(*run); });
  }

  int worst = kExitOk;
  std::vector<RunRecord> records;
  std::vector<std::filesystem::path> jsonFiles;
  const auto recordFile = ctx.options.Value("--record");
  const auto results = ctx.options.Value("--results");
  Json doc = {{"script", file}, {"boards", Json::array()}};
  if (!ctx.options.json) ctx.out << "\nboards                   outcome  pass  fail  seconds\n";
  for (size_t i = 0; i < runs.size(); ++i) {
    const BoardRun& run = *runs[i];
    worst = std::max(worst, run.status);
    records.push_back(run.record);
    if (recordFile) jsonFiles.push_back(PerBoard(*recordFile, run, i));
    if (results && run.finished) {
      try {
        run.bench->SaveScriptResults(PerBoard(*results, run, i));
      } catch (const Error& e) {
        worst = std::max(worst, Fail(ctx, e));
      }
    }
    if (ctx.options.json) {
      doc["boards"].push_back({{"register_link", run.regLink},
                               {"interface", run.interfaceBoard},
                               {"outcome", RunOutcomeName(run.record.outcome)},
                               {"exit_status", run.status},
                               {"pass", run.record.Count(StepOutcome::Pass)},
                               {"fail", run.record.Count(StepOutcome::Fail)},
                               {"error", run.error.empty() ? Json(nullptr) : Json(run.error)}});
    } else {
      char line[256];
      std::snprintf(line, sizeof line, "%-24s %-8s %4d  %4d  %7.1f", run.Name().c_str(),
                    RunOutcomeName(run.record.outcome), run.record.Count(StepOutcome::Pass),
                    run.record.Count(StepOutcome::Fail), run.record.seconds);
      ctx.out << line << "\n";
    }
  }
  if (ctx.options.json) PrintJson(ctx, doc);
  worst = std::max(worst, WriteRecords(ctx, records, jsonFiles));
  if (worst != kExitOk) {
    int failed = 0;
    for (const auto& run : runs) failed += run->status != kExitOk ? 1 : 0;
    Fail(ctx, worst,
         std::string(worst == kExitInterrupted ? "interrupted: " : "") + std::to_string(failed) +
             " of " + std::to_string(runs.size()) + " pairs of boards did not pass");
  }
  return worst;
}

}  // namespace

int RunScriptFile(CliContext& ctx) {
  if (const auto boards = ctx.options.Value("--boards")) return RunOnSeveralBoards(ctx, *boards);
  return RunOnOneBoard(ctx);
}

}  // namespace evm::cli
