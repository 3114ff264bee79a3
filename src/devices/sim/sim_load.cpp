// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/sim_load.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>

namespace evm::sim {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(Trim(text.substr(start, end == std::string_view::npos ? end : end - start)));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::optional<double> Number(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

// Noise that is the same each time a given instant is asked for, so a
// conversion read twice reads the same, and a run can be repeated.
double UnitNoise(double seconds, int channel) {
  auto x = static_cast<uint64_t>(std::llround(seconds * 1e6)) * 0x9E3779B97F4A7C15ull +
           static_cast<uint64_t>(channel) * 0xBF58476D1CE4E5B9ull;
  x ^= x >> 31;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 29;
  return static_cast<double>(x >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0;
}

}  // namespace

std::optional<LoadProfile::Term> LoadProfile::ParseTerm(std::string_view text, std::string* why) {
  static const std::map<std::string_view, std::pair<Kind, std::set<std::string_view>>> kKinds{
      {"constant", {Kind::Constant, {"amps", "volts"}}},
      {"step", {Kind::Step, {"at", "amps", "volts"}}},
      {"pulse", {Kind::Pulse, {"at", "width", "amps", "volts"}}},
      {"ramp", {Kind::Ramp, {"at", "over", "amps", "volts"}}},
      {"noise", {Kind::Noise, {"amps", "volts"}}},
  };
  const size_t colon = text.find(':');
  const auto kind = kKinds.find(Trim(text.substr(0, colon)));
  if (kind == kKinds.end()) {
    *why = "the kind is not one of constant, step, pulse, ramp, noise";
    return std::nullopt;
  }
  const auto& [termKind, keys] = kind->second;
  std::map<std::string_view, double> values;
  if (colon != std::string_view::npos) {
    for (const std::string_view pair : Split(text.substr(colon + 1), ',')) {
      const size_t equals = pair.find('=');
      const std::string_view key = Trim(pair.substr(0, equals));
      if (equals == std::string_view::npos || !keys.count(key)) {
        *why = "'" + std::string(pair) + "' is not one of its key=value settings";
        return std::nullopt;
      }
      const auto value = Number(Trim(pair.substr(equals + 1)));
      if (!value) {
        *why = "the value of " + std::string(key) + " is not a number";
        return std::nullopt;
      }
      if (!values.emplace(key, *value).second) {
        *why = std::string(key) + " is given twice";
        return std::nullopt;
      }
    }
  }
  Term term;
  term.kind = termKind;
  if (values.count("amps")) term.amps = values["amps"];
  if (values.count("volts")) term.volts = values["volts"];
  if (!term.amps && !term.volts) {
    *why = "it sets neither amps nor volts";
    return std::nullopt;
  }
  // A structured binding cannot be captured by every compiler this builds with.
  const auto& allowed = keys;
  const auto need = [&](std::string_view key, bool positive, double& into) {
    if (!allowed.count(key)) return true;
    if (!values.count(key)) {
      *why = "it needs " + std::string(key) + "=";
      return false;
    }
    into = values[key];
    if (into < 0 || (positive && into == 0)) {
      *why = std::string(key) + (positive ? " must be more than 0" : " must not be negative");
      return false;
    }
    return true;
  };
  if (!need("at", false, term.at) || !need("width", true, term.span) ||
      !need("over", true, term.span)) {
    return std::nullopt;
  }
  if (termKind == Kind::Noise && (term.amps.value_or(0) < 0 || term.volts.value_or(0) < 0)) {
    *why = "a noise size must not be negative";
    return std::nullopt;
  }
  return term;
}

std::optional<LoadProfile> LoadProfile::Parse(std::string_view text, std::string* error) {
  LoadProfile profile;
  if (Trim(text).empty()) return profile;
  for (const std::string_view termText : Split(text, ';')) {
    std::string why;
    const auto term = termText.empty() ? std::nullopt : ParseTerm(termText, &why);
    if (!term) {
      if (error) {
        *error = "the load term '" + std::string(termText) +
                 "' is not valid: " + (why.empty() ? "it is empty" : why);
      }
      return std::nullopt;
    }
    profile.terms_.push_back(*term);
  }
  return profile;
}

double LoadProfile::Apply(const Term& term, double seconds, double value, double target,
                          int channel) {
  switch (term.kind) {
    case Kind::Constant: return target;
    case Kind::Step: return seconds >= term.at ? target : value;
    case Kind::Pulse: return seconds >= term.at && seconds < term.at + term.span ? target : value;
    case Kind::Ramp:
      if (seconds < term.at) return 0;
      return seconds >= term.at + term.span ? target : target * (seconds - term.at) / term.span;
    case Kind::Noise: return value + target * UnitNoise(seconds, channel);
  }
  return value;
}

LoadValue LoadProfile::At(double seconds, LoadValue base) const {
  for (const Term& term : terms_) {
    if (term.amps) base.amps = Apply(term, seconds, base.amps, *term.amps, 0);
    if (term.volts) base.volts = Apply(term, seconds, base.volts, *term.volts, 1);
  }
  return base;
}

}  // namespace evm::sim
