// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace evm::sim {

// What the device's inputs see at one instant.
struct LoadValue {
  double amps = 1.0;
  double volts = 12.0;
};

// A load that changes over time, so that a capture has something to show:
// "TERM[;TERM...]", each "KIND:key=value,...", times in seconds since the
// simulated boards started:
//   constant:amps=A,volts=V          the value from the start
//   step:at=T,amps=A,volts=V         the value from T on
//   pulse:at=T,width=W,amps=A,...    the value in [T, T+W)
//   ramp:at=T,over=D,amps=A,...      from 0 at T to the value at T+D
//   noise:amps=A,volts=V             deterministic noise of that size
// Each term but constant needs amps or volts or both, and sets only those it
// names. Later terms act on what the earlier ones give.
class LoadProfile {
 public:
  // nullopt and `error` naming the bad term when the text is not a profile.
  static std::optional<LoadProfile> Parse(std::string_view text, std::string* error);

  // The load at `seconds`, starting from `base` (the board's own load).
  LoadValue At(double seconds, LoadValue base) const;
  bool Empty() const { return terms_.empty(); }

 private:
  enum class Kind { Constant, Step, Pulse, Ramp, Noise };
  struct Term {
    Kind kind = Kind::Constant;
    double at = 0;
    double span = 0;  // a pulse's width, a ramp's duration
    std::optional<double> amps;
    std::optional<double> volts;
  };
  static std::optional<Term> ParseTerm(std::string_view text, std::string* why);
  static double Apply(const Term& term, double seconds, double value, double target, int channel);

  std::vector<Term> terms_;
};

}  // namespace evm::sim
