// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/script_interpreter.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

#include "common/eng_number.h"
#include "common/hex_text.h"
#include "common/i2c_results.h"
#include "common/number_text.h"

namespace evm {

namespace {

constexpr const char* kPass = "PASS";
constexpr const char* kFail = "FAIL";
constexpr double kGotoPauseSeconds = 0.5;

// A script means the same on every PC: its numbers take the point or the
// comma as decimal separator (they hold no thousands separators).
std::string PointDecimal(std::string text) {
  std::replace(text.begin(), text.end(), ',', '.');
  return text;
}

double StepNumber(const std::string& text) {
  return ParseEngNumber(PointDecimal(text), NumberLocale::Point());
}

// A hexadecimal limit with a leading zero digit added: empty reads as 0.
std::optional<uint64_t> HexLimit(const std::string& text) {
  if (text.size() > 15) return std::nullopt;
  return ParseHexDigits(text);
}

void Verdict(ScriptGrid& g, int row, bool pass) {
  g.Cell(row, kColVerdict) = pass ? kPass : kFail;
}

void Fail(ScriptGrid& g, int row, const std::string& reason) {
  g.Cell(row, kColResult) = reason;
  g.Cell(row, kColVerdict) = kFail;
}

// The byte the latest transaction read at `index`, or the reason there is none.
std::optional<uint8_t> ByteAt(ScriptContext& ctx, int row, int index) {
  if (index < 0 || index >= kI2CResultSlots) {
    Fail(ctx.grid, row, "no read byte " + std::to_string(index));
    return std::nullopt;
  }
  const auto byte = ctx.board.ReadData(index);
  if (!byte) Fail(ctx.grid, row, "no read byte " + std::to_string(index));
  return byte;
}

bool HexLimits(ScriptGrid& g, int row, uint64_t& low, uint64_t& high) {
  const auto lo = HexLimit(g.Cell(row, kColLow));
  const auto hi = HexLimit(g.Cell(row, kColHigh));
  if (!lo || !hi) {
    Fail(g, row,
         "limit '" + (!lo ? g.Cell(row, kColLow) : g.Cell(row, kColHigh)) + "' is not hexadecimal");
    return false;
  }
  low = *lo;
  high = *hi;
  return true;
}

void Result8(ScriptContext& ctx, int row) {
  ScriptGrid& g = ctx.grid;
  uint64_t low = 0, high = 0;
  if (!HexLimits(g, row, low, high)) {
    ++g.ReadIndex;
    return;
  }
  const auto d = ByteAt(ctx, row, g.ReadIndex);
  ++g.ReadIndex;
  if (!d) return;
  g.Cell(row, kColResult) = Hex(*d, 0);
  Verdict(g, row, low <= *d && *d <= high);
}

void Result16(ScriptContext& ctx, int row) {
  ScriptGrid& g = ctx.grid;
  uint64_t low = 0, high = 0;
  if (!HexLimits(g, row, low, high)) {
    g.ReadIndex += 2;
    return;
  }
  const auto hi = ByteAt(ctx, row, g.ReadIndex);
  const auto lo = hi ? ByteAt(ctx, row, g.ReadIndex + 1) : std::nullopt;
  g.ReadIndex += 2;
  if (!hi || !lo) return;
  const unsigned w = *hi * 256u + *lo;
  g.Cell(row, kColResult) = Hex(w, 0);
  Verdict(g, row, low <= w && w <= high);
}

void ReadCnv(ScriptContext& ctx, int row, Converter which) {
  ScriptGrid& g = ctx.grid;
  const auto low = ParseLocaleNumber(PointDecimal(g.Cell(row, kColLow)), NumberLocale::Point());
  const auto high = ParseLocaleNumber(PointDecimal(g.Cell(row, kColHigh)), NumberLocale::Point());
  const double v = ctx.board.ReadCnv(which, Reference::None);
  g.Cell(row, kColResult) = FormatWithPattern(v, "#.###", ctx.locale);
  if (!low || !high) {
    // The reading stays visible; the verdict says why it cannot pass.
    g.Cell(row, kColResult) +=
        " (limit '" + (!low ? g.Cell(row, kColLow) : g.Cell(row, kColHigh)) + "' is not a number)";
    g.Cell(row, kColVerdict) = kFail;
    return;
  }
  const double value = ParseEngNumber(FormatWithPattern(v, "#.###", ctx.locale), ctx.locale);
  Verdict(g, row, *low <= value && value <= *high);
}

// Only a cell that holds something is written, so the window redraws only
// the rows whose results it shows.
void ClearResult(ScriptGrid& g, int row) {
  for (int c : {kColResult, kColVerdict}) {
    if (!std::as_const(g).Cell(row, c).empty()) g.Cell(row, c).clear();
  }
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

void ExeScript(ScriptContext& ctx, int row) {
  ScriptGrid& g = ctx.grid;
  const std::string step = g.Cell(row, kColStep);
  if (step == "break") {
    ctx.ui.MessageBox("PRESS TO CONTINUE", "");
  } else if (step == "result") {
    Result8(ctx, row);
  } else if (step == "result16") {
    Result16(ctx, row);
  } else if (step == "read_cnv1") {
    ReadCnv(ctx, row, Converter::Cnv1);
  } else if (step == "read_cnv2") {
    ReadCnv(ctx, row, Converter::Cnv2);
  } else if (StartsWith(step, "write_dac_a") || StartsWith(step, "write_dac_b") ||
             StartsWith(step, "write_dac_c") || StartsWith(step, "write_dac_d")) {
    const double v = StepNumber(step.substr(11));
    if (v > 0 && v <= 5) {
      // A set-up row that did not set the DAC must not pass for one that did.
      const std::string error = ctx.board.SetDac(static_cast<DacChannel>(step[10] - 'a'), v);
      if (!error.empty()) Fail(g, row, error);
    }
  } else if (StartsWith(step, "pause")) {
    const double s = StepNumber(step.substr(5));
    if (s > 0) ctx.board.WaitSeconds(s);
  } else if (StartsWith(step, "goto")) {
    const double target = StepNumber(step.substr(4));
    // Rows are whole numbers; a fraction would name no row.
    g.GotoRow = static_cast<int>(std::trunc(std::clamp(target, -1e9, 1e9)));
  } else {
    const std::string error = ctx.board.SendMnemonic(step);
    g.ReadIndex = 0;
    // A step that was never sent must not pass for one that was.
    if (!error.empty()) Fail(g, row, error);
  }
}

void RunScript(ScriptContext& ctx, const ScriptRunHooks& hooks) {
  ScriptGrid& g = ctx.grid;
  if (g.Running) return;  // a click on Run while a run is going on
  g.Running = true;
  g.ExitLoop = 0;
  // A goto met after Exit Loop was left standing; this run would jump
  // there after its first row.
  g.GotoRow = 0;
  g.EndRun = false;
  g.TopRow = 1;
  g.ScriptLastRow = std::min(g.ScriptLastRow, g.Rows() - 1);
  TrimForRun(g);
  for (int r = 1; r <= g.ScriptLastRow; ++r) ClearResult(g, r);
  const int last = g.ScriptLastRow;
  for (int i = 1; i <= last; ++i) {
    if (hooks.stop && hooks.stop()) break;
    g.Row_ = i;
    g.Col = kColStep;
    SelectCell(g);
    ExeScript(ctx, i);
    if (hooks.onRow) hooks.onRow(i);
    if (g.GotoRow != 0 && g.ExitLoop == 0) {
      const int target = g.GotoRow;
      g.GotoRow = 0;
      if (target < 1) break;  // no row to go to: the run ends
      ctx.board.WaitSeconds(kGotoPauseSeconds);
      // Exit Loop pressed during the jump's wait leaves the loop at once.
      if (g.ExitLoop == 0) i = target - 1;
    }
    ScrollIfBelowView(g);
    ctx.ui.ProcessEvents();
    if (g.EndRun) break;
  }
  g.Running = false;
}

namespace {

// The run's board and user, with a deadline: a wait is cut at it, and once
// it has passed the run ends after the step in progress.
class Deadline final : public ScriptBoard, public UserInterface {
 public:
  Deadline(ScriptContext& ctx, Clock& clock, double seconds)
      : ctx_(ctx), clock_(clock), seconds_(seconds), start_(clock.SecondsSinceMidnight()) {}

  bool Passed() {
    double elapsed = clock_.SecondsSinceMidnight() - start_;
    if (elapsed < 0) elapsed += 86400;
    if (elapsed >= seconds_) {
      ctx_.grid.EndRun = true;
      passed_ = true;
    }
    return passed_;
  }
  bool Cut() const { return passed_; }
  double Left() {
    double elapsed = clock_.SecondsSinceMidnight() - start_;
    if (elapsed < 0) elapsed += 86400;
    return seconds_ - elapsed;
  }

  std::string SendMnemonic(const std::string& text) override {
    return ctx_.board.SendMnemonic(text);
  }
  std::optional<uint8_t> ReadData(int index) override { return ctx_.board.ReadData(index); }
  double ReadCnv(Converter which, Reference mode) override {
    return ctx_.board.ReadCnv(which, mode);
  }
  std::string SetDac(DacChannel channel, double volts) override {
    return ctx_.board.SetDac(channel, volts);
  }
  void WaitSeconds(double seconds) override {
    const double left = Left();
    if (seconds >= left) {
      if (left > 0) ctx_.board.WaitSeconds(left);
      // The wait ran to the limit, whatever rounding says of the clock.
      ctx_.grid.EndRun = true;
      passed_ = true;
      return;
    }
    ctx_.board.WaitSeconds(seconds);
  }

  void MessageBox(const std::string& text, const std::string& title) override {
    ctx_.ui.MessageBox(text, title);
  }
  UsbProblemChoice UsbProblemDialog() override { return ctx_.ui.UsbProblemDialog(); }
  void ShowReminder() override { ctx_.ui.ShowReminder(); }
  std::optional<std::string> InputBox(const std::string& p, const std::string& t,
                                      const std::string& d) override {
    return ctx_.ui.InputBox(p, t, d);
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& r) override {
    return ctx_.ui.OpenFileDialog(r);
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& r) override {
    return ctx_.ui.SaveFileDialog(r);
  }
  void Beep() override { ctx_.ui.Beep(); }
  void ProcessEvents() override {
    ctx_.ui.ProcessEvents();
    Passed();
  }

 private:
  ScriptContext& ctx_;
  Clock& clock_;
  double seconds_;
  double start_;
  bool passed_ = false;
};

}  // namespace

bool RunScriptWithin(ScriptContext& ctx, Clock& clock, double maxSeconds,
                     const ScriptRunHooks& hooks) {
  Deadline deadline(ctx, clock, maxSeconds);
  ScriptContext timed{ctx.grid, deadline, deadline, ctx.locale};
  RunScript(timed, hooks);
  return deadline.Cut();
}

void SingleStep(ScriptContext& ctx) {
  ScriptGrid& g = ctx.grid;
  if (g.Running) return;
  g.ScriptLastRow = std::min(g.ScriptLastRow, g.Rows() - 1);
  TrimForRun(g);
  const int r = g.Row_;
  if (r <= g.ScriptLastRow) {
    g.Cell(r, kColResult).clear();
    g.Cell(r, kColVerdict).clear();
    g.Col = kColStep;
    SelectCell(g);
    ExeScript(ctx, r);
    if (g.GotoRow != 0 && g.ExitLoop == 0) {
      g.Row_ = g.GotoRow >= 1 && g.GotoRow < g.Rows() ? g.GotoRow : r;
      g.GotoRow = 0;
    } else {
      g.Row_ = r + 1;
      if (g.Row_ >= g.Rows()) g.AppendRow();
    }
    g.Col = kColStep;
    SelectCell(g);
  }
  ScrollIfBelowView(g);
}

bool HasStepToRun(const ScriptGrid& grid) {
  return grid.ScriptLastRow >= 1 && grid.Rows() > 1 && !grid.Cell(1, 2).empty();
}

void PressExitLoop(ScriptGrid& grid) {
  grid.ExitLoop = 1;
}

}  // namespace evm
