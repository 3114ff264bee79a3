// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "script/script_grid.h"
#include "zm5520evm/results.h"

namespace evm {

// The record's layout; a reader checks it before it reads anything else.
inline constexpr int kRunRecordSchemaVersion = 1;
inline constexpr const char* kRunRecordSchemaName = "zm5520-evm.script-record";

enum class RunOutcome { Pass, Fail, Error, Aborted };
// A step that checks a value PASSes or FAILs; any other step is DONE, or
// REFUSED when the board or the parser did not take it; BREAK waits for a
// person; NOT_RUN was never reached.
enum class StepOutcome { Pass, Fail, Done, Refused, Break, NotRun };

const char* RunOutcomeName(RunOutcome outcome);
const char* StepOutcomeName(StepOutcome outcome);

struct StepRecord {
  int row = 0;
  std::string description{};
  std::string step{};
  bool checksValue = false;  // result, result16, read_cnv1, read_cnv2
  std::string resultText{};  // the results column as the window shows it
  std::optional<double> value{};
  std::string unit{};  // "V"; empty for a code read over I2C
  std::optional<double> low{};
  std::optional<double> high{};
  StepOutcome outcome = StepOutcome::NotRun;
  std::string message{};  // why a check has no value, or why a step was refused
  int runs = 0;           // a goto loop runs a row more than once
  double seconds = 0;     // over all its runs
};

struct RunRecord {
  ScriptRecordIds ids{};
  std::string scriptFile{};
  std::string scriptSha256{};
  std::string regLink{};  // serial numbers, empty when unknown
  std::string interfaceBoard{};
  std::string programVersion{};
  DateTime start{};
  DateTime end{};
  double seconds = 0;
  RunOutcome outcome = RunOutcome::Error;
  std::string error{};  // why an ERROR or ABORTED run ended
  std::vector<StepRecord> steps{};

  int Count(StepOutcome which) const;
};

// The times of one run's rows, told by the run's hooks; the record is built
// from the grid once the run is over, so it shows what the window shows.
class RunRecorder {
 public:
  explicit RunRecorder(Clock& clock);
  // The run starts now.
  void Start();
  // `row` has just run: the time since the last row is its. A row that
  // ran once the board had stopped answering did nothing on the board.
  void RowRan(int row, bool boardAnswered = true);
  // The run is over: its steps as the grid holds them, with their times.
  // The outcome is PASS or FAIL by the steps; the caller sets any other.
  void Finish(const ScriptGrid& grid, RunRecord& record);

 private:
  double Elapsed();
  Clock& clock_;
  DateTime start_;
  double startSeconds_ = 0;
  double markSeconds_ = 0;
  struct RowTime {
    int runs = 0;
    double seconds = 0;
    bool boardLost = false;  // in its last run
  };
  std::vector<RowTime> rowTimes_;  // by row number
};

// ERROR when the board stopped answering or the time ran out, ABORTED when
// stopped; otherwise what the steps say.
RunOutcome OutcomeOf(const RunRecord& record, bool stopped, bool boardLost, bool timedOut);

// The rows whose verdict column says PASS and FAIL, as a run left them.
struct VerdictCount {
  int pass = 0;
  int fail = 0;
};
VerdictCount CountVerdicts(const ScriptGrid& grid);
// "PASS: 3 passed, 0 failed", the line a run ends with in every front end.
std::string VerdictLine(bool passed, const VerdictCount& count);

// "2026-01-15T09:00:03", the station's local time.
std::string IsoTime(const DateTime& time);

}  // namespace evm
