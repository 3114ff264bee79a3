#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "common/number_text.h"
#include "common/write_records.h"
#include "support/temp_dir.h"

namespace evm {
namespace {

TEST(NumberText, GeneralFormatLikeTheDefaultConversion) {
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
}

TEST(NumberText, ParsingUsesTheLocaleSeparatorOnly) {
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

TEST(WriteRecords, NumbersAndTextsAsStoredFilesHoldThem) {
  RecordWriter w;
  w.Text("0.01").Number(0.5).Number(-0.25).Number(12176).Number(1e-5).EndRecord();
  w.Text("say \"hi\"").EndRecord();
  EXPECT_EQ(w.Content(), "\"0.01\",.5,-.25,12176,1E-05\r\n\"say 'hi'\"\r\n");
}

TEST(WriteRecords, FieldsAreSplitByCommasAndLineEnds) {
  const auto fields = ReadRecordFields("\"a, b\",  12 ,.5\r\n\"x\"\r\n\r\n7\n");
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0].text, "a, b");
  EXPECT_TRUE(fields[0].quoted);
  EXPECT_EQ(FieldAsNumber(fields[1]), 12);
  EXPECT_EQ(FieldAsNumber(fields[2]), 0.5);
  EXPECT_FALSE(FieldAsNumber(fields[3])) << "a quoted text is not a number";
  EXPECT_EQ(FieldAsNumber(fields[4]), 7);
}

TEST(AtomicFile, ReplacesWholeOrNotAtAll) {
  test::TempDir dir;
  const auto path = dir.path() / "state.csv";
  ASSERT_TRUE(WriteFileAtomically(path, "old\r\n"));
  ASSERT_TRUE(WriteFileAtomically(path, "new\r\n"));
  EXPECT_EQ(*ReadWholeFile(path), "new\r\n");
  EXPECT_FALSE(WriteFileAtomically(dir.path() / "missing" / "x.csv", "data"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "state.csv.tmp~"));
}

}  // namespace
}  // namespace evm
