#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
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
    if (grid_.Cell(grid_.Row_, 2) == kBreakStep) {
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

}  // namespace

int RunScriptFile(CliContext& ctx) {
  std::vector<std::string> args = ctx.options.args;
  std::string error;
  const auto results = TakeOption(args, "--results", error);
  const auto maxSecondsText = TakeOption(args, "--max-seconds", error);
  if (!error.empty()) return Fail(ctx, kExitUsage, error);
  if (!CheckArguments(ctx, args, 1, 1)) return kExitUsage;
  const std::string& file = args[0];
  if (!CheckFileName(ctx, file, "FILE")) return kExitUsage;
  if (results && !CheckFileName(ctx, *results, "--results")) return kExitUsage;
  std::optional<double> maxSeconds;
  if (maxSecondsText) {
    maxSeconds = ParseInvariantNumber(*maxSecondsText);
    if (!maxSeconds || !(*maxSeconds > 0) || *maxSeconds > 86400) {
      return Fail(ctx, kExitUsage,
                  "--max-seconds '" + *maxSecondsText + "' is not a number of seconds above 0");
    }
  }

  ScriptGrid grid;
  std::error_code readError;
  if (!ReadWholeFile(PathFromUtf8(file), readError)) return FailUnreadable(ctx, file, readError);
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
  LoadState(ctx);
  if (!ConnectInterfaceBoard(ctx)) return kExitNoBoard;
  EvmScriptBoard board(evm);
  ScriptRunUi ui(ctx.ui, grid, ctx.err);
  ScriptContext run{grid, board, ui, evm.locale};
  const int problemsBefore = ctx.ui.usbProblems;
  bool timedOut = false;
  if (maxSeconds) {
    timedOut = RunScriptWithin(run, ctx.clock, *maxSeconds);
  } else {
    RunScript(run);
  }
  const bool answered = ctx.ui.usbProblems == problemsBefore;

  int pass = 0, fail = 0;
  for (int r = 1; r <= grid.ScriptLastRow; ++r) {
    if (grid.Cell(r, 6) == "PASS") ++pass;
    if (grid.Cell(r, 6) == "FAIL") ++fail;
  }
  const bool ok = fail == 0 && answered && !timedOut;

  if (ctx.options.json) {
    JsonWriter json;
    json.BeginObject().Key("script").String(file).Key("rows").BeginArray();
    for (int r = 1; r <= grid.ScriptLastRow; ++r) {
      json.BeginObject()
          .Key("row")
          .Integer(r)
          .Key("description")
          .String(grid.Cell(r, 1))
          .Key("step")
          .String(grid.Cell(r, 2))
          .Key("low")
          .String(grid.Cell(r, 3))
          .Key("high")
          .String(grid.Cell(r, 4))
          .Key("result")
          .String(grid.Cell(r, 5))
          .Key("verdict");
      if (grid.Cell(r, 6).empty()) {
        json.Null();
      } else {
        json.String(grid.Cell(r, 6));
      }
      json.Key("skipped").Bool(grid.Cell(r, 2) == kBreakStep).EndObject();
    }
    json.EndArray().Key("pass").Integer(pass).Key("fail").Integer(fail);
    json.Key("timed_out").Bool(timedOut);
    json.Key("verdict").String(ok ? "PASS" : "FAIL").EndObject();
    ctx.out << json.Text();
  } else {
    for (int r = 1; r <= grid.ScriptLastRow; ++r) {
      const std::string& step = grid.Cell(r, 2);
      const std::string result = step == kBreakStep ? "(skipped)" : grid.Cell(r, 5);
      char line[512];
      std::snprintf(line, sizeof line, "%3d  %-36s %-20s %s", r, step.c_str(), result.c_str(),
                    grid.Cell(r, 6).c_str());
      std::string text = line;
      text.erase(text.find_last_not_of(' ') + 1);
      ctx.out << text << "\n";
    }
    ctx.out << (ok ? "PASS" : "FAIL") << ": " << pass << " passed, " << fail << " failed\n";
  }

  std::error_code writeError;
  if (results && !SaveResultsFile(grid, PathFromUtf8(*results), writeError)) {
    return Fail(ctx, kExitUsage,
                "cannot write the results file '" + *results + "': " + writeError.message());
  }
  if (timedOut) {
    return Fail(ctx, kExitFailed,
                "'" + file + "': stopped after --max-seconds " + *maxSecondsText +
                    "; the rows run so far are shown");
  }
  if (!answered) return Fail(ctx, kExitFailed, "the interface board stopped answering");
  if (fail > 0)
    return Fail(ctx, kExitFailed, "'" + file + "': " + std::to_string(fail) + " row(s) FAIL");
  return kExitOk;
}

}  // namespace evm::cli
