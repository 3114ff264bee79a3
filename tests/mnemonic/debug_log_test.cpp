// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "support/sim_fixture.h"

namespace evm {
namespace {

using test::SimContext;

std::string Golden(const char* name) {
  return ReadWholeFile(std::string(EVM_TEST_DATA_DIR) + "/mnemonic/" + name).value_or("<missing>");
}

struct Logged : SimContext {
  Logged() {
    evm.shell().UsbAddress = 0x2F90;
    evm.usbDebug().onAppended = [this](std::string_view) { ++appends; };
  }
  int appends = 0;
};

// Each step is found after the one before it.
void ExpectInOrder(const std::string& log, const std::vector<std::string>& steps) {
  size_t at = 0;
  for (const std::string& step : steps) {
    at = log.find(step, at);
    ASSERT_NE(at, std::string::npos) << "missing or out of order: " << step;
  }
}

// A long verbose session keeps the newest lines behind one marker line,
// whether the lines or the bytes reach the limit first; the observer still
// sees every text, so a copy of the log loses nothing.
TEST(UsbDebugLog, KeepsTheNewestLinesBehindOneMarker) {
  struct Case {
    size_t width;
    int entries;
  } cases[] = {{8, 30000}, {2000, 3000}};
  for (const Case& c : cases) {
    UsbDebugLog log;
    size_t observed = 0;
    log.onAppended = [&](std::string_view text) { observed += text.size(); };
    size_t written = 0;
    for (int i = 0; i < c.entries; ++i) {
      std::string entry = std::to_string(i);
      entry.resize(c.width, '.');
      log.Entry(entry);
      written += entry.size() + 2;
    }
    const std::string& text = log.Text();
    const size_t dropped = log.DroppedLines();
    ASSERT_GT(dropped, 0u) << c.width;
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), DroppedLinesMarker(dropped));
    const size_t kept = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) - 1;
    EXPECT_EQ(dropped + kept, static_cast<size_t>(c.entries)) << "no line lost in between";
    EXPECT_LE(kept, UsbDebugLog::kKeptLines * 5 / 4);
    EXPECT_LE(text.size(), UsbDebugLog::kKeptBytes * 5 / 4);
    const std::string firstKept = text.substr(text.find('\n') + 1, std::to_string(dropped).size());
    EXPECT_EQ(firstKept, std::to_string(dropped)) << "the oldest lines went, in order";
    EXPECT_EQ(observed, written);
  }
}

TEST(UsbDebugLog, LevelTwoTracesTextsReadsAndAcknowledgesOnlyAndLevelZeroNothing) {
  for (const DebugTrace level : {DebugTrace::Mnemonic, DebugTrace::Off}) {
    Logged c;
    c.evm.usbDebug().UsbDebugLevel = level;
    // Why a chosen board was taken is part of the discovery trace.
    c.evm.dutWriter().SelectedBoard = c.sim->Interface()->path;
    c.sim->Interface()->measureInputs = 0x5A;
    c.evm.dutWriter().SendMnemonic("CMD ON");
    c.evm.dutWriter().SendMnemonic("I2C CH2 S A5 ACKS R ACKM R ACKM P");
    c.evm.dutWriter().SendMnemonic("CMD MEAS ");
    EXPECT_EQ(c.evm.usbDebug().Text(), level == DebugTrace::Off
                                           ? ""
                                           : "CMD ON\r\n"
                                             "I2C CH2 S A5 ACKS R ACKM R ACKM P\r\nFF FF \r\n1 \r\n"
                                             "CMD MEAS \r\n5A \r\n");
    EXPECT_EQ(c.appends == 0, level == DebugTrace::Off);
  }
}

// The verbose trace of a discovery, step by step, then of one transaction on
// the board it found, byte for byte.
TEST(UsbDebugLog, LevelOneTracesTheDiscoveryAndATransactionOnTheBoardFound) {
  Logged c;
  c.evm.usbDebug().UsbDebugLevel = DebugTrace::Hid;
  c.evm.dutWriter().SendMnemonic("CMD ON");
  const std::string log = c.evm.usbDebug().Text();
  std::istringstream steps(Golden("level1_discovery_steps.txt"));
  std::vector<std::string> kept;
  for (std::string step; std::getline(steps, step);) {
    if (step.empty() || step[0] == '#') continue;
    for (size_t at; (at = step.find("\\r\\n")) != std::string::npos;) step.replace(at, 4, "\r\n");
    kept.push_back(step);
  }
  ExpectInOrder(log, kept);
  EXPECT_EQ(log.find("***** HID Test Report *****"), 2u) << "the header comes first";

  c.evm.usbDebug().Clear();
  c.clock.Set({2026, 3, 4, 14, 5, 6});
  c.evm.dutWriter().SendMnemonic("CMD MUX 40");
  EXPECT_EQ(c.evm.usbDebug().Text(), Golden("level1_transaction.log"));

  // A candidate that cannot be opened is still closed in the trace.
  Logged refused;
  refused.sim->RegLink()->openRefused = true;
  refused.evm.usbDebug().UsbDebugLevel = DebugTrace::Hid;
  refused.evm.dutWriter().SendMnemonic("CMD ON");
  const std::string trace = refused.evm.usbDebug().Text();
  const size_t first = trace.find("  DeviceInfoSet for device #0: ");
  const size_t second = trace.find("  DeviceInfoSet for device #1: ");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  const std::string member = trace.substr(first, second - first);
  ExpectInOrder(member,
                {"\r\nCreateFile\r\n  Result = Access is denied.\r\n", "\r\nHidD_GetAttributes\r\n",
                 "  Error in filling HIDD_ATTRIBUTES structure.\r\n", "\r\nCloseHandle\r\n"});
  EXPECT_TRUE(refused.evm.dutWriter().MnemonicBoardFound) << "the next member is the board";
}

// A failed exchange is traced and closes the connection.
TEST(UsbDebugLog, ATimeOutOrAFailedReadIsTracedAndClosesTheConnection) {
  const std::string timeout =
      "Readfile timeout\r\n************ReadFile timeout*************\r\nCancelIO\r\n\r\n"
      "CancelIo\r\n";
  for (const bool timesOut : {true, false}) {
    for (DebugTrace level : {DebugTrace::Hid, DebugTrace::Mnemonic}) {
      if (timesOut && level == DebugTrace::Mnemonic)
        continue;  // only the verbose trace names the time-out
      Logged c;
      c.evm.dutWriter().SendMnemonic("CMD ON");
      (timesOut ? c.sim->Interface()->noReply : c.sim->Interface()->readFails) = true;
      c.evm.usbDebug().UsbDebugLevel = level;
      c.ui.usbProblemAnswers = {UsbProblemChoice::TryAgain};
      c.evm.dutWriter().SendMnemonic("CMD OFF");
      const std::string& log = c.evm.usbDebug().Text();
      const size_t at = log.find(timesOut ? timeout : "Readfile undefined error\r\n");
      ASSERT_NE(at, std::string::npos) << static_cast<int>(level);
      if (timesOut) {
        EXPECT_NE(log.find("\r\nCloseHandle (ReadHandle)\r\n", at), std::string::npos);
      }
      EXPECT_FALSE(c.evm.dutWriter().MnemonicBoardFound);
      EXPECT_EQ(c.sim->OpenHandleCount(), 0);
      EXPECT_EQ(c.ui.usbProblemDialogs, 1);
    }
  }
}

// A window shows the log by appending what it is handed; handing it the whole
// log each time would make every entry cost more the longer a session logs.
TEST(UsbDebugLog, TheViewIsHandedEachNewTextOnlyAndClearedOnce) {
  Logged c;
  std::vector<std::string> handed;
  int clears = 0;
  c.evm.usbDebug().onAppended = [&](std::string_view text) { handed.emplace_back(text); };
  c.evm.usbDebug().onCleared = [&] { ++clears; };
  c.evm.usbDebug().UsbDebugLevel = DebugTrace::Mnemonic;
  for (int i = 0; i < 200; ++i) c.evm.dutWriter().SendMnemonic("CMD MEAS");
  const std::string& log = c.evm.usbDebug().Text();
  ASSERT_FALSE(handed.empty());
  size_t longest = 0;
  std::string joined;
  for (const std::string& t : handed) {
    longest = std::max(longest, t.size());
    joined += t;
  }
  EXPECT_EQ(joined, log) << "the pieces handed over make up the log, each once";
  EXPECT_LE(longest, std::string("CMD MEAS\r\n").size() + 8) << "no piece is the log so far";

  handed.clear();
  c.evm.usbDebug().Clear();
  EXPECT_EQ(clears, 1);
  c.evm.dutWriter().SendMnemonic("CMD ON");
  EXPECT_EQ(handed, std::vector<std::string>{"CMD ON\r\n"});
}

TEST(DebugUsbPanel, ButtonAndVerboseBoxChooseTheLevel) {
  UsbDebugLog log;
  DebugUsbPanel panel;
  DebugToggleClick(log, panel);
  EXPECT_EQ(log.UsbDebugLevel, DebugTrace::Mnemonic);
  DebugVerboseClick(log, panel, true);
  EXPECT_EQ(log.UsbDebugLevel, DebugTrace::Hid);
  DebugToggleClick(log, panel);
  EXPECT_EQ(log.UsbDebugLevel, DebugTrace::Off);
  DebugVerboseClick(log, panel, false);
  EXPECT_EQ(log.UsbDebugLevel, DebugTrace::Off) << "the box alone does not switch logging on";
  DebugVerboseClick(log, panel, true);
  DebugToggleClick(log, panel);
  EXPECT_EQ(log.UsbDebugLevel, DebugTrace::Hid);
}

}  // namespace
}  // namespace evm
