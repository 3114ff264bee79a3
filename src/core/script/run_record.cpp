// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/run_record.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "common/hex_text.h"
#include "common/number_text.h"

namespace evm {

namespace {

constexpr double kSecondsPerDay = 86400;

bool IsHexCheck(std::string_view step) {
  return step == "result" || step == "result16";
}

bool IsVoltsCheck(std::string_view step) {
  return step == "read_cnv1" || step == "read_cnv2";
}

// A number of the window's "#.###" pattern, with the point or the comma,
// up to the note the interpreter adds after a blank.
std::optional<double> Decimal(std::string text) {
  text = text.substr(0, text.find(' '));
  std::replace(text.begin(), text.end(), ',', '.');
  if (text.empty()) return std::nullopt;
  return ParseInvariantNumber(text);
}

std::optional<double> HexNumber(const std::string& text) {
  // Limits longer than this are refused by the interpreter as well.
  if (text.size() > 15) return std::nullopt;
  const auto v = ParseHexDigits(text);
  if (!v) return std::nullopt;
  return static_cast<double>(*v);
}

constexpr const char* kBoardLost = "the interface board did not answer";

StepRecord StepOf(const ScriptGrid& grid, int row, int runs, double seconds, bool boardLost) {
  StepRecord s;
  s.row = row;
  s.description = grid.Cell(row, kColDescription);
  s.step = grid.Cell(row, kColStep);
  s.resultText = grid.Cell(row, kColResult);
  s.runs = runs;
  s.seconds = seconds;
  const std::string& verdict = grid.Cell(row, kColVerdict);
  const bool hex = IsHexCheck(s.step);
  const bool volts = IsVoltsCheck(s.step);
  s.checksValue = hex || volts;
  if (s.checksValue) {
    const std::string& low = grid.Cell(row, kColLow);
    const std::string& high = grid.Cell(row, kColHigh);
    s.low = hex ? HexNumber(low) : Decimal(low);
    s.high = hex ? HexNumber(high) : Decimal(high);
    if (volts) s.unit = "V";
    // A failed check whose results column holds no reading says why instead.
    if (hex) {
      if (!s.resultText.empty() && s.resultText.find(' ') == std::string::npos) {
        s.value = HexNumber(s.resultText);
      }
    } else {
      s.value = Decimal(s.resultText);
    }
    if (!s.value || s.resultText.find(' ') != std::string::npos) s.message = s.resultText;
  }
  if (runs == 0) {
    s.outcome = StepOutcome::NotRun;
  } else if (s.step == "break") {
    s.outcome = StepOutcome::Break;
  } else if (boardLost && s.step.rfind("pause", 0) != 0 && s.step.rfind("goto", 0) != 0) {
    // What the results column shows then is no reading of the device's.
    s.outcome = s.checksValue ? StepOutcome::Fail : StepOutcome::Refused;
    s.value.reset();
    s.message = kBoardLost;
  } else if (s.checksValue) {
    s.outcome = verdict == "PASS" ? StepOutcome::Pass : StepOutcome::Fail;
  } else if (verdict == "FAIL") {
    s.outcome = StepOutcome::Refused;
    s.message = s.resultText;
  } else {
    s.outcome = StepOutcome::Done;
  }
  return s;
}

}  // namespace

const char* RunOutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Pass: return "PASS";
    case RunOutcome::Fail: return "FAIL";
    case RunOutcome::Error: return "ERROR";
    case RunOutcome::Aborted: return "ABORTED";
  }
  return "ERROR";
}

const char* StepOutcomeName(StepOutcome outcome) {
  switch (outcome) {
    case StepOutcome::Pass: return "PASS";
    case StepOutcome::Fail: return "FAIL";
    case StepOutcome::Done: return "DONE";
    case StepOutcome::Refused: return "REFUSED";
    case StepOutcome::Break: return "BREAK";
    case StepOutcome::NotRun: return "NOT_RUN";
  }
  return "NOT_RUN";
}

int RunRecord::Count(StepOutcome which) const {
  return static_cast<int>(std::count_if(
      steps.begin(), steps.end(), [which](const StepRecord& s) { return s.outcome == which; }));
}

RunRecorder::RunRecorder(Clock& clock) : clock_(clock) {}

double RunRecorder::Elapsed() {
  double now = clock_.SecondsSinceMidnight() - startSeconds_;
  // A run that goes past midnight.
  while (now < 0) now += kSecondsPerDay;
  return now;
}

void RunRecorder::Start() {
  start_ = clock_.Now();
  startSeconds_ = clock_.SecondsSinceMidnight();
  markSeconds_ = 0;
  rowTimes_.clear();
}

void RunRecorder::RowRan(int row, bool boardAnswered) {
  if (row < 0) return;
  const double now = Elapsed();
  if (static_cast<size_t>(row) >= rowTimes_.size()) rowTimes_.resize(static_cast<size_t>(row) + 1);
  RowTime& t = rowTimes_[static_cast<size_t>(row)];
  ++t.runs;
  t.boardLost = !boardAnswered;
  t.seconds += std::max(0.0, now - markSeconds_);
  markSeconds_ = now;
}

void RunRecorder::Finish(const ScriptGrid& grid, RunRecord& record) {
  record.start = start_;
  record.end = clock_.Now();
  record.seconds = Elapsed();
  record.steps.clear();
  for (int r = 1; r <= std::min(grid.ScriptLastRow, grid.Rows() - 1); ++r) {
    const RowTime t =
        static_cast<size_t>(r) < rowTimes_.size() ? rowTimes_[static_cast<size_t>(r)] : RowTime{};
    record.steps.push_back(StepOf(grid, r, t.runs, t.seconds, t.boardLost));
  }
  record.outcome = OutcomeOf(record, false, false, false);
}

RunOutcome OutcomeOf(const RunRecord& record, bool stopped, bool boardLost, bool timedOut) {
  if (stopped) return RunOutcome::Aborted;
  if (boardLost || timedOut) return RunOutcome::Error;
  if (record.Count(StepOutcome::Fail) > 0 || record.Count(StepOutcome::Refused) > 0) {
    return RunOutcome::Fail;
  }
  return RunOutcome::Pass;
}

VerdictCount CountVerdicts(const ScriptGrid& grid) {
  VerdictCount count;
  for (int r = 1; r <= grid.ScriptLastRow && r < grid.Rows(); ++r) {
    const std::string& verdict = grid.Cell(r, kColVerdict);
    count.pass += verdict == "PASS";
    count.fail += verdict == "FAIL";
  }
  return count;
}

std::string VerdictLine(bool passed, const VerdictCount& count) {
  return std::string(passed ? "PASS" : "FAIL") + ": " + std::to_string(count.pass) + " passed, " +
         std::to_string(count.fail) + " failed";
}

std::string IsoTime(const DateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

}  // namespace evm
