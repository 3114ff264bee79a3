// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/zoned_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace evm {
namespace {

#ifndef _WIN32
TEST(ZonedTime, SaysTheZoneOfEachWallClockTimeAndItsInstant) {
  const char* was = std::getenv("TZ");
  const std::string kept = was ? was : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  const double jan15 = 1768467600;  // 2026-01-15 09:00 as the clock counts it
  const struct {
    double local;
    int decimals;
    const char* iso;
    double epoch;
  } cases[] = {
      {jan15 + 0.25, 3, "2026-01-15T09:00:00.250+01:00", 1768464000.25},
      {jan15 + 181 * 86400, 0, "2026-07-15T09:00:00+02:00", 1784098800},  // summer time
      {jan15 + 59.9996, 3, "2026-01-15T09:01:00.000+01:00", 1768464060},  // carried
  };
  for (const auto& k : cases) {
    EXPECT_EQ(ZonedTimeOf(k.local, k.decimals).iso, k.iso);
    EXPECT_NEAR(ZonedTimeOf(k.local, k.decimals).epochSeconds, k.epoch, 1e-6) << k.iso;
    EXPECT_NEAR(EpochSecondsOf(k.local), k.epoch, 1e-3) << k.iso;
  }
  EXPECT_EQ(ZonedTimeOf(DateTime{2026, 7, 15, 9, 0, 3}).iso, "2026-07-15T09:00:03+02:00");
  was ? setenv("TZ", kept.c_str(), 1) : unsetenv("TZ");
  tzset();
}
#endif

}  // namespace
}  // namespace evm
