// SPDX-License-Identifier: GPL-3.0-or-later
// TRIGger:... and the triggered path of INITiate and FETCh? on the simulated
// EVM's load profiles, on virtual time.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "scpi/scpi_errors.h"
#include "scpi/scpi_instrument.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

constexpr double kPeriod = 0.008;  // four registers on 1 ms frames
// Sample times come as text to the microsecond: a period and its rounding.
constexpr double kSlack = kPeriod + 1e-4;
constexpr const char* kTrain =
    "pulse:at=2,width=0.1,amps=2;pulse:at=3,width=0.1,amps=2;pulse:at=4,width=0.1,amps=2";

struct Instrument {
  explicit Instrument(size_t capacity = 1000, const char* load = kTrain)
      : bench(Bench::Open(
            {.simulate = true, .simulation = {.load = load}, .stateFolder = dir.path()})),
        scpi(*bench, capacity) {
    bench->CalibrateIfBlank();
  }
  std::string Run(const std::string& line) { return scpi.Execute(session, line); }
  std::string NextError() { return scpi::FormatError(session.status.errors.Pop()); }

  TempDir dir;
  std::unique_ptr<Bench> bench;
  scpi::ScpiInstrument scpi;
  scpi::Session session;
};

// FETCh?'s answer: time and amperes of each sample.
std::vector<std::pair<double, double>> Samples(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> v;
  for (std::string field; std::getline(in, field, ',');) v.push_back(std::stod(field));
  std::vector<std::pair<double, double>> out;
  for (size_t k = 1; k + 4 < v.size(); k += 5) out.emplace_back(v[k], v[k + 3]);
  EXPECT_EQ(v.empty() ? 0 : static_cast<size_t>(v[0]), out.size()) << text;
  return out;
}

TEST(ScpiTrigger, SettingsReadBackAndBadOnesAreRefused) {
  const struct {
    const char* line;
    const char* answer;
    const char* error;  // the start of SYST:ERR?'s answer
  } cases[] = {
      {"TRIG:SOUR?;LEV?;SLOP?;PRE?;POST?;COUN?", "IMM;0.00000E+00;POS;0.00000E+00;0.00000E+00;1",
       "0,"},
      {"TRIG:SOUR BUS_VOLTS;LEV 11.5;SLOP EITH;SOUR?;LEV?;SLOP?", "BUS_VOLTS;1.15000E+01;EITH",
       "0,"},
      {"TRIGGER:SOURCE AMPS;LEVEL 500mA;SLOPE NEGATIVE;LEV?;SLOP?", "5.00000E-01;NEG", "0,"},
      {"TRIG:PRE 0.25;POST 2;COUN 0;PRE?;POST?;COUN?", "2.50000E-01;2.00000E+00;0", "0,"},
      {"TRIG:SOUR VOLTS", "", "-224,"},
      {"TRIG:SOUR WATTS;LEV 2 A", "", "-131,"},
      {"TRIG:TIME?", "", "-230,"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.line);
    Instrument i;
    EXPECT_EQ(i.Run(k.line), k.answer);
    EXPECT_EQ(i.NextError().rfind(k.error, 0), 0u);
  }
}

// Each capture is fetched by itself, with its pre- and post-trigger time
// and its trigger time; the run ends with its count.
TEST(ScpiTrigger, InitiateArmsACaptureAndFetchGivesOneCaptureAtATime) {
  Instrument i;
  // Re-armed until ABORt: a capture holds the board for one client alone,
  // and its settings stay as they are meanwhile.
  EXPECT_EQ(i.Run("SENS:ACQ:MODE FAST;:TRIG:SOUR AMPS;LEV 1.5;PRE 0.05;POST 0.2;COUN 0;:INIT"), "");
  scpi::Session other;
  EXPECT_EQ(i.scpi.Execute(other, "INIT"), "");
  EXPECT_EQ(scpi::FormatError(other.status.errors.Pop()).rfind("-221,", 0), 0u);
  EXPECT_EQ(i.Run("TRIG:PRE 1"), "");
  EXPECT_EQ(i.NextError().rfind("-221,", 0), 0u);
  EXPECT_EQ(i.Run("ABOR;:TRIG:COUN 2;:INIT"), "");
  i.scpi.WaitForRun();
  EXPECT_FALSE(i.scpi.Running());
  EXPECT_EQ(i.NextError(), "0,\"No error\"");  // ended by its count, no error
  double lastTrigger = 0;
  for (int capture = 0; capture < 2; ++capture) {
    SCOPED_TRACE(capture);
    const auto s = Samples(i.Run("FETC?"));
    ASSERT_GT(s.size(), 30u);
    double trigger = 0;
    long long index = -1;
    ASSERT_EQ(std::sscanf(i.Run("TRIG:TIME?").c_str(), "%lf,%lld", &trigger, &index), 2);
    ASSERT_GE(index, 1);
    ASSERT_LT(static_cast<size_t>(index), s.size());
    EXPECT_EQ(s[static_cast<size_t>(index)].first, trigger);
    EXPECT_GT(s[static_cast<size_t>(index)].second, 1.5);
    EXPECT_LE(s[static_cast<size_t>(index) - 1].second, 1.5);
    EXPECT_GE(trigger - s.front().first, 0.05 - 1e-6);
    EXPECT_LT(trigger - s.front().first, 0.05 + kSlack);
    EXPECT_GE(s.back().first - trigger, 0.2 - 1e-6);
    EXPECT_NEAR(trigger - lastTrigger, capture == 0 ? trigger : 1.0, kSlack);
    lastTrigger = trigger;
  }
  EXPECT_EQ(i.Run("FETC?"), "");
  EXPECT_EQ(i.NextError().rfind("-230,", 0), 0u);
}

// Captures nobody fetches end the run at the client's buffer, with -350.
TEST(ScpiTrigger, ACaptureLargerThanTheBufferEndsTheRun) {
  Instrument i(10);
  EXPECT_EQ(i.Run("TRIG:SOUR AMPS;LEV 1.5;PRE 0.1;POST 0.1;:INIT"), "");
  i.scpi.WaitForRun();
  EXPECT_EQ(i.NextError().rfind("-350,\"Queue overflow;capture 1 of ", 0), 0u);
  EXPECT_EQ(i.Run("FETC?"), "");
  EXPECT_EQ(i.NextError().rfind("-230,", 0), 0u);
}

}  // namespace
}  // namespace evm::test
