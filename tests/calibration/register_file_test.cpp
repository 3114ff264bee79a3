// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/register_file.h"

#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "common/utf8_path.h"
#include "registers/register_display.h"
#include "registers/register_fixture.h"

namespace evm {
namespace {

using test::RegContext;

std::string Lines(const std::vector<int>& values, const char* separator = "\r\n") {
  std::string s;
  for (int v : values) s += std::to_string(v) + separator;
  return s;
}

std::vector<int> Sequence(int count) {
  std::vector<int> v;
  v.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) v.push_back(i * 1000);
  return v;
}

TEST(RegisterFile, SaveWritesTheSlotsAndRemembersTheFolderForTheNextDialog) {
  EXPECT_EQ(ExtractFolder("C:\\EVM\\data\\regs.csv"), "C:\\EVM\\data\\");
  EXPECT_EQ(ExtractFolder("/home/me/regs.csv"), "/home/me/");
  EXPECT_EQ(ExtractFolder("/"), "/");
  EXPECT_EQ(ExtractFolder("regs.csv"), "");
  EXPECT_EQ(ExtractFolder(""), "");

  RegContext c;
  for (int i = 0; i < 23; ++i) c.Store().RegValue[static_cast<size_t>(i)] = i == 0 ? 65535 : i * 7;
  const std::string file = (c.dir.path() / "regs.csv").string();
  c.ui.saveFileAnswers.push_back(file);
  mnuSaveReg_Click(c.evm);

  ASSERT_EQ(c.ui.fileDialogs.size(), 1u);
  EXPECT_EQ(c.ui.fileDialogs[0].filter, "Csv Files (*.csv)|*.csv|All Files (*.*)|*.*");
  EXPECT_EQ(c.ui.fileDialogs[0].initialFolder, "");
  std::string expected = "65535\r\n";
  for (int i = 1; i < 23; ++i) expected += std::to_string(i * 7) + "\r\n";
  EXPECT_EQ(ReadWholeFile(file), expected);
  const std::string folder = (c.dir.path() / "").string();
  EXPECT_EQ(ReadWholeFile(c.evm.StateFile("path_info.txt")), "\"" + folder + "\"\r\n");

  c.ui.openFileAnswers.push_back(std::nullopt);
  mnuLoadReg_Click(c.evm, c.panels);
  EXPECT_EQ(c.ui.fileDialogs[1].initialFolder, folder);
  EXPECT_TRUE(c.ui.messages.empty()) << "a cancelled dialog does nothing";

  const std::string nowhere = (c.dir.path() / "no" / "such" / "regs.csv").string();
  c.ui.saveFileAnswers.push_back(nowhere);
  mnuSaveReg_Click(c.evm);
  ASSERT_EQ(c.ui.messages.size(), 1u);
  EXPECT_NE(c.ui.messages[0].text.find(nowhere), std::string::npos);
}

TEST(RegisterFile, LoadBringsBackTheSlotsAndWritesOnlyWhatChanged) {
  RegContext c;
  ReadAllRegs(c.evm, c.panels);
  WriteAllEdited(c.evm, c.panels);
  const auto before = c.Store().RegValue;
  const size_t writes = c.Writes().size();

  // The present values: nothing to write.
  std::vector<int> same(before.begin(), before.begin() + 23);
  const auto file = c.dir.path() / "same.csv";
  ASSERT_TRUE(WriteFileAtomically(file, Lines(same)));
  c.ui.openFileAnswers.push_back(file.string());
  mnuLoadReg_Click(c.evm, c.panels);
  EXPECT_EQ(c.Writes().size(), writes);

  // Config and calibration changed, slot 22 too; values may share a line.
  std::vector<int> changed = same;
  changed[0] = 0x019F;
  changed[5] = 0xA000;
  changed[22] = 12345;
  std::string content = Lines(changed);
  content.replace(content.find("\r\n"), 2, ",");
  ASSERT_TRUE(WriteFileAtomically(file, content));
  c.ui.openFileAnswers.push_back(file.string());
  mnuLoadReg_Click(c.evm, c.panels);
  const auto all = c.Writes();
  using Writes = std::vector<std::pair<int, int>>;
  const Writes fromLoad(all.begin() + static_cast<std::ptrdiff_t>(writes), all.end());
  EXPECT_EQ(fromLoad, (Writes{{0, 0x019F}, {5, 0xA000}}));
  EXPECT_EQ(c.Store().RegValue[22], 12345);
  EXPECT_EQ(c.Cell(1, 1), " Config");
  EXPECT_TRUE(c.ui.messages.empty());
  EXPECT_EQ(c.evm.measurement().LastChosenFolder, (c.dir.path() / "").string());
  EXPECT_FALSE(std::filesystem::exists(c.evm.StateFile("path_info.txt"))) << "only Save keeps it";
}

// File dialogs answer in UTF-8; a user folder whose name is not ASCII must not
// stop saving and loading.
TEST(RegisterFile, SaveAndLoadInAFolderWithANonAsciiName) {
  RegContext c;
  const auto folder = c.dir.path() / PathFromUtf8("J\xC3\xB6rg-\xD0\x96");
  std::filesystem::create_directories(folder);
  c.Store().RegValue[22] = 4321;
  const std::string file = Utf8FromPath(folder / "regs.csv");
  c.ui.saveFileAnswers.push_back(file);
  mnuSaveReg_Click(c.evm);
  c.Store().RegValue[22] = 0;
  c.ui.openFileAnswers.push_back(file);
  mnuLoadReg_Click(c.evm, c.panels);
  EXPECT_TRUE(c.ui.messages.empty());
  EXPECT_EQ(c.Store().RegValue[22], 4321);
}

// The file is read for its 23 values and closed: a value added after them
// by hand, or anything else, is never looked at.
TEST(RegisterFile, WhatFollowsTheTwentyThirdValueIsIgnored) {
  for (const std::string& tail : {std::string("23\r\n"), std::string("garbage,\x01\x02")}) {
    SCOPED_TRACE(tail);
    RegContext c;
    const auto file = c.dir.path() / "long.csv";
    ASSERT_TRUE(WriteFileAtomically(file, Lines(Sequence(23)) + tail));
    c.ui.openFileAnswers.push_back(file.string());
    mnuLoadReg_Click(c.evm, c.panels);
    EXPECT_TRUE(c.ui.messages.empty());
    EXPECT_EQ(c.Store().RegValue[22], Sequence(23)[22]);
  }
}

TEST(RegisterFile, BadFilesChangeNothing) {
  struct Case {
    const char* name;
    std::string content;
  };
  std::vector<int> with70000 = Sequence(23);
  with70000[4] = 70000;
  std::vector<int> negative = Sequence(23);
  negative[2] = -1;
  const Case cases[] = {
      {"22 values", Lines(Sequence(22))},
      {"a value of 70000", Lines(with70000)},
      {"a negative value", Lines(negative)},
      {"a fraction", "1.5\r\n" + Lines(Sequence(22))},
      {"a word", "abc\r\n" + Lines(Sequence(22))},
      {"a quoted value", "\"7\"\r\n" + Lines(Sequence(22))},
      {"an empty field", "1,,2\r\n" + Lines(Sequence(21))},
      {"a blank line", "1\r\n\r\n" + Lines(Sequence(22))},
      {"empty file", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    RegContext c;
    c.Store().RegValue[0] = 0x399F;
    RefreshRegDisplay(c.evm, c.panels);
    const auto before = c.Store().RegValue;
    const auto file = c.dir.path() / "bad.csv";
    ASSERT_TRUE(WriteFileAtomically(file, k.content));
    c.ui.openFileAnswers.push_back(file.string());
    mnuLoadReg_Click(c.evm, c.panels);
    ASSERT_EQ(c.ui.messages.size(), 1u);
    EXPECT_EQ(c.ui.messages[0].text, "Bad File Name in Load File");
    EXPECT_EQ(c.Store().RegValue, before);
    EXPECT_TRUE(c.Writes().empty());
  }

  // A file that is not there, or cannot be read, gets the same message,
  // followed by its name and the reason.
  for (const auto& [name, error] : {std::pair{"missing.csv", std::errc::no_such_file_or_directory},
                                    {"", std::errc::is_a_directory}}) {
    RegContext c;
    const auto file = c.dir.path() / name;
    c.ui.openFileAnswers = {file.string()};
    mnuLoadReg_Click(c.evm, c.panels);
    ASSERT_EQ(c.ui.messages.size(), 1u);
    EXPECT_EQ(c.ui.messages[0].text, "Bad File Name in Load File\n\n" +
                                         UnreadableFileMessage(file, std::make_error_code(error)));
  }
}

}  // namespace
}  // namespace evm
