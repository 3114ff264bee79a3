// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/main_load.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/atomic_file.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
#include "shell/status_text.h"
#include "shell/stored_calibration.h"
#include "shell/usb_address_file.h"
#include "support/sim_fixture.h"
#include "testboard/eval_control_panel.h"

namespace evm {
namespace {

using test::SimContext;

void WriteSettings(SimContext& c, const std::string& content) {
  ASSERT_TRUE(WriteFileAtomically(c.evm.StateFile(kSettingsFileName), content));
}

// A month or year that is not a plausible whole number keeps the other
// texts and counts as due.
TEST(MainLoad, ReminderFollowsStoredMonthAndYear) {
  struct Case {
    const char* stored;
    DateTime now;
    bool reminder;
    int monthAfter;
  };
  // clang-format off
  const Case cases[] = {
      {"3\r\n2026",     {2026, 3, 10}, false, 3}, {"3\r\n2026",    {2026, 4, 1}, true,  4},
      {"12\r\n2025",    {2026, 1, 2},  true,  1}, {"5\r\n2027",    {2026, 4, 1}, false, 5},
      {"March\r\n2026", {2026, 4, 1},  true,  4}, {"\"4\"\r\n2026", {2026, 4, 1}, true,  4},
      {"13\r\n2026",    {2026, 4, 1},  true,  4}, {"4\r\n2026.5",  {2026, 4, 1}, true,  4},
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.stored);
    SimContext c;
    c.clock.Set(k.now);
    WriteSettings(c, std::string("\"0.02\"\r\n\"3\"\r\n\"50u\"\r\n") + k.stored + "\r\n");
    EXPECT_EQ(MainLoad(c.evm, c.panels), LoadOutcome::Loaded);
    EXPECT_EQ(c.ui.reminders, k.reminder ? 1 : 0);
    EXPECT_EQ(c.panels.calibration.txtRshunt, "0.02");
    EXPECT_EQ(c.panels.calibration.txtSelectedCurrentLSB, "50u");
    EXPECT_EQ(c.evm.shell().StoredMonth, k.monthAfter);
    if (k.reminder) {
      EXPECT_EQ(c.evm.shell().StoredYear, k.now.year);
    }
  }
}

// The built-in defaults and stored texts both follow the locale's separator.
TEST(MainLoad, FirstRunWritesLocalizedDefaultsAndStoredTextsAreLocalized) {
  for (const bool comma : {false, true}) {
    SCOPED_TRACE(comma ? "comma" : "point");
    const NumberLocale locale = comma ? NumberLocale::Comma() : NumberLocale::Point();
    SimContext c(locale);
    EXPECT_EQ(MainLoad(c.evm, c.panels), LoadOutcome::LoadErrorPath);
    EXPECT_EQ(c.ui.reminders, 1);
    EXPECT_FALSE(c.evm.regLink().LinkOpen()) << "the error path closes the link";
    c.evm.regLink().OpenRegLink();
    FirstActivation(c.evm, c.panels);
    EXPECT_EQ(c.panels.calibration.txtFSC_Hex, "A000");
    MainUnload(c.evm, c.panels);
    EXPECT_EQ(ReadWholeFile(c.evm.StateFile(kSettingsFileName)),
              std::string("\"0") + (comma ? "," : ".") + "01\"\r\n\"2\"\r\n\"100u\"\r\n0\r\n0\r\n");
    // evmctl and the API scale by what the main window wrote, in either locale.
    const StoredCalibration read =
        ReadStoredCalibration(c.evm.StateFile(kSettingsFileName), {0.32, 32});
    EXPECT_DOUBLE_EQ(read.restored.scaling.currentLsb, 100e-6);
    EXPECT_DOUBLE_EQ(read.restored.scaling.powerLsb, 2e-3);

    SimContext stored(locale);
    WriteSettings(stored, "\"0.02\",\"1,5\",\"\"\r\n4\r\n2026\r\n");
    EXPECT_EQ(MainLoad(stored.evm, stored.panels), LoadOutcome::Loaded);
    EXPECT_EQ(stored.evm.shell().DecimalComma, comma ? 1 : 0);
    EXPECT_EQ(stored.panels.calibration.txtRshunt, comma ? "0,02" : "0.02");
    EXPECT_EQ(stored.panels.calibration.txtMaxExpectedCurrent, comma ? "1,5" : "1.5");
    EXPECT_EQ(stored.panels.calibration.txtSelectedCurrentLSB, "0") << "an empty text reads as 0";
  }
}

// Settings that are there but do not parse are the user's only copy: they
// are kept aside, named, before the defaults replace them.
TEST(MainLoad, GarbledSettingsTakeTheErrorPathAndAreKeptAside) {
  for (const char* garbled :
       {"", "\"0.02\"\r\n\"3\"\r\n", "\"0.05\"\r\n\x01\x02\xff\xfe garbage"}) {
    SCOPED_TRACE(garbled);
    SimContext c;
    WriteSettings(c, garbled);
    EXPECT_EQ(MainLoad(c.evm, c.panels), LoadOutcome::LoadErrorPath);
    EXPECT_EQ(c.ui.reminders, 1);
    EXPECT_EQ(c.panels.calibration.txtRshunt, "0.01");
    MainUnload(c.evm, c.panels);
    const auto file = c.evm.StateFile(kSettingsFileName);
    EXPECT_EQ(ReadWholeFile(file.string() + ".bad"), garbled);
    EXPECT_TRUE(ReadSettingsFile(file)) << "the next start reads what this one wrote";
    ASSERT_FALSE(c.ui.messages.empty());
    EXPECT_NE(c.ui.messages[0].text.find(file.string() + ".bad"), std::string::npos);
  }
  // A second bad file is kept beside the first, under the time it was found.
  SimContext c;
  c.clock.Set({2026, 7, 1, 9, 5, 3});
  const auto file = c.evm.StateFile(kSettingsFileName);
  ASSERT_TRUE(WriteFileAtomically(file.string() + ".bad", "EARLIER BAD"));
  WriteSettings(c, "LATER BAD");
  MainLoad(c.evm, c.panels);
  MainUnload(c.evm, c.panels);
  EXPECT_EQ(ReadWholeFile(file.string() + ".bad"), "EARLIER BAD");
  EXPECT_EQ(ReadWholeFile(file.string() + ".20260701-090503.bad"), "LATER BAD");
}

// Whatever the session changed is lost when its file cannot be written:
// the user hears of every such file, in one message.
TEST(MainUnload, StateFilesThatCannotBeWrittenAreNamedInOneMessage) {
  SimContext c;
  ASSERT_EQ(MainLoad(c.evm, c.panels), LoadOutcome::LoadErrorPath);
  const auto address = c.evm.StateFile(kUsbAddressFileName);
  const auto control = c.evm.StateFile(kControlEvmSettingsFileName);
  std::filesystem::create_directory(address);
  std::filesystem::create_directory(control);
  c.ui.messages.clear();
  MainUnload(c.evm, c.panels);
  ASSERT_EQ(c.ui.messages.size(), 1u);
  const std::error_code isDirectory = std::make_error_code(std::errc::is_a_directory);
  EXPECT_EQ(c.ui.messages[0].text,
            UnstoredStateMessage({{address, isDirectory}, {control, isDirectory}}));
  EXPECT_NE(c.ui.messages[0].text.find(address.string() + ": " + isDirectory.message()),
            std::string::npos);
  EXPECT_TRUE(ReadSettingsFile(c.evm.StateFile(kSettingsFileName))) << "the others are written";
}

// Aborting before the settings were read must not replace them.
TEST(MainLoad, UsbProblemDialogLoopsUntilTheUserDecidesAndTryAgainFindsABoardPluggedIn) {
  const std::string settings = "\"0.05\"\r\n\"4\"\r\n\"200u\"\r\n6\r\n2026\r\n";
  using enum UsbProblemChoice;
  for (const auto& answers :
       {std::deque{TryAgain, SetAddressAndTryAgain, RunWithoutUsb}, std::deque{AbortProgram}}) {
    SimContext c;
    WriteSettings(c, settings);
    c.sim->RegLink()->plugged = false;
    c.ui.usbProblemAnswers = answers;
    const bool abort = answers.back() == AbortProgram;
    EXPECT_EQ(MainLoad(c.evm, c.panels), abort ? LoadOutcome::Aborted : LoadOutcome::Loaded);
    EXPECT_EQ(c.ui.usbProblemDialogs, static_cast<int>(answers.size()));
    EXPECT_EQ(c.evm.shell().RunWithoutUsb, !abort);
    MainUnload(c.evm, c.panels);
    if (abort) {
      EXPECT_EQ(ReadWholeFile(c.evm.StateFile(kSettingsFileName)), settings);
    } else {
      EXPECT_FALSE(c.evm.shell().UsbRetry);
    }
  }

  SimContext later;
  later.sim->RegLink()->plugged = false;
  later.ui.onUsbProblemDialog = [&later] { later.sim->RegLink()->plugged = true; };
  later.ui.usbProblemAnswers = {UsbProblemChoice::TryAgain};
  MainLoad(later.evm, later.panels);
  EXPECT_EQ(later.ui.usbProblemDialogs, 1);
  EXPECT_FALSE(later.evm.shell().RunWithoutUsb);
  EXPECT_TRUE(later.evm.shell().SettingsFileOwned);
}

TEST(MainLoad, UsbProblemDetailNamesTheIdsAndADeviceThatCannotBeOpened) {
  SimContext c;
  c.sim->RegLink()->openRefused = true;
  EXPECT_EQ(MainLoad(c.evm, c.panels), LoadOutcome::Aborted);
  EXPECT_EQ(
      UsbSearchDetail(c.evm),
      "Searched for the register link, USB id 3A5F:5F00. The interface board is looked for at "
      "USB id 3A5F:2F90. 1 HID device(s) could not be opened: access to them may be missing "
      "(on Linux, a udev rule must grant read and write access to the board's /dev/hidraw "
      "device).");
}

TEST(MainLoad, UnreadableStateFilesAreNamedAndStaleTemporaryFilesRemoved) {
  SimContext c;
  const auto address = c.evm.StateFile(kUsbAddressFileName);
  std::filesystem::create_directory(address);
  const auto stale = c.evm.StateFile("ZM5520_1EVM_Settings.csv.0123456789abcdef.tmp~");
  ASSERT_TRUE(WriteFileAtomically(stale, "x"));
  std::filesystem::last_write_time(
      stale, std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
  MainLoad(c.evm, c.panels);
  EXPECT_EQ(c.ui.messages.at(0).text,
            UnreadableFileMessage(address, std::make_error_code(std::errc::is_a_directory)));
  EXPECT_FALSE(std::filesystem::exists(stale));
}

// A fresh install and a stored address outside both ranges start at the
// standard base, as the address window would show them; without a load
// there is no address to write.
TEST(MainLoad, StartUpAddressIsTheStoredOneBroughtIntoRange) {
  const std::pair<std::optional<uint16_t>, uint16_t> cases[] = {
      {std::nullopt, 0x2F90}, {0, 0x2F90}, {0x1235, 0x1235}, {0x1237, 0x1237}, {0x1238, 0x2F90}};
  for (const auto& [stored, address] : cases) {
    SimContext c;
    if (stored) WriteUsbAddressFile(c.evm.StateFile(kUsbAddressFileName), *stored);
    MainLoad(c.evm, c.panels);
    EXPECT_EQ(c.evm.shell().LegacyAddressing, address < 0x2F90);
    MainUnload(c.evm, c.panels);
    EXPECT_EQ(*ReadWholeFile(c.evm.StateFile(kUsbAddressFileName)),
              std::to_string(address) + "\r\n");
  }
  SimContext unloaded;
  MainUnload(unloaded.evm, unloaded.panels);
  EXPECT_FALSE(ReadWholeFile(unloaded.evm.StateFile(kUsbAddressFileName))) << "never an empty one";
}

TEST(MainUnload, OtherWindowsUnloadAfterTheStateFilesAndBeforeTheLinkCloses) {
  test::SimContext c;
  ASSERT_EQ(MainLoad(c.evm, c.panels), LoadOutcome::LoadErrorPath);
  ASSERT_TRUE(c.evm.regLink().OpenRegLink());
  bool filesWritten = false;
  bool linkOpen = false;
  MainUnload(c.evm, c.panels, [&] {
    filesWritten = std::filesystem::exists(c.evm.StateFile(kSettingsFileName));
    linkOpen = c.evm.regLink().LinkOpen();
  });
  EXPECT_TRUE(filesWritten);
  EXPECT_TRUE(linkOpen);
  EXPECT_FALSE(c.evm.regLink().LinkOpen());
}

TEST(SetUsbAddress, LoadSetsRangeJumpersAndCaptionFromTheFile) {
  struct Case {
    const char* file;
    bool legacy;
    const char* text4;
    const char* text5;
    uint16_t address;
  };
  const Case cases[] = {
      {"4661\r\n", true, " 0", " 1", 0x1235},   {"12178\r\n", false, " 1", " 0", 0x2F92},
      {"4663\r\n", true, " 1", " 1", 0x1237},   {"0\r\n", false, " 0", " 0", 0x2F90},
      {"12180\r\n", false, " 0", " 0", 0x2F90}, {nullptr, false, " 0", " 0", 0x2F93},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.file ? k.file : "no file: the address in use stays");
    test::TempDir dir;
    const auto file = dir.path() / kUsbAddressFileName;
    ASSERT_TRUE(!k.file || WriteFileAtomically(file, k.file));
    ShellState shell;
    shell.UsbAddress = 0x2F93;
    SetUsbAddressPanel panel;
    SetUsbAddressLoad(panel, shell, file);
    EXPECT_EQ(shell.LegacyAddressing, k.legacy);
    EXPECT_EQ(panel.Check1, k.legacy);
    EXPECT_EQ(panel.Text4, k.text4);
    EXPECT_EQ(panel.Text5, k.text5);
    EXPECT_EQ(shell.UsbAddress, k.address);
    EXPECT_EQ(panel.Label3, ProductIdCaption(k.address));
    // What the window saves (the GUI's test reads it back); never an empty record.
    EXPECT_TRUE(SetUsbAddressSave(shell, file));
    EXPECT_FALSE(SetUsbAddressSave(ShellState{}, file));
    EXPECT_EQ(*ReadWholeFile(file), std::to_string(k.address) + "\r\n");
  }
}

TEST(SetUsbAddress, JumperAndLegacyClicksSetTheAddress) {
  ShellState shell;
  shell.UsbAddress = 0x2F90;
  SetUsbAddressPanel panel;
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(shell.UsbAddress, 0x2F92);
  SetUsbAddressJumperClick(panel, shell, 5);
  EXPECT_EQ(shell.UsbAddress, 0x2F93);
  EXPECT_EQ(panel.Label3, "MyProductID = 2F93h");
  SetUsbAddressJumperClick(panel, shell, 4);
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(shell.UsbAddress, 0x2F93);

  shell.LegacyAddressing = true;
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(shell.UsbAddress, 0x1235);

  panel.Text5 = "x";  // a box not showing a jumper leaves the address alone...
  panel.Text4 = "y";
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(panel.Text4, " 1");  // ...until both show one again
  EXPECT_EQ(shell.UsbAddress, 0x1235);

  // The legacy box moves between the ranges and clears the jumpers.
  SetUsbAddressCheck1Click(panel, shell, false);
  EXPECT_EQ(shell.UsbAddress, 0x2F90);
  EXPECT_FALSE(shell.LegacyAddressing);
  SetUsbAddressCheck1Click(panel, shell, true);
  EXPECT_EQ(shell.UsbAddress, 0x1234);
  EXPECT_TRUE(shell.LegacyAddressing);
  EXPECT_EQ(panel.Text4 + panel.Text5, " 0 0");
}

}  // namespace
}  // namespace evm
