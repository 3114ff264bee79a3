// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/zoned_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace evm {
namespace {

#ifndef _WIN32
// The zone of the process for the length of a test.
class InZone {
 public:
  explicit InZone(const char* zone) {
    if (const char* was = std::getenv("TZ")) was_ = was;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~InZone() {
    if (was_) {
      setenv("TZ", was_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  InZone(const InZone&) = delete;
  InZone& operator=(const InZone&) = delete;

 private:
  std::optional<std::string> was_;
};

// Local wall-clock seconds since 1970 of a date and time.
double Local(int year, int month, int day, int hour, int minute, double second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  return static_cast<double>(timegm(&t)) + second;
}

TEST(ZonedTime, SaysTheZoneOfEachWallClockTimeAndItsInstant) {
  InZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
  const struct {
    double local;
    int decimals;
    const char* iso;
    double epoch;
  } cases[] = {
      {Local(2026, 1, 15, 9, 0, 0.25), 3, "2026-01-15T09:00:00.250+01:00", 1768464000.25},
      {Local(2026, 7, 15, 9, 0, 0), 0, "2026-07-15T09:00:00+02:00", 1784098800},
      // A fraction that rounds up carries into the second.
      {Local(2026, 1, 15, 9, 0, 59.9996), 3, "2026-01-15T09:01:00.000+01:00", 1768464060},
      {Local(2026, 1, 15, 9, 0, 0.123456), 6, "2026-01-15T09:00:00.123456+01:00",
       1768464000.123456},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.iso);
    const ZonedTime t = ZonedTimeOf(k.local, k.decimals);
    EXPECT_EQ(t.iso, k.iso);
    EXPECT_NEAR(t.epochSeconds, k.epoch, 1e-6);
    EXPECT_NEAR(EpochSecondsOf(k.local), k.epoch, 1e-3);  // not rounded
  }
  // A time of the program's clock, as a record keeps it.
  EXPECT_EQ(ZonedTimeOf(DateTime{2026, 7, 15, 9, 0, 3}).iso, "2026-07-15T09:00:03+02:00");
  InZone newYork("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(ZonedTimeOf(Local(2026, 1, 15, 9, 0, 0), 0).iso, "2026-01-15T09:00:00-05:00");
}
#endif

}  // namespace
}  // namespace evm
