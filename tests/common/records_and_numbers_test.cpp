// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <thread>

#include "common/atomic_file.h"
#include "common/number_text.h"
#include "common/write_records.h"
#include "support/temp_dir.h"

namespace evm {
namespace {

TEST(NumberText, GeneralFormatLikeTheDefaultConversionAndParsingByTheLocalesSeparatorOnly) {
  struct Case {
    double value;
    const char* point;
    const char* comma;
  };
  const Case cases[] = {
      {1.1, "1.1", "1,1"},
      {0.0001, "0.0001", "0,0001"},
      {0.00001, "1E-05", "1E-05"},
      {1e15, "1E+15", "1E+15"},
      {123456789012345.0, "123456789012345", "123456789012345"},
      {-2.5, "-2.5", "-2,5"},
      {0.1 + 0.2, "0.3", "0,3"},
      {0.0, "0", "0"},
      {30.517578125e-6, "3.0517578125E-05", "3,0517578125E-05"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatGeneral(c.value, NumberLocale::Point()), c.point);
    EXPECT_EQ(FormatGeneral(c.value, NumberLocale::Comma()), c.comma);
  }

  EXPECT_EQ(ParseLocaleNumber(" 1.5 ", NumberLocale::Point()), 1.5);
  EXPECT_EQ(ParseLocaleNumber("1,5", NumberLocale::Comma()), 1.5);
  EXPECT_FALSE(ParseLocaleNumber("1.5", NumberLocale::Comma()));
  EXPECT_FALSE(ParseLocaleNumber("1,5", NumberLocale::Point()));
  EXPECT_EQ(ParseLocaleNumber("-2E-3", NumberLocale::Point()), -0.002);
  EXPECT_EQ(ParseLocaleNumber("+7", NumberLocale::Point()), 7);
  for (const char* bad : {"", "abc", "1.5x", "inf", "nan", "--1", "+-1"}) {
    EXPECT_FALSE(ParseLocaleNumber(bad, NumberLocale::Point())) << bad;
  }
}

TEST(WriteRecords, NumbersAndTextsAsStoredFilesHoldThemAndFieldsSplitByCommasAndLineEnds) {
  RecordWriter w;
  w.Text("0.01").Number(0.5).Number(-0.25).Number(12176).Number(1e-5).EndRecord();
  w.Text("say \"hi\"").EndRecord();
  EXPECT_EQ(w.Content(), "\"0.01\",.5,-.25,12176,1E-05\r\n\"say 'hi'\"\r\n");
  for (const double v : {DBL_MAX, -DBL_MAX}) {
    EXPECT_EQ(ParseInvariantNumber(FormatRecordNumber(v)), v) << "the largest numbers read back";
  }
  EXPECT_EQ(FormatRecordNumber(0.1), ".1") << "everyday numbers keep their 15 digits";

  const auto fields = ReadRecordFields("\"a, b\",  12 ,.5\r\n\"x\"\r\n7\n");
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0].text, "a, b");
  EXPECT_TRUE(fields[0].quoted);
  EXPECT_EQ(FieldAsNumber(fields[1]), 12);
  EXPECT_EQ(FieldAsNumber(fields[2]), 0.5);
  EXPECT_FALSE(FieldAsNumber(fields[3])) << "a quoted text is not a number";
  EXPECT_EQ(FieldAsNumber(fields[4]), 7);

  // A blank line between records and a comma at a line's end each give an
  // empty field; line ends around the records give none.
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"1,,2", {"1", "", "2"}},
      {"1\r\n\r\n2\r\n", {"1", "", "2"}},
      {"\r\n1\n2\r\n\r\n", {"1", "2"}},
      {"a,CMD CTRL 6 MEAS,,\r\n", {"a", "CMD CTRL 6 MEAS", "", ""}},
      {"1,\r\n2", {"1", "", "2"}},
  };
  for (const auto& [content, expected] : cases) {
    std::vector<std::string> texts;
    for (const RecordField& f : ReadRecordFields(content)) texts.push_back(f.text);
    EXPECT_EQ(texts, expected) << content;
  }
}

TEST(AtomicFile, ReplacesWholeOrNotAtAllAndAFolderOrDeviceFailsWithTheReason) {
  test::TempDir dir;
  const auto path = dir.path() / "state.csv";
  ASSERT_TRUE(WriteFileAtomically(path, "old\r\n"));
  ASSERT_TRUE(WriteFileAtomically(path, "new\r\n"));
  EXPECT_EQ(*ReadWholeFile(path), "new\r\n");
  EXPECT_FALSE(WriteFileAtomically(dir.path() / "missing" / "x.csv", "data"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "state.csv.tmp~"));

  std::error_code ec;
  EXPECT_FALSE(ReadWholeFile(dir.path(), ec));
  EXPECT_EQ(ec, std::errc::is_a_directory);
  EXPECT_NE(UnreadableFileMessage(dir.path(), ec).find(dir.path().string()), std::string::npos);
  EXPECT_FALSE(ReadWholeFile(dir.path() / "missing", ec));
  EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
#ifndef _WIN32
  // A device is neither written to nor replaced by a file of the same name.
  EXPECT_FALSE(WriteFileAtomically("/dev/full", "x", ec));
  EXPECT_EQ(ec, MakeErrorCode(FileFault::NotRegular));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
#endif
}

TEST(AtomicFile, ReadOnlyTargetsAreKeptAndWritableOnesWrittenWhereverTheyAre) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const auto locked = dir.path() / "locked.csv";
  ASSERT_TRUE(WriteFileAtomically(locked, "mine"));
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  std::error_code ec;
  EXPECT_FALSE(WriteFileAtomically(locked, "new", ec));
  EXPECT_EQ(ec, std::errc::permission_denied);
  EXPECT_EQ(*ReadWholeFile(locked), "mine");

#ifndef _WIN32  // names are limited by the whole path there, not per name
  // No temporary file can be made beside a name this long: written in place.
  const auto longName = dir.path() / std::string(252, 'r');
  ASSERT_TRUE(WriteFileAtomically(longName, "old"));
  EXPECT_TRUE(WriteFileAtomically(longName, "new", ec)) << ec.message();
  EXPECT_EQ(*ReadWholeFile(longName), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
#endif
}

TEST(AtomicFile, TwoWritersOfOneFileBothSucceed) {
  test::TempDir dir;
  const auto path = dir.path() / "shared.csv";
  std::atomic<int> failures{0};
  auto writer = [&](const char* text) {
    for (int i = 0; i < 40; ++i) failures += WriteFileAtomically(path, text) ? 0 : 1;
  };
  std::thread a(writer, "aaaa"), b(writer, "bbbb");
  a.join();
  b.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace evm
