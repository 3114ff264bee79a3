// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/axis_ticks.h"

#include <gtest/gtest.h>

namespace evm {
namespace {

TEST(AxisTicks, StepsAreOneTwoOrFiveTimesAPowerOfTenWithTheDecimalsTheyNeed) {
  struct Case {
    double lo, hi;
    int most;
    double first, step;
    int decimals;
  };
  const Case cases[] = {
      {0, 3.1, 5, 0, 1, 0},                      // seconds of a short run
      {11.9998, 12.0042, 5, 12.0, 0.001, 3},     // a bus voltage with noise
      {0.9975, 1.0025, 4, 0.998, 0.002, 3},      // a current
      {-0.0004, 0.0004, 4, -0.0004, 0.0002, 4},  // around zero
      {0, 50, 5, 0, 10, 0},                      // exactly five steps
      {0, 3600, 8, 0, 500, 0},
      {12, 12, 4, 12, 0.005, 3},  // flat: a thousandth of the value
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.lo << " to " << k.hi);
    const AxisTicks t = NiceTicks(k.lo, k.hi, k.most);
    EXPECT_NEAR(t.first, k.first, k.step * 1e-6);
    EXPECT_NEAR(t.step, k.step, k.step * 1e-9);
    EXPECT_EQ(t.decimals, k.decimals);
  }
}

TEST(AxisTicks, FiguresTakeTheProgramsDecimalMark) {
  EXPECT_EQ(FixedText(12.00416, 4, NumberLocale::Comma()), "12,0042");
  EXPECT_EQ(FixedText(0.9998333, 4, NumberLocale::Point()), "0.9998");
  EXPECT_EQ(FixedText(-0.00001, 3, NumberLocale::Point()), "0.000");
  EXPECT_EQ(FixedText(-1.5, 0, NumberLocale::Comma()), "-2");
}

}  // namespace
}  // namespace evm
