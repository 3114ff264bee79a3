// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/record_writers.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/zoned_time.h"

namespace evm {

namespace {

using Json = nlohmann::ordered_json;

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

// Times to the microsecond: the clock's sums carry binary noise below it.
double Microseconds(double seconds) {
  return std::round(seconds * 1e6) / 1e6;
}

Json NumberOrNull(const std::optional<double>& v) {
  return v && std::isfinite(*v) ? Json(*v) : Json(nullptr);
}

// The shortest text that reads back as `v`, whatever the process locale.
std::string Number(double v) {
  char text[32];
  const auto res = std::to_chars(text, text + sizeof text, v);
  return std::string(text, res.ptr);
}

std::string Seconds(double v) {
  char text[32];
  const auto res =
      std::to_chars(text, text + sizeof text, std::max(0.0, v), std::chars_format::fixed, 3);
  return std::string(text, res.ptr);
}

// Text as an attribute value or element content. XML 1.0 has no way to
// write most control characters, so they become blanks.
std::string Xml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += "&#10;"; break;
      case '\t': out += "&#9;"; break;
      default: out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
  }
  return out;
}

std::string ScriptName(const RunRecord& r) {
  const std::string name = r.scriptFile.substr(r.scriptFile.find_last_of("/\\") + 1);
  return name.empty() ? "script" : name;
}

std::string Limits(const StepRecord& s) {
  const auto limit = [](const std::optional<double>& v) { return v ? Number(*v) : "?"; };
  return limit(s.low) + " to " + limit(s.high) + (s.unit.empty() ? "" : " " + s.unit);
}

std::string Property(const std::string& name, const std::string& value) {
  return "      <property name=\"" + Xml(name) + "\" value=\"" + Xml(value) + "\"/>\n";
}

void Suite(const RunRecord& r, std::string& xml) {
  int tests = 0, failures = 0;
  for (const StepRecord& s : r.steps) {
    if (!s.checksValue) continue;
    ++tests;
    if (s.outcome == StepOutcome::Fail) ++failures;
  }
  const bool unfinished = r.outcome == RunOutcome::Error || r.outcome == RunOutcome::Aborted;
  // A run that could not finish is a test of its own: its error says why.
  const int errors = unfinished ? 1 : 0;
  int skipped = 0;
  for (const StepRecord& s : r.steps) {
    if (s.checksValue && s.outcome == StepOutcome::NotRun) ++skipped;
  }
  std::string suite = ScriptName(r);
  if (!r.ids.dutId.empty()) suite += " DUT " + r.ids.dutId;
  if (!r.interfaceBoard.empty()) suite += " on " + r.interfaceBoard;
  xml += "  <testsuite name=\"" + Xml(suite) + "\" tests=\"" + std::to_string(tests + errors) +
         "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
         "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + Seconds(r.seconds) +
         "\" timestamp=\"" + IsoTime(r.start) + "\"";
  if (!r.ids.stationId.empty()) xml += " hostname=\"" + Xml(r.ids.stationId) + "\"";
  xml += ">\n    <properties>\n";
  const auto optional = [&xml](const std::string& name, const std::string& value) {
    if (!value.empty()) xml += Property(name, value);
  };
  optional("dut_id", r.ids.dutId);
  optional("station_id", r.ids.stationId);
  optional("operator", r.ids.operatorName);
  xml += Property("script", r.scriptFile);
  optional("script_sha256", r.scriptSha256);
  optional("register_link", r.regLink);
  optional("interface_board", r.interfaceBoard);
  xml += Property("program_version", r.programVersion);
  xml += Property("outcome", RunOutcomeName(r.outcome));
  for (const StepRecord& s : r.steps) {
    if (!s.checksValue) continue;
    const std::string row = "row " + std::to_string(s.row) + " ";
    xml += Property(row + "value", s.value ? Number(*s.value) : "");
    xml += Property(row + "low", s.low ? Number(*s.low) : "");
    xml += Property(row + "high", s.high ? Number(*s.high) : "");
    xml += Property(row + "unit", s.unit);
  }
  xml += "    </properties>\n";
  const std::string classname = Xml(ScriptName(r));
  for (const StepRecord& s : r.steps) {
    if (!s.checksValue) continue;
    const std::string title =
        "row " + std::to_string(s.row) + ": " +
        (s.description.empty() ? s.step : s.description + " (" + s.step + ")");
    xml += "    <testcase name=\"" + Xml(title) + "\" classname=\"" + classname + "\" time=\"" +
           Seconds(s.seconds) + "\">\n";
    const std::string value =
        s.value ? Number(*s.value) + (s.unit.empty() ? "" : " " + s.unit) : "no value";
    if (s.outcome == StepOutcome::Fail) {
      const std::string why = s.message.empty() ? value + " is outside " + Limits(s) : s.message;
      xml += "      <failure type=\"FAIL\" message=\"" + Xml(why) + "\"/>\n";
    } else if (s.outcome == StepOutcome::NotRun) {
      xml += "      <skipped message=\"not run\"/>\n";
    }
    xml += "      <system-out>value " + Xml(value) + ", limits " + Xml(Limits(s)) +
           "</system-out>\n    </testcase>\n";
  }
  if (unfinished) {
    xml += "    <testcase name=\"run\" classname=\"" + classname + "\" time=\"" +
           Seconds(r.seconds) + "\">\n      <error type=\"" + RunOutcomeName(r.outcome) +
           "\" message=\"" + Xml(r.error) + "\"/>\n    </testcase>\n";
  }
  xml += "  </testsuite>\n";
}

}  // namespace

std::string RunRecordJson(const RunRecord& r) {
  Json steps = Json::array();
  for (const StepRecord& s : r.steps) {
    Json step = {{"row", s.row},
                 {"description", s.description},
                 {"step", s.step},
                 {"checks_value", s.checksValue},
                 {"outcome", StepOutcomeName(s.outcome)},
                 {"result", s.resultText},
                 {"value", NumberOrNull(s.value)},
                 {"unit", TextOrNull(s.unit)},
                 {"low", NumberOrNull(s.low)},
                 {"high", NumberOrNull(s.high)},
                 {"message", TextOrNull(s.message)},
                 {"runs", s.runs},
                 {"duration_s", Microseconds(s.seconds)}};
    steps.push_back(std::move(step));
  }
  const Json doc = {
      {"schema", kRunRecordSchemaName},
      {"schema_version", kRunRecordSchemaVersion},
      {"dut_id", TextOrNull(r.ids.dutId)},
      {"station_id", TextOrNull(r.ids.stationId)},
      {"operator", TextOrNull(r.ids.operatorName)},
      {"script", {{"file", r.scriptFile}, {"sha256", TextOrNull(r.scriptSha256)}}},
      {"boards",
       {{"register_link", TextOrNull(r.regLink)}, {"interface", TextOrNull(r.interfaceBoard)}}},
      {"program_version", r.programVersion},
      {"start_time", ZonedTimeOf(r.start).iso},
      {"end_time", ZonedTimeOf(r.end).iso},
      {"duration_s", Microseconds(r.seconds)},
      {"outcome", RunOutcomeName(r.outcome)},
      {"error", TextOrNull(r.error)},
      {"counts",
       {{"pass", r.Count(StepOutcome::Pass)},
        {"fail", r.Count(StepOutcome::Fail)},
        {"refused", r.Count(StepOutcome::Refused)},
        {"not_run", r.Count(StepOutcome::NotRun)}}},
      {"steps", std::move(steps)}};
  // Invalid UTF-8 in a cell must not throw: it is replaced.
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string JUnitXml(const std::vector<RunRecord>& runs) {
  int tests = 0, failures = 0, errors = 0;
  double seconds = 0;
  std::string body;
  for (const RunRecord& r : runs) {
    Suite(r, body);
    for (const StepRecord& s : r.steps) {
      tests += s.checksValue ? 1 : 0;
      failures += s.checksValue && s.outcome == StepOutcome::Fail ? 1 : 0;
    }
    if (r.outcome == RunOutcome::Error || r.outcome == RunOutcome::Aborted) {
      ++tests;
      ++errors;
    }
    seconds = std::max(seconds, r.seconds);  // the runs go side by side
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"evmctl script\" tests=\"" +
         std::to_string(tests) + "\" failures=\"" + std::to_string(failures) + "\" errors=\"" +
         std::to_string(errors) + "\" time=\"" + Seconds(seconds) + "\">\n" + body +
         "</testsuites>\n";
}

bool SaveRunRecordJson(const RunRecord& record, const std::filesystem::path& file,
                       std::error_code& ec) {
  return WriteFileAtomically(file, RunRecordJson(record), ec);
}

bool SaveJUnitXml(const std::vector<RunRecord>& runs, const std::filesystem::path& file,
                  std::error_code& ec) {
  return WriteFileAtomically(file, JUnitXml(runs), ec);
}

}  // namespace evm
