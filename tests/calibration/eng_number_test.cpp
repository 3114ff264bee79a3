// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/eng_number.h"

#include <gtest/gtest.h>

#include <cmath>

#include "calibration/localize_decimal.h"

namespace evm {
namespace {

const NumberLocale kPoint = NumberLocale::Point();
const NumberLocale kComma = NumberLocale::Comma();

TEST(ParseEngNumber, ExamplesAndPrefixesInBothLocales) {
  struct Case {
    const char* point;
    const char* comma;
    double value;
  };
  // clang-format off
  const Case cases[] = {
      {"100u", "100u", 1e-4}, {"1.5 k", "1,5 k", 1500}, {"10mA", "10mA", 0.01}, {"5M", "5M", 5e6},
      {"5m", "5m", 0.005}, {"12V", "12V", 12}, {"1.5e-3m", "1,5e-3m", 1.5e-6}, {"abc", "abc", 0},
      {"-2", "-2", -2}, {"", "", 0}, {"   ", "   ", 0}, {"2T", "2t", 2e12},
      {"3G", "3G", 3e9}, {"3g", "3g", 3}, {"7n", "7N", 7e-9}, {"7p", "7P", 7e-12},
      {"7f", "7F", 7e-15}, {"7K", "7k", 7000}, {"3E", "3E", 3}, {"1-2", "1-2", 1},
      {"+-", "+-", 0}, {"--2", "--2", 0}, {"+-2", "+-2", 0}, {"1e308T", "1e308T", 0},
      {",,", "..", 0}, {"1e400", "1e400", 0}, {"1e-400", "1e-400", 0}, {"0.01", "0,01", 0.01},
      {" 2 ", " 2 ", 2}, {"1Meg", "1Meg", 1e6},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(ParseEngNumber(c.point, kPoint), c.value) << c.point;
    EXPECT_DOUBLE_EQ(ParseEngNumber(c.comma, kComma), c.value) << c.comma;
  }
  // Either mark in either locale, the same way; two marks are no number.
  for (const NumberLocale& locale : {kPoint, kComma}) {
    EXPECT_DOUBLE_EQ(ParseEngNumber("1,5", locale), 1.5);
    EXPECT_DOUBLE_EQ(ParseEngNumber("1.5", locale), 1.5);
    EXPECT_DOUBLE_EQ(ParseEngNumber("1.000,5", locale), 0);
  }
}

TEST(FormatEngNumber, ThreeDecimalsAndTheLowerPrefixAtPowersOfAThousand) {
  struct Case {
    double value;
    const char* point;
    const char* comma;
  };
  const Case cases[] = {
      {0.0001, "100.000u", "100,000u"},     {3.2, "3.200 ", "3,200 "},
      {-0.0125, "-12.500m", "-12,500m"},    {0, "0.000", "0,000"},
      {2.5e-16, "0.000", "0,000"},          {1000, "1000.000 ", "1000,000 "},
      {1, "1000.000m", "1000,000m"},        {1e6, "1000.000K", "1000,000K"},
      {1.5e13, "15.000T", "15,000T"},       {30.517578125e-6, "30.518u", "30,518u"},
      {999.9996, "1000.000 ", "1000,000 "}, {1500, "1.500K", "1,500K"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatEngNumber(c.value, kPoint), c.point);
    EXPECT_EQ(FormatEngNumber(c.value, kComma), c.comma);
  }
}

// What is written reads back as the value rounded to three decimals in the
// chosen prefix, so a box filled by the program can be typed over and read.
TEST(FormatEngNumber, ReadingTheWrittenTextBackGivesTheRoundedValue) {
  const struct {
    double value, readBack;
  } cases[] = {
      {1.2345649e-4, 123.456e-6}, {0.0012344, 1.234e-3},        {-2.5, -2.5}, {47.0001, 47},
      {65535, 65.535e3},          {3.0517578125e-5, 30.518e-6},
  };
  for (const auto& c : cases) {
    for (const NumberLocale& locale : {kPoint, kComma}) {
      const std::string text = FormatEngNumber(c.value, locale);
      EXPECT_NEAR(ParseEngNumber(text, locale), c.readBack, 1e-12 * std::abs(c.readBack) + 1e-18)
          << text;
    }
  }
}

TEST(FormatWithPattern, PatternsTheProgramUses) {
  struct Case {
    double value;
    const char* pattern;
    const char* point;
  };
  const Case cases[] = {
      {32, "#.####", "32."},         {3.2, "#.####", "3.2"},    {0.5, "#.####", ".5"},
      {0.123456, "#.####", ".1235"}, {1.5, "##0.000", "1.500"}, {-1, "#####0", "-1"},
      {65535, "#####0", "65535"},    {0, "#####0", "0"},        {-0.0001, "##0.000", "0.000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatWithPattern(c.value, c.pattern, kPoint), c.point);
    std::string comma = c.point;
    for (char& ch : comma) ch = ch == '.' ? ',' : ch;
    EXPECT_EQ(FormatWithPattern(c.value, c.pattern, kComma), comma);
  }
}

TEST(LocalizeDecimal, RewritesOnlyTheSeparator) {
  EXPECT_EQ(LocalizeDecimal("", 0), "0");
  EXPECT_EQ(LocalizeDecimal("1.5u", 1), "1,5u");
  EXPECT_EQ(LocalizeDecimal("1,5u", 0), "1.5u");
  EXPECT_EQ(LocalizeDecimal("1,5", 1), "1,5");
}

}  // namespace
}  // namespace evm
