// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "registers/register_ops.h"

namespace evm {

// The quantity a trigger watches, named as the fast log's columns.
enum class TriggerSource { Amps, BusVolts, ShuntVolts, Watts };
enum class TriggerEdge { Rising, Falling, Either };

// A level crossed in one direction: "amps>0.5" fires when the current goes
// from at or below 0.5 A to above it, "bus_volts<11" when the bus voltage
// goes from at or above 11 V to below it, "watts~2" on either crossing.
// A value already past the level when watching starts fires nothing: the
// trigger needs to see the crossing.
struct TriggerCondition {
  TriggerSource source = TriggerSource::Amps;
  TriggerEdge edge = TriggerEdge::Rising;
  double level = 0;
};

// "SOURCE>LEVEL", "SOURCE<LEVEL" or "SOURCE~LEVEL", spaces allowed around
// each part, the level with a point for the decimal mark whatever the
// locale. nullopt with the reason in `error` (which names the text).
std::optional<TriggerCondition> ParseTrigger(std::string_view text, std::string* error);
// The text ParseTrigger reads back as the same condition.
std::string TriggerText(const TriggerCondition& condition);

const char* TriggerSourceName(TriggerSource source);
const char* TriggerEdgeName(TriggerEdge edge);  // "rising", "falling", "either"
// The watched quantity of a scaled sample; NaN when it was not read.
double TriggerValue(TriggerSource source, const Quantities& q);

// Tells the samples that cross the level, each one compared with the last
// value seen. A sample without the quantity (NaN) is skipped, not a crossing.
class EdgeDetector {
 public:
  explicit EdgeDetector(const TriggerCondition& condition) : condition_(condition) {}
  bool Crossed(double value);
  // Forgets the last value: the next crossing needs two values again.
  void Reset() { last_.reset(); }

 private:
  TriggerCondition condition_;
  std::optional<double> last_;
};

}  // namespace evm
