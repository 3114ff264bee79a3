// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <vector>

#include "scpi/scpi_errors.h"
#include "scpi/scpi_instrument.h"
#include "scpi/scpi_server.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

// The instrument on the simulated EVM, on virtual time unless told.
struct Instrument {
  explicit Instrument(const std::string& fault = "", size_t capacity = 3, bool fakeClock = true)
      : bench(Bench::Open({.simulate = true,
                           .simulation = {.fakeClock = fakeClock, .fault = fault},
                           .stateFolder = dir.path()})),
        scpi(*bench, capacity) {}
  std::string Run(const std::string& line) { return scpi.Execute(session, line); }
  std::string NextError() { return scpi::FormatError(session.status.errors.Pop()); }

  TempDir dir;
  std::unique_ptr<Bench> bench;
  scpi::ScpiInstrument scpi;
  scpi::Session session;
};

// The device starts blank; the first measurement finds the stored (here the
// default) calibration written, unless the bench was told to leave it.
TEST(ScpiInstrument, MeasuresWithTheCalibrationItWritesOnABlankDevice) {
  const auto blank = Bench::Open({.simulate = true, .calibrateIfBlank = false});
  scpi::ScpiInstrument kept(*blank);
  scpi::Session session;
  EXPECT_EQ(kept.Execute(session, "MEAS:CURR?"), "0.00000E+00");
  EXPECT_EQ(kept.Execute(session, "*RST;:REG:READ? 5"), "0") << "*RST keeps it blank too";

  Instrument i;
  EXPECT_NEAR(std::stod(i.Run("MEAS:CURR?")), 1.0, 0.01);
  EXPECT_EQ(i.bench->CalibrateIfBlank().message, "");  // once is enough
  // Bus, shunt, current and power of one pass, in that order.
  double bus = 0, shunt = 0, amps = 0, watts = 0;
  ASSERT_EQ(std::sscanf(i.Run("MEAS:ALL?").c_str(), "%lf,%lf,%lf,%lf", &bus, &shunt, &amps, &watts),
            4);
  EXPECT_NEAR(bus, 12, 0.01);
  EXPECT_NEAR(shunt, 0.01, 0.0001);
  EXPECT_NEAR(watts, bus * amps, 0.05);
  // *RST puts back a calibration that was lost.
  EXPECT_EQ(i.Run("REG 5,0;:REG:READ? 5"), "0");
  EXPECT_EQ(i.Run("*RST;:REG:READ? 5"), "40960");
  EXPECT_EQ(i.NextError(), "0,\"No error\"");
  // A negative expected current is taken by its size, as the tab takes it.
  EXPECT_EQ(i.Run("CAL:INIT 0.01,-2,100u;:CAL:INIT:RES?").substr(0, 6), "40960,");
  EXPECT_EQ(i.NextError(), "0,\"No error\"");
}

// The time of the pass READ? answers with, which tells one pass from two.
double PassTime(const std::string& read) {
  return std::stod(read.substr(read.find(',') + 1));
}

TEST(ScpiInstrument, ALineReadsTheDeviceOnceUnlessItChangesTheBoard) {
  struct Case {
    const char* line;  // its first and last answers are READ?'s
    bool onePass;
  };
  const Case cases[] = {
      {"READ?;:MEAS:VOLT?;CURR?;POW?;VOLT:SHUN?;:MEAS:ALL?;:READ?", true},
      {"READ?;:REG:READ? 0;:READ?", false},
      {"READ?;:REG 5,#HA000;:READ?", false},
      {"READ?;:SOUR:VOLT 0,1;:READ?", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Instrument i;
    const std::string answers = i.Run(c.line);
    const std::string first = answers.substr(0, answers.find(';'));
    const std::string last = answers.substr(answers.rfind(';') + 1);
    ASSERT_EQ(first.rfind("1,", 0), 0u) << answers;
    // A pass takes 0.6 s of settle time on the fake clock.
    EXPECT_EQ(PassTime(last) == PassTime(first), c.onePass) << answers;
    EXPECT_EQ(i.NextError(), "0,\"No error\"");
  }
  // The next line reads anew.
  Instrument i;
  const double first = PassTime(i.Run("READ?"));
  EXPECT_LT(first, PassTime(i.Run("READ?")));
}

TEST(ScpiInstrument, AnswersTheQueryOfEverySettingItTook) {
  struct Case {
    const char* fault;
    const char* set;  // "" leaves it as the server started
    const char* query;
    const char* answer;  // "" : -230 and no answer
  };
  const Case cases[] = {
      {"", "SOUR:VOLT 1,2.5", "SOUR:VOLT? 1", "2.50000E+00"},
      {"", "SOUR:VOLT 1,2.5", "SOUR:VOLT? 2", ""},
      {"", "", "SOUR:VOLT? 0", ""},
      {"", "OUTP:DUT ON", "OUTP:DUT?", "1"},
      {"", "OUTP:DUT ON;:OUTP:DUT:STAT OFF", "OUTP:DUT:STAT?", "0"},
      {"", "", "OUTP:DUT?", ""},
      {"", "ROUT:MUX 2,DAC,GND", "ROUT:MUX? 2", "DAC,GND"},
      {"", "ROUT:MUX 1,OPEN,GND;:ROUT:MUX 1,DAC", "ROUT:MUX? 1", "DAC,GND"},
      {"", "ROUT:MUX 1,DAC", "ROUT:MUX? 1", ""},  // the minus input was never set
      {"", "ROUT:MUX 1,DAC,DAC", "ROUT:MUX? 2", ""},
      // A setting the board did not take is none.
      {"interface:no-reply", "SOUR:VOLT 1,2.5", "SOUR:VOLT? 1", ""},
      {"interface:no-reply", "OUTP:DUT ON", "OUTP:DUT?", ""},
      {"interface:no-reply", "ROUT:MUX 2,DAC,GND", "ROUT:MUX? 2", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fault) + " / " + c.set + " / " + c.query);
    Instrument i(c.fault);
    EXPECT_EQ(i.Run(c.set), "");
    EXPECT_EQ(i.NextError().substr(0, 5), *c.fault ? "-241," : "0,\"No");
    EXPECT_EQ(i.Run(c.query), c.answer);
    EXPECT_EQ(i.NextError().substr(0, 5), *c.answer ? "0,\"No" : "-230,");
  }
}

TEST(ScpiInstrument, CountsAndEmptiesTheErrorQueue) {
  Instrument i;
  EXPECT_EQ(i.Run("SYST:ERR:COUN?"), "0");
  EXPECT_EQ(i.Run("SYST:ERR:ALL?"), "0,\"No error\"");
  i.Run("FOO");
  i.Run("REG:READ? 9");
  EXPECT_EQ(i.Run("SYSTEM:ERROR:COUNT?"), "2");
  const std::string all = i.Run("SYST:ERR:ALL?");
  EXPECT_EQ(all.rfind("-113,\"Undefined header;FOO\",-222,", 0), 0u) << all;
  EXPECT_EQ(i.Run("SYST:ERR:COUN?;:SYST:ERR?"), "0;0,\"No error\"");
}

TEST(ScpiInstrument, QueuesTheBoardsFaultsByTheirStandardNumbers) {
  struct Case {
    const char* fault;
    const char* line;
    const char* error;  // the start of SYST:ERR?'s answer
  };
  const Case cases[] = {
      {"", "REG 2,#H1234", "-240,\"Hardware error;register 02h at address 40h reads back "},
      {"", "MNEM:SEND 'I2C CH2 S 9Z'", "-102,\"Syntax error;'I2C CH2 S 9Z' at character 11: 9Z"},
      {"", "CAL:INIT 0,2,100u", "-222,\"Data out of range;"},
      // The main window's words, and core's DAC range.
      {"", "REG 5,#H10000",
       "-222,\"Data out of range;The value you entered is larger then 16 bits.  Register Length = "
       "16 bit.\""},
      {"", "CAL:INIT 0.01,2,61.037u", "-222,\"Data out of range;You selected a resolution out of "},
      {"", "SOUR:VOLT 0,4.95", "-222,\"Data out of range;"},
      {"", "CAL:INIT:RES?", "-230,"},
      {"", "FETC?", "-230,"},
      {"", "ROUT:MUX 1,SKY", "-224,"},
      {"reglink:no-board", "MEAS:CURR?", "-241,\"Hardware missing;"},
      {"interface:no-reply", "MEAS:ADC? 1", "-241,\"Hardware missing;"},
      // A device that does not acknowledge is a hardware error, whichever board it is on.
      {"reglink:non-zero-status", "REG:READ? 0", "-240,\"Hardware error;"},
      {"interface:non-zero-status", "MEAS:ADC? 1", "-240,\"Hardware error;"},
      {"interface:non-zero-status", "SOUR:VOLT 0,1", "-240,\"Hardware error;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Instrument i(c.fault);
    EXPECT_EQ(i.Run(c.line), "");
    const std::string error = i.NextError();
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  // The self-test fails for a board that is silent and for a device on it
  // that does not acknowledge.
  const std::pair<const char*, const char*> selfTests[] = {
      {"", "0"},
      {"interface:no-reply", "2"},
      {"reglink:non-zero-status", "1"},
      {"interface:non-zero-status", "2"},
  };
  for (const auto& [fault, result] : selfTests) {
    SCOPED_TRACE(fault);
    Instrument i(fault);
    EXPECT_EQ(i.Run("*TST?"), result);
  }
}

// FETCh?'s answer: the count, then time and four values of each sample.
struct Fetched {
  size_t count = 0;
  std::vector<std::array<double, 5>> samples;
};

Fetched Parse(const std::string& text) {
  Fetched f;
  std::istringstream in(text);
  std::string field;
  std::vector<double> v;
  while (std::getline(in, field, ',')) v.push_back(std::stod(field));
  if (!v.empty()) f.count = static_cast<size_t>(v[0]);
  for (size_t k = 1; k + 4 < v.size(); k += 5)
    f.samples.push_back({v[k], v[k + 1], v[k + 2], v[k + 3], v[k + 4]});
  return f;
}

TEST(ScpiInstrument, EachModeFillsTheClientsBoundedBufferWithTimedSamples) {
  struct Case {
    const char* mode;
    const char* query;  // SENS:ACQ:MODE?
    bool shuntRead;
    double minGap, maxGap;  // seconds between samples on the fake clock
  };
  const Case cases[] = {
      {"PASSES", "PASS", true, 0.5, 1.0},
      {"FAST", "FAST", true, 1e-5, 0.01},
      {"FAST2", "FAST2", false, 1e-5, 0.01},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Instrument i;
    EXPECT_EQ(i.Run(std::string("SENS:ACQ:MODE ") + c.mode + ";MODE?"), c.query);
    i.Run("INIT");
    // Nobody fetches: the run ends when the buffer of three is full.
    i.scpi.WaitForRun();
    EXPECT_FALSE(i.scpi.Running());
    EXPECT_EQ(i.NextError().rfind("-350,\"Queue overflow;the monitor buffer is full at 3", 0), 0u);
    EXPECT_EQ(i.NextError(), "0,\"No error\"");
    const Fetched f = Parse(i.Run("FETC?"));
    ASSERT_EQ(f.count, 3u);
    ASSERT_EQ(f.samples.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
      SCOPED_TRACE(k);
      EXPECT_NEAR(f.samples[k][1], 12, 0.01);       // bus volts
      EXPECT_EQ(f.samples[k][2] < 1, c.shuntRead);  // shunt volts, or 9.91E37
      EXPECT_EQ(f.samples[k][2] == 9.91e37, !c.shuntRead);
      if (k == 0) continue;
      const double gap = f.samples[k][0] - f.samples[k - 1][0];
      EXPECT_GE(gap, c.minGap);
      EXPECT_LE(gap, c.maxGap);
    }
    // Fetched is gone, and with the monitor over there is nothing to wait for.
    EXPECT_EQ(i.Run("FETC?"), "");
    EXPECT_EQ(i.NextError().rfind("-230,", 0), 0u);
  }
}

TEST(ScpiInstrument, RefusesWhatTheRunForbidsAndEndsWithItsLastClient) {
  struct Case {
    const char* line;
    bool fromOther;     // the second client sends it
    const char* error;  // the start of SYST:ERR?'s answer
  };
  const Case cases[] = {
      {"MEAS:CURR?", false, "-200,\"Execution error;a monitor run holds the board"},
      {"REG:READ? 0", true, "-200,\"Execution error;a monitor run holds the board"},
      {"*TST?", true, "-200,"},
      {"INIT", false, "-213,"},
      {"SENS:ACQ:MODE FAST", false, "-221,"},
      {"SENS:ACQ:MODE FAST;:INIT", true, "-221,\"Settings conflict;the monitor run of another"},
      {"SENS:ACQ:MODE SLOW", true, "-224,"},
  };
  // Real time: the run keeps the board for as long as it is not ABORted.
  Instrument i("", 1000, false);
  scpi::Session other;
  i.Run("INIT");
  ASSERT_TRUE(i.scpi.Running());
  // A pass takes 0.6 s in real time: nothing yet, which is no error while it runs.
  EXPECT_EQ(i.Run("FETC?"), "0");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    scpi::Session& s = c.fromOther ? other : i.session;
    EXPECT_EQ(i.scpi.Execute(s, c.line), "");
    const std::string error = scpi::FormatError(s.status.errors.Pop());
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  // A client in the run's mode collects from it into a buffer of its own.
  EXPECT_EQ(i.scpi.Execute(other, "SENS:ACQ:MODE PASS;:INIT"), "");
  EXPECT_EQ(scpi::FormatError(other.status.errors.Pop()), "0,\"No error\"");
  i.Run("ABOR");
  EXPECT_TRUE(i.scpi.Running()) << "the other client still collects";
  i.scpi.Forget(other);
  EXPECT_FALSE(i.scpi.Running()) << "the last client left: the board is free at once";
  EXPECT_EQ(i.Run("REG:READ? 0"), "14751");
  EXPECT_EQ(i.NextError(), "0,\"No error\"");
}

TEST(ScpiInstrument, ClientsCollectIntoBuffersOfTheirOwn) {
  Instrument i;
  scpi::Session other;
  i.Run("SENS:ACQ:MODE FAST;:INIT");
  i.scpi.WaitForRun();
  EXPECT_EQ(i.scpi.Execute(other, "SENS:ACQ:MODE FAST;:INIT"), "");
  i.scpi.WaitForRun();
  const Fetched mine = Parse(i.Run("FETC? 2"));  // at most two
  const Fetched theirs = Parse(i.scpi.Execute(other, "FETC?"));
  ASSERT_EQ(mine.samples.size(), 2u);
  ASSERT_EQ(theirs.samples.size(), 3u);
  EXPECT_LT(mine.samples[1][0], theirs.samples[0][0]) << "the second run came later";
  EXPECT_EQ(Parse(i.Run("FETC?")).samples.size(), 1u) << "the one left of mine";
}

TEST(ScpiInstrument, CalculateGivesTheFiguresOfTheLastAcquisition) {
  Instrument i("", 200);
  EXPECT_EQ(i.Run("CALC:AVER?"), "");
  EXPECT_EQ(i.NextError().rfind("-230,", 0), 0u) << "nothing acquired yet";
  i.bench->CalibrateIfBlank();
  i.Run("SENS:ACQ:MODE FAST2;:INIT");
  i.scpi.WaitForRun();
  i.NextError();  // the full buffer ended it
  // The figures of the samples, also of those fetched.
  const Fetched f = Parse(i.Run("FETC?"));
  ASSERT_EQ(f.samples.size(), 200u);
  double sum = 0, sumBus = 0, lo = 1e9, hi = -1e9;
  for (const auto& sample : f.samples) {
    sum += sample[3];
    sumBus += sample[1];
    lo = std::min(lo, sample[3]);
    hi = std::max(hi, sample[3]);
  }
  struct Case {
    const char* query;
    double want;
  };
  const Case cases[] = {
      {"CALC:AVER?", sum / 200},
      {"CALC:AVER:MEAN? CURR", sum / 200},
      {"CALC:AVER:MIN?", lo},
      {"CALC:AVER:MAX? CURRENT", hi},
      {"CALC:AVER:PTP?", hi - lo},
      {"CALC:AVER:MEAN? BUS", sumBus / 200},
      {"CALC:AVER:MEAN? SHUN", 9.91e37},  // not read in FAST2
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(std::stod(i.Run(c.query)), c.want, 1e-4 + 1e-9 * std::fabs(c.want)) << c.query;
  }
  EXPECT_EQ(i.Run("CALC:AVER:COUN?"), "200,0");
  const double seconds = f.samples.back()[0] - f.samples.front()[0];
  double charge = 0, mah = 0;
  ASSERT_EQ(std::sscanf(i.Run("CALC:CHAR?").c_str(), "%lf,%lf", &charge, &mah), 2);
  EXPECT_NEAR(charge, sum / 200 * seconds, 0.02 * charge);
  EXPECT_NEAR(mah, charge / 3.6, 1e-9);
  // Everything at once: 3 + 4 * 5 + 4 numbers.
  const std::string all = i.Run("CALC:STAT?");
  EXPECT_EQ(std::count(all.begin(), all.end(), ','), 26) << all;
  EXPECT_EQ(all.substr(0, 4), "200,");
  EXPECT_EQ(i.Run("CALC:AVER:MEAN? VOLT"), "");
  EXPECT_EQ(i.NextError().rfind("-224,", 0), 0u);
  // A new acquisition starts the figures again.
  i.Run("INIT");
  i.scpi.WaitForRun();
  EXPECT_EQ(i.Run("CALC:AVER:COUN?"), "200,0");
}

TEST(ScpiInstrument, ARunTheBoardEndsTellsItsClientsWhy) {
  Instrument i("reglink:no-reply");
  i.Run("INIT");
  i.scpi.WaitForRun();
  EXPECT_FALSE(i.scpi.Running());
  const std::string error = i.NextError();
  EXPECT_EQ(error.rfind("-241,\"Hardware missing;", 0), 0u) << error;
}

TEST(ScpiServe, ReadsTheListenAddress) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
  };
  const Case cases[] = {
      {"127.0.0.1:5025", true, "127.0.0.1", 5025},
      {":6000", true, "127.0.0.1", 6000},
      {"localhost", true, "localhost", 5025},
      {"[::1]:7000", true, "::1", 7000},
      {"0.0.0.0:0", true, "0.0.0.0", 0},
      {"host:", false, "", 0},
      {"host:65536", false, "", 0},
      {"::1:5025", false, "", 0},
      {"[::1", false, "", 0},
      {"host:50x", false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    scpi::ListenAddress a;
    ASSERT_EQ(scpi::ParseListenAddress(c.text, a), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(a.host, c.host);
    EXPECT_EQ(a.port, c.port);
  }
}

}  // namespace
}  // namespace evm::test
