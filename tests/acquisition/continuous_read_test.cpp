// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/continuous_read.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "calibration/register_file.h"
#include "common/atomic_file.h"
#include "registers/register_display.h"
#include "registers/register_fixture.h"
#include "shell/main_load.h"

namespace evm {
namespace {

// A steady device: 1 A through 10 mOhm at 12 V, calibrated to A000h.
struct ReadContext : test::RegContext {
  ReadContext() {
    Device().load.noise = false;
    Device().SetRegisterForTest(5, 0xA000);
    Store().CurrentLsb = 1e-4;
    Store().PowerLsb = 0.002;
    logPath = (dir.path() / "log.csv").string();
  }
  // Stops the loop from inside its event processing after `passes` passes.
  void StopAfter(int passes) {
    ui.onProcessEvents = [this, passes] {
      if (ui.eventPasses >= passes) cmdStopContinuousRead_Click(evm);
    };
  }
  void OpenLog() {
    ui.saveFileAnswers.push_back(logPath);
    mnuLogToFile_Click(evm);
  }
  std::string Log() { return ReadWholeFile(logPath).value_or("<none>"); }
  std::string logPath;
};

const std::string kRecordEnd = "\"\r\n\"\r\n";

TEST(ContinuousRead, StopEndsTheLoopAfterThePassInProgressAndEndsANestedStartToo) {
  for (int passes : {1, 3}) {
    ReadContext c;
    std::vector<uint32_t> colours;
    c.evm.measurement().onPass = [&] { colours.push_back(StartButtonColour(c.evm.measurement())); };
    c.StopAfter(passes);
    cmdStartContinuousRead_Click(c.evm, c.panels);
    EXPECT_EQ(c.Reads().size(), 6u * static_cast<size_t>(passes));
    EXPECT_EQ(c.ui.eventPasses, passes);
    EXPECT_FALSE(c.evm.measurement().ContinuousRead);
    ASSERT_EQ(colours.size(), static_cast<size_t>(passes) + 1);
    for (int i = 0; i < passes; ++i) {
      const uint32_t blink = i % 2 == 0 ? kBlinkBlue : kBlinkRed;
      EXPECT_EQ(colours[static_cast<size_t>(i)], blink);
    }
    EXPECT_EQ(colours.back(), kButtonFace);
    EXPECT_EQ(c.clock.ElapsedMs(), (600 + 6 * 2) * passes) << "six reads of two USB frames each";
  }

  ReadContext nested;
  nested.ui.onProcessEvents = [&nested] {
    if (nested.ui.eventPasses == 1) cmdStartContinuousRead_Click(nested.evm, nested.panels);
    if (nested.ui.eventPasses == 3) cmdStopContinuousRead_Click(nested.evm);
  };
  cmdStartContinuousRead_Click(nested.evm, nested.panels);
  EXPECT_EQ(nested.ui.eventPasses, 3);
  EXPECT_EQ(nested.Reads().size(), 18u);
}

TEST(LogFile, HeaderAndRecordsByteForByte) {
  std::string header = "\"Date_Stamp\",";
  for (int i = 3; i <= 21; ++i) header += "\"Dec_Reg " + std::to_string(i) + "\",";
  for (int i = 0; i <= 22; ++i) header += "\"Int_Reg " + std::to_string(i) + "\",";
  header += kRecordEnd;

  ReadContext c;
  c.clock.Set({2026, 3, 7, 14, 5, 9});
  c.OpenLog();
  EXPECT_EQ(c.Log(), header) << "only the header until reading starts";
  EXPECT_TRUE(c.evm.measurement().mnuLogToFile);
  c.StopAfter(2);
  cmdStartContinuousRead_Click(c.evm, c.panels);
  // 12 W, 1 A, config 399Fh, 10 mV, 12 V with conversion-ready, power, current, cal.
  const std::string normal = "12,1,0,14751,1000,24002,6000,10000,40960," + kRecordEnd;
  EXPECT_EQ(c.Log(),
            header + "\"03-07-2026 14:05:09\"," + normal + "\"03-07-2026 14:05:10\"," + normal);

  // Small values in exponent form, below 1 without the leading zero; the
  // engineering view adds the trim registers.
  c.Store().CurrentLsb = 1e-9;
  c.Store().PowerLsb = 0.00002;
  c.Device().SetRegisterForTest(6, 0x0042);
  mnuEngineeringMode_Click(c.evm, c.panels);
  c.clock.Set({2026, 12, 31, 23, 59, 58});
  c.ui.eventPasses = 0;
  c.StopAfter(1);
  cmdStartContinuousRead_Click(c.evm, c.panels);
  const std::string engineering =
      "\"12-31-2026 23:59:58\",.12,1E-05,0,0,0,"
      "14751,1000,24002,6000,10000,40960,66,0," +
      kRecordEnd;
  EXPECT_EQ(c.Log().substr(c.Log().size() - engineering.size()), engineering);
}

// Logging switched off while reading goes on stops the records; a pass the
// board did not acknowledge is counted, not logged.
TEST(LogFile, OnlyAcknowledgedPassesWhileLoggingIsOnAreRecordedAndTheUnloadClosesIt) {
  for (const bool switchedOff : {true, false}) {
    SCOPED_TRACE(switchedOff ? "switched off after two passes" : "passes 2 and 3 not acknowledged");
    ReadContext c;
    c.OpenLog();
    c.ui.onProcessEvents = [&c, switchedOff] {
      if (switchedOff && c.ui.eventPasses == 2) mnuLogToFile_Click(c.evm);
      if (!switchedOff) c.Board().forcedStatus = c.ui.eventPasses == 1 || c.ui.eventPasses == 2;
      if (c.ui.eventPasses >= 4) cmdStopContinuousRead_Click(c.evm);
    };
    cmdStartContinuousRead_Click(c.evm, c.panels);
    EXPECT_TRUE(!switchedOff || c.Reads().size() == 24u) << "reading goes on";
    EXPECT_EQ(c.evm.measurement().unacknowledgedPasses, switchedOff ? 0 : 2);
    StopMeasurement(c.evm);
    const std::string log = c.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6) << "the header and two passes";
  }

  ReadContext unloaded;
  unloaded.OpenLog();
  unloaded.ui.onProcessEvents = [&unloaded] { MainUnload(unloaded.evm, unloaded.panels); };
  cmdStartContinuousRead_Click(unloaded.evm, unloaded.panels);
  EXPECT_EQ(unloaded.ui.eventPasses, 1);
  EXPECT_FALSE(unloaded.evm.measurement().LogActive);
  EXPECT_EQ(unloaded.evm.measurement().logFile, nullptr);
}

// Each refusal names the file; a read-only file keeps what it held.
TEST(LogFile, CancelOrAFileThatCannotBeMadeOrWrittenLeavesLoggingOff) {
  ReadContext c;
  c.ui.saveFileAnswers.push_back(std::nullopt);
  mnuLogToFile_Click(c.evm);
  EXPECT_FALSE(c.evm.measurement().mnuLogToFile) << "nothing is logged after a cancel";

  const std::string locked = (c.dir.path() / "kept.csv").string();
  ASSERT_TRUE(WriteFileAtomically(locked, "kept"));
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
  const std::string nowhere = (c.dir.path() / "missing" / "log.csv").string();
  std::vector<std::pair<std::string, std::string>> cases = {
      {nowhere, nowhere},
      {locked, "The file \"" + locked + "\" could not be created."},
  };
#ifndef _WIN32
  // A device that takes the open and refuses the write exists only on Unix.
  cases.emplace_back("/dev/full", "The file \"/dev/full\" could not be created.");
#endif
  for (const auto& [file, message] : cases) {
    SCOPED_TRACE(file);
    c.ui.messages.clear();
    c.logPath = file;
    c.OpenLog();
    EXPECT_FALSE(c.evm.measurement().LogActive);
    EXPECT_FALSE(c.evm.measurement().mnuLogToFile) << "the menu item is unchecked";
    ASSERT_EQ(c.ui.messages.size(), 1u);
    EXPECT_NE(c.ui.messages[0].text.find(message), std::string::npos);
    EXPECT_EQ(c.evm.measurement().LastChosenFolder, ExtractFolder(file));
  }
  EXPECT_EQ(ReadWholeFile(locked).value_or("<none>"), "kept");
}

}  // namespace
}  // namespace evm
