// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_tree.h"

#include <cmath>

#include "scpi/scpi_errors.h"

namespace evm::scpi {

namespace {

std::string UpperOf(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string Ordinal(size_t i) {
  return "parameter " + std::to_string(i + 1);
}

std::string HeaderText(const Header& h) {
  std::string text = h.common ? "*" : (h.rooted ? ":" : "");
  for (size_t i = 0; i < h.mnemonics.size(); ++i) text += (i ? ":" : "") + h.mnemonics[i];
  return text + (h.query ? "?" : "");
}

}  // namespace

const Parameter& Call::At(size_t i) const {
  if (i >= params_.size()) throw Failure(kMissingParameter, Ordinal(i) + " is missing");
  return params_[i];
}

void Call::Expect(size_t min, size_t max) const {
  if (params_.size() < min)
    throw Failure(kMissingParameter, Ordinal(params_.size()) + " is missing");
  if (params_.size() > max) {
    throw Failure(kParameterNotAllowed,
                  max == 0 ? "the command takes none" : "the command takes " + std::to_string(max));
  }
}

double Call::Number(size_t i, const NumberRule& rule) const {
  const Parameter& p = At(i);
  bool badSuffix = false;
  const auto n = p.quoted ? std::nullopt : ParseNumeric(p.text, &badSuffix);
  if (badSuffix) throw Failure(kInvalidSuffix, Ordinal(i) + " '" + p.text + "'");
  if (!n) throw Failure(kDataTypeError, Ordinal(i) + " '" + p.text + "' is not a number");
  switch (n->kind) {
    case NumericKind::Min: return rule.min;
    case NumericKind::Max: return rule.max;
    case NumericKind::Default: return rule.def;
    case NumericKind::Value: break;
  }
  if (!n->unit.empty() && n->unit != rule.unit) {
    throw Failure(kInvalidSuffix, Ordinal(i) + " '" + p.text + "' is not in " +
                                      (rule.unit.empty() ? "no unit" : rule.unit));
  }
  if (n->value < rule.min || n->value > rule.max) {
    throw Failure(kDataOutOfRange, Ordinal(i) + " '" + p.text + "' is not from " +
                                       FormatNr3(rule.min) + " to " + FormatNr3(rule.max));
  }
  return n->value;
}

long long Call::Whole(size_t i, long long min, long long max) const {
  const double v =
      Number(i, {static_cast<double>(min), static_cast<double>(max), static_cast<double>(min), ""});
  if (v != std::floor(v)) {
    throw Failure(kDataTypeError, Ordinal(i) + " '" + At(i).text + "' is not a whole number");
  }
  return static_cast<long long>(v);
}

bool Call::Boolean(size_t i) const {
  const Parameter& p = At(i);
  const std::string w = UpperOf(p.text);
  if (!p.quoted && (w == "ON" || w == "1")) return true;
  if (!p.quoted && (w == "OFF" || w == "0")) return false;
  throw Failure(kIllegalParameterValue, Ordinal(i) + " '" + p.text + "' is not ON, OFF, 1 or 0");
}

std::string Call::Text(size_t i) const {
  const Parameter& p = At(i);
  if (!p.quoted) throw Failure(kDataTypeError, Ordinal(i) + " is not a quoted string");
  return p.text;
}

size_t Call::Choice(size_t i, const std::vector<std::string>& words) const {
  const Parameter& p = At(i);
  const std::string w = UpperOf(p.text);
  std::string all;
  for (size_t k = 0; k < words.size(); ++k) {
    if (!p.quoted && w == words[k]) return k;
    all += (k ? ", " : "") + words[k];
  }
  throw Failure(kIllegalParameterValue, Ordinal(i) + " '" + p.text + "' is not one of " + all);
}

void CommandTree::Add(const std::string& pattern, size_t minParams, size_t maxParams,
                      Handler handler) {
  Entry e;
  e.pattern = pattern;
  e.minParams = minParams;
  e.maxParams = maxParams;
  e.handler = std::move(handler);
  std::string body = pattern;
  if (!body.empty() && body.back() == '?') {
    e.query = true;
    body.pop_back();
  }
  if (!body.empty() && body[0] == '*') {
    e.common = true;
    e.nodes.push_back({UpperOf(body.substr(1)), UpperOf(body.substr(1)), false});
  } else {
    // "MEASure:VOLTage[:BUS]": the capitals are the short form.
    size_t i = 0;
    while (i < body.size()) {
      Node n;
      if (body[i] == '[') {
        n.optional = true;
        ++i;
      }
      if (i < body.size() && body[i] == ':') ++i;
      std::string word;
      while (i < body.size() && body[i] != ':' && body[i] != '[' && body[i] != ']')
        word += body[i++];
      if (i < body.size() && body[i] == ']') ++i;
      for (char c : word) {
        if (c >= 'A' && c <= 'Z') n.shortForm += c;
      }
      n.longForm = UpperOf(word);
      e.nodes.push_back(std::move(n));
    }
  }
  entries_.push_back(std::move(e));
}

std::vector<std::string> CommandTree::Patterns() const {
  std::vector<std::string> all;
  for (const Entry& e : entries_) all.push_back(e.pattern);
  return all;
}

bool CommandTree::Matches(const std::vector<Node>& nodes, size_t n,
                          const std::vector<std::string>& words, size_t w) {
  if (n == nodes.size()) return w == words.size();
  const Node& node = nodes[n];
  if (w < words.size() && (words[w] == node.shortForm || words[w] == node.longForm) &&
      Matches(nodes, n + 1, words, w + 1)) {
    return true;
  }
  return node.optional && Matches(nodes, n + 1, words, w);
}

const CommandTree::Entry* CommandTree::Find(const Header& header,
                                            const std::vector<std::string>& mnemonics) const {
  for (const Entry& e : entries_) {
    if (e.common != header.common || e.query != header.query) continue;
    if (Matches(e.nodes, 0, mnemonics, 0)) return &e;
  }
  return nullptr;
}

std::string CommandTree::Execute(Session& session, std::string_view line) const {
  if (line.size() > kMaxLine) {
    session.status.Report(kTooMuchData, "a line of " + std::to_string(line.size()) +
                                            " bytes; at most " + std::to_string(kMaxLine));
    return {};
  }
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<ProgramUnit> units;
  const ParseFailure parsed = ParseLine(line, units);
  std::string answers;
  bool any = false;
  session.path.clear();  // every line starts at the root
  for (const ProgramUnit& unit : units) {
    std::vector<std::string> full;
    if (!unit.header.common) {
      if (!unit.header.rooted) full = session.path;
      full.insert(full.end(), unit.header.mnemonics.begin(), unit.header.mnemonics.end());
    } else {
      full = unit.header.mnemonics;
    }
    const Entry* e = Find(unit.header, full);
    if (!e) {
      session.status.Report(kUndefinedHeader, HeaderText(unit.header));
      return answers;  // the rest of the line is not run after a command error
    }
    if (!unit.header.common) session.path.assign(full.begin(), full.end() - 1);
    Call call(unit.params, session);
    try {
      call.Expect(e->minParams, e->maxParams);
      e->handler(call);
    } catch (const Failure& f) {
      session.status.Report(f.code, f.what());
      if (f.code <= -100 && f.code > -200) return answers;
      continue;
    }
    if (call.Answered()) {
      answers += (any ? ";" : "") + call.AnswerText();
      any = true;
    }
  }
  if (parsed.code) session.status.Report(parsed.code, parsed.info);
  return answers;
}

}  // namespace evm::scpi
