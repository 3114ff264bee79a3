// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/summary_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/number_text.h"
#include "support/temp_dir.h"

namespace evm {
namespace {

std::vector<std::vector<std::string>> Rows(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::vector<std::vector<std::string>> rows;
  for (int n = 0; std::getline(in, line); ++n) {
    if (n < 2) continue;  // the start and the column names
    std::vector<std::string> fields;
    std::stringstream fieldsOf(line);
    for (std::string field; std::getline(fieldsOf, field, ',');) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    rows.push_back(fields);
  }
  return rows;
}

double Number(const std::string& text) {
  return ParseInvariantNumber(text).value_or(-1e300);
}

TEST(SummaryLog, OneRowPerIntervalThatAddsUpToTheRun) {
  test::TempDir dir;
  const auto file = dir.path() / "summary.csv";
  SummaryLog log(1.0);
  std::error_code ec;
  const double start = 1.7e9;
  ASSERT_TRUE(log.Open(file, start, ec)) << ec.message();
  Statistics whole;
  // 4 per second for 3 s, then a gap of 2 s with lost samples only, then
  // half a second more; the shunt voltage not read.
  std::vector<StatSample> samples;
  for (int i = 0; i < 12; ++i) samples.push_back({start + i * 0.25, {12, NAN, 1.0 + i, 12.0 * i}});
  for (int i = 0; i < 2; ++i) samples.push_back({start + 5 + i * 0.25, {11, NAN, -2, -22}});
  for (const StatSample& s : samples) {
    if (s.time == start + 5) log.AddLost(start + 3.5, 7);
    ASSERT_TRUE(log.Add(s, ec));
    whole.Add(s);
  }
  ASSERT_TRUE(log.Finish(start + 5.5, ec));
  whole.HoldUntil(start + 5.5);
  log.Close();
  EXPECT_EQ(log.Rows(), 4);

  const auto rows = Rows(file);
  ASSERT_EQ(rows.size(), 4u);
  const std::vector<std::string> times = {"0.000000", "1.000000", "2.000000", "5.000000"};
  const std::vector<std::string> counts = {"4", "4", "4", "2"};
  const std::vector<std::string> lost = {"0", "0", "0", "7"};
  double charge = 0, energy = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 3u + 12 + 2) << i;
    EXPECT_EQ(rows[i][0], times[i]);
    EXPECT_EQ(rows[i][1], counts[i]);
    EXPECT_EQ(rows[i][2], lost[i]);
    EXPECT_EQ(rows[i][6], "");  // shunt_volts_min
    charge += Number(rows[i][15]);
    energy += Number(rows[i][16]);
  }
  // Second 1 holds amps 5..8: min, mean, max.
  EXPECT_EQ(rows[1][9], "5");
  EXPECT_EQ(rows[1][10], "6.5");
  EXPECT_EQ(rows[1][11], "8");
  // The last sample before the gap held its 12 A for 2.25 s, in its own row.
  EXPECT_DOUBLE_EQ(Number(rows[2][15]), (9 + 10 + 11) * 0.25 + 12 * 2.25);
  EXPECT_NEAR(charge, whole.ChargeAmpSeconds(), 1e-6);
  EXPECT_NEAR(energy, whole.EnergyJoules(), 1e-5);
}

TEST(SummaryLog, RefusesWhatCannotBeALog) {
  test::TempDir dir;
  std::error_code ec;
  SummaryLog noInterval(0);
  EXPECT_FALSE(noInterval.Open(dir.path() / "a.csv", 0, ec));
  SummaryLog intoAFolder(1);
  EXPECT_FALSE(intoAFolder.Open(dir.path(), 0, ec));
  EXPECT_TRUE(ec);
}

}  // namespace
}  // namespace evm
