// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "common/clock.h"

namespace evm {

// Seconds since 1970-01-01 of a local date and time, for a time axis that
// runs on over midnight.
double SecondsOf(const DateTime& t);
// "YYYY-MM-DD HH:MM:SS.mmm" of such seconds.
std::string TimeStampText(double seconds);

}  // namespace evm
