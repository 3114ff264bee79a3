// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "common/clock.h"

namespace evm {

// The clock counts local wall-clock time as seconds since 1970, which is
// not the epoch anywhere but at UTC: a time that leaves the program for
// another one says its zone.
struct ZonedTime {
  std::string iso;          // "2026-01-15T09:00:00.000+01:00"
  double epochSeconds = 0;  // seconds since 1970-01-01 00:00 UTC
};

// `localSeconds` with `decimals` digits of the second (0-6), in the zone
// the system gives for that wall-clock time.
ZonedTime ZonedTimeOf(double localSeconds, int decimals);
// The instant alone.
double EpochSecondsOf(double localSeconds) noexcept;
// A time of the program's clock, to the second.
ZonedTime ZonedTimeOf(const DateTime& wallClock);

}  // namespace evm
