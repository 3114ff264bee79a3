// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "scpi/scpi_errors.h"
#include "scpi/scpi_instrument.h"
#include "scpi/scpi_server.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

// The instrument on the simulated EVM, on virtual time.
struct Instrument {
  explicit Instrument(const std::string& fault = "", size_t capacity = 3)
      : bench(Bench::Open(
            {.simulate = true, .simulation = {.fault = fault}, .stateFolder = dir.path()})),
        scpi(*bench, capacity) {}
  std::string Run(const std::string& line) { return scpi.Execute(session, line); }
  std::string NextError() { return scpi::FormatError(session.status.errors.Pop()); }

  TempDir dir;
  std::unique_ptr<Bench> bench;
  scpi::ScpiInstrument scpi;
  scpi::Session session;
};

TEST(ScpiInstrument, MeasuresWithTheCalibrationItWritesOnABlankDevice) {
  Instrument i;
  EXPECT_EQ(i.Run("MEAS:CURR?"), "0.00000E+00");  // register 05h is 0
  EXPECT_EQ(i.bench->CalibrateIfBlank().message,
            "register 05h was 0: wrote A000 (the default calibration)");
  EXPECT_EQ(i.bench->CalibrateIfBlank().message, "");  // once is enough
  EXPECT_NEAR(std::stod(i.Run("MEAS:CURR?")), 1.0, 0.01);
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
      {"", "CAL:INIT:RES?", "-230,"},
      {"", "FETC?", "-230,"},
      {"", "ROUT:MUX 1,SKY", "-224,"},
      {"reglink:no-board", "MEAS:CURR?", "-241,\"Hardware missing;"},
      {"reglink:no-reply", "REG:READ? 0", "-241,\"Hardware missing;"},
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

TEST(ScpiInstrument, MonitorBufferIsBoundedAndOverflowsWithMinus350) {
  Instrument i;
  i.Run("INIT");
  ASSERT_TRUE(i.scpi.Monitoring());
  for (int pass = 0; pass < 4; ++pass) i.scpi.MonitorPass();
  EXPECT_FALSE(i.scpi.Monitoring());
  EXPECT_EQ(i.NextError().rfind("-350,\"Queue overflow;the monitor buffer is full at 3", 0), 0u);
  const std::string fetched = i.Run("FETC?");
  EXPECT_EQ(std::count(fetched.begin(), fetched.end(), ','), 3 * 4 - 1);  // three passes of four
  EXPECT_EQ(i.Run("FETC?"), "");                                          // fetched is gone
  EXPECT_EQ(i.NextError().rfind("-230,", 0), 0u);
  // A client that leaves takes its monitor with it.
  i.Run("INIT");
  i.scpi.Forget(i.session);
  EXPECT_FALSE(i.scpi.Monitoring());
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
