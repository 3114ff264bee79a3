// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/trigger.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace evm {

namespace {

constexpr std::array<TriggerSource, 4> kSources = {TriggerSource::Amps, TriggerSource::BusVolts,
                                                   TriggerSource::ShuntVolts, TriggerSource::Watts};
constexpr const char* kForms =
    "SOURCE>LEVEL (rising), SOURCE<LEVEL (falling) or SOURCE~LEVEL (either edge), SOURCE one of "
    "amps, bus_volts, shunt_volts, watts";

std::string_view Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool Fail(std::string_view text, const std::string& why, std::string* error) {
  if (error) *error = "the trigger '" + std::string(text) + "' " + why;
  return false;
}

}  // namespace

const char* TriggerSourceName(TriggerSource source) {
  switch (source) {
    case TriggerSource::Amps: return "amps";
    case TriggerSource::BusVolts: return "bus_volts";
    case TriggerSource::ShuntVolts: return "shunt_volts";
    case TriggerSource::Watts: return "watts";
  }
  return "";
}

const char* TriggerEdgeName(TriggerEdge edge) {
  switch (edge) {
    case TriggerEdge::Rising: return "rising";
    case TriggerEdge::Falling: return "falling";
    case TriggerEdge::Either: return "either";
  }
  return "";
}

double TriggerValue(TriggerSource source, const Quantities& q) {
  switch (source) {
    case TriggerSource::Amps: return q.amperes;
    case TriggerSource::BusVolts: return q.busVolts;
    case TriggerSource::ShuntVolts: return q.shuntVolts;
    case TriggerSource::Watts: return q.watts;
  }
  return std::numeric_limits<double>::quiet_NaN();
}

std::optional<TriggerCondition> ParseTrigger(std::string_view text, std::string* error) {
  const size_t op = text.find_first_of("<>~");
  if (op == std::string_view::npos) {
    Fail(text, std::string("is not ") + kForms, error);
    return std::nullopt;
  }
  TriggerCondition c;
  c.edge = text[op] == '>'   ? TriggerEdge::Rising
           : text[op] == '<' ? TriggerEdge::Falling
                             : TriggerEdge::Either;
  const std::string_view name = Trim(text.substr(0, op));
  bool known = false;
  for (const TriggerSource source : kSources) {
    if (name == TriggerSourceName(source)) {
      c.source = source;
      known = true;
    }
  }
  if (!known) {
    Fail(text,
         "watches '" + std::string(name) +
             "', which is not one of amps, bus_volts, shunt_volts, watts",
         error);
    return std::nullopt;
  }
  const std::string_view level = Trim(text.substr(op + 1));
  const char* end = level.data() + level.size();
  const auto [ptr, ec] = std::from_chars(level.data(), end, c.level);
  if (level.empty() || ec != std::errc() || ptr != end || !std::isfinite(c.level)) {
    Fail(text, "has the level '" + std::string(level) + "', which is not a number", error);
    return std::nullopt;
  }
  return c;
}

std::string TriggerText(const TriggerCondition& condition) {
  const char op = condition.edge == TriggerEdge::Rising    ? '>'
                  : condition.edge == TriggerEdge::Falling ? '<'
                                                           : '~';
  char level[64];
  const auto end = std::to_chars(level, level + sizeof level, condition.level);
  return std::string(TriggerSourceName(condition.source)) + op + std::string(level, end.ptr);
}

bool EdgeDetector::Crossed(double value) {
  if (std::isnan(value)) return false;
  const std::optional<double> last = last_;
  last_ = value;
  if (!last) return false;
  const double level = condition_.level;
  const bool rising = *last <= level && value > level;
  const bool falling = *last >= level && value < level;
  switch (condition_.edge) {
    case TriggerEdge::Rising: return rising;
    case TriggerEdge::Falling: return falling;
    case TriggerEdge::Either: return rising || falling;
  }
  return false;
}

}  // namespace evm
