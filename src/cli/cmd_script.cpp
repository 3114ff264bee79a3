#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/number_text.h"
#include "common/utf8_path.h"
#include "script/evm_script_board.h"
#include "script/script_files.h"
#include "script/script_interpreter.h"

namespace evm::cli {

namespace {

constexpr const char* kBreakStep = "break";

// The run's view of the user: a break step's "press to continue" cannot be
// answered here, so it becomes a line saying the row was skipped; anything
// else goes to the console as usual.
class ScriptRunUi final : public UserInterface {
 public:
  ScriptRunUi(ConsoleUi& console, ScriptGrid& grid, std::ostream& err)
      : console_(console), grid_(grid), err_(err) {}

  void MessageBox(const std::string& text, const std::string& title) override {
    if (grid_.Cell(grid_.Row_, kColStep) == kBreakStep) {
      err_ << "evmctl script: row " << grid_.Row_ << ": break skipped\n";
      return;
    }
    console_.MessageBox(text, title);
  }
  UsbProblemChoice UsbProblemDialog() override { return console_.UsbProblemDialog(); }
  void ShowReminder() override {}
  std::optional<std::string> InputBox(const std::string& p, const std::string& t,
                                      const std::string& d) override {
    return console_.InputBox(p, t, d);
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& r) override {
    return console_.OpenFileDialog(r);
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& r) override {
    return console_.SaveFileDialog(r);
  }
  void Beep() override {}
  void ProcessEvents() override {}

 private:
  ConsoleUi& console_;
  ScriptGrid& grid_;
  std::ostream& err_;
};

// The first failed row and why, for the closing line: a set-up row that
// failed (a DAC write, a command) is what the user must look at first.
std::string FirstFailure(const ScriptGrid& grid) {
  for (int r = 1; r <= grid.ScriptLastRow; ++r) {
    if (grid.Cell(r, kColVerdict) != "FAIL") continue;
    const std::string& why = grid.Cell(r, kColResult);
    return " (row " + std::to_string(r) + (why.empty() ? "" : ": " + why) + ")";
  }
  return "";
}

}  // namespace

int RunScriptFile(CliContext& ctx) {
  const auto results = ctx.options.Value("--results");
  const auto maxSecondsText = ctx.options.Value("--max-seconds");
  const std::string& file = ctx.options.args[0];
  std::optional<double> maxSeconds;
  if (maxSecondsText) maxSeconds = ParseInvariantNumber(*maxSecondsText);

  ScriptGrid grid;
  std::error_code readError;
  if (!ReadWholeFile(PathFromUtf8(file), readError, FileKind::Script)) {
    return FailUnreadable(ctx, file, readError);
  }
  if (!LoadScript(grid, PathFromUtf8(file), ctx.ui)) {
    // The rows before the faulty line were loaded; it is the next one.
    return Fail(ctx, kExitUsage,
                "'" + file + "': script line " + std::to_string(grid.ScriptLastRow) +
                    " does not hold four quoted fields");
  }
  // A run of nothing would pass without having checked anything.
  TrimForRun(grid);
  if (grid.ScriptLastRow < 1) return Fail(ctx, kExitUsage, "'" + file + "': no steps");

  Evm& evm = *ctx.evm;
  if (!ConnectInterfaceBoard(ctx)) return kExitNoBoard;
  EvmScriptBoard board(evm);
  ScriptRunUi ui(ctx.ui, grid, ctx.err);
  ScriptContext run{grid, board, ui, evm.locale};
  int rowsRun = 0;
  int lastRow = 0;
  const ScriptRunHooks hooks{.stop = [&] { return ctx.Stopped(); },
                             .onRow =
                                 [&](int row) {
                                   lastRow = row;
                                   Progress(ctx, std::to_string(++rowsRun) + " rows run");
                                 }};
  bool timedOut = false;
  if (maxSeconds) {
    timedOut = RunScriptWithin(run, ctx.clock, *maxSeconds, hooks);
  } else {
    RunScript(run, hooks);
  }
  EndProgress(ctx);
  const bool answered = !evm.shell.RunWithoutUsb;
  const bool interrupted = ctx.Stopped();

  int pass = 0, fail = 0;
  for (int r = 1; r <= grid.ScriptLastRow; ++r) {
    if (grid.Cell(r, kColVerdict) == "PASS") ++pass;
    if (grid.Cell(r, kColVerdict) == "FAIL") ++fail;
  }
  const bool ok = fail == 0 && answered && !interrupted && !timedOut;

  if (ctx.options.json) {
    Json doc = {{"script", file}, {"rows", Json::array()}};
    for (int r = 1; r <= grid.ScriptLastRow; ++r) {
      const std::string& verdict = grid.Cell(r, kColVerdict);
      doc["rows"].push_back({{"row", r},
                             {"description", grid.Cell(r, kColDescription)},
                             {"step", grid.Cell(r, kColStep)},
                             {"low", grid.Cell(r, kColLow)},
                             {"high", grid.Cell(r, kColHigh)},
                             {"result", grid.Cell(r, kColResult)},
                             {"verdict", verdict.empty() ? Json(nullptr) : Json(verdict)},
                             {"skipped", grid.Cell(r, kColStep) == kBreakStep}});
    }
    doc["pass"] = pass;
    doc["fail"] = fail;
    doc["interrupted"] = interrupted;
    doc["timed_out"] = timedOut;
    doc["verdict"] = interrupted ? "INTERRUPTED" : ok ? "PASS" : "FAIL";
    PrintJson(ctx, doc);
  } else {
    for (int r = 1; r <= grid.ScriptLastRow; ++r) {
      const std::string& step = grid.Cell(r, kColStep);
      const std::string result = step == kBreakStep ? "(skipped)" : grid.Cell(r, kColResult);
      char line[512];
      std::snprintf(line, sizeof line, "%3d  %-36s %-20s %s", r, step.c_str(), result.c_str(),
                    grid.Cell(r, kColVerdict).c_str());
      std::string text = line;
      text.erase(text.find_last_not_of(' ') + 1);
      ctx.out << text << "\n";
    }
    // A run the user stopped has no verdict.
    if (interrupted) {
      ctx.out << "INTERRUPTED after row " << lastRow << ": " << pass << " passed, " << fail
              << " failed\n";
    } else {
      ctx.out << (ok ? "PASS" : "FAIL") << ": " << pass << " passed, " << fail << " failed\n";
    }
  }

  std::error_code writeError;
  if (results && !SaveResultsFile(grid, PathFromUtf8(*results), writeError)) {
    return Fail(ctx, kExitUsage,
                "cannot write the results file '" + *results + "': " + writeError.message());
  }
  if (interrupted) {
    return Fail(ctx, kExitInterrupted, "interrupted after row " + std::to_string(lastRow));
  }
  if (timedOut) {
    return Fail(ctx, kExitFailed,
                "'" + file + "': stopped after --max-seconds " + *maxSecondsText +
                    "; the rows run so far are shown");
  }
  if (!answered) {
    return Fail(ctx, kExitFailed, "the interface board stopped answering" + FirstFailure(grid));
  }
  if (fail > 0) {
    return Fail(ctx, kExitFailed,
                "'" + file + "': " + std::to_string(fail) + " row(s) FAIL" + FirstFailure(grid));
  }
  return kExitOk;
}

}  // namespace evm::cli
