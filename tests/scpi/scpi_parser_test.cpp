// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "scpi/scpi_numbers.h"
#include "scpi/scpi_tree.h"

namespace evm::scpi {
namespace {

TEST(ScpiNumbers, ReadSuffixesExponentsAndKeywordsAndAnswerInTheStandardForms) {
  struct Case {
    const char* text;
    bool ok;
    double value;
    const char* unit;
    NumericKind kind;
  };
  const Case cases[] = {
      {"12", true, 12, "", NumericKind::Value},
      {"-1.5E-3", true, -1.5e-3, "", NumericKind::Value},
      {"10 mA", true, 0.01, "A", NumericKind::Value},
      {"10MA", true, 0.01, "A", NumericKind::Value},  // milliamperes, not mega
      {"100u", true, 100e-6, "", NumericKind::Value},
      {"2.5V", true, 2.5, "V", NumericKind::Value},
      {"10mOhm", true, 1e7, "OHM", NumericKind::Value},  // MOHM is megohms, in any case
      {"3kW", true, 3000, "W", NumericKind::Value},
      {"1E3mV", true, 1, "V", NumericKind::Value},
      {"#HA000", true, 40960, "", NumericKind::Value},
      {"#b101", true, 5, "", NumericKind::Value},
      {"min", true, 0, "", NumericKind::Min},
      {"MAXimum", true, 0, "", NumericKind::Max},
      {"DEF", true, 0, "", NumericKind::Default},
      {"", false, 0, "", NumericKind::Value},
      {".", false, 0, "", NumericKind::Value},
      {"inf", false, 0, "", NumericKind::Value},
      {"1e999", false, 0, "", NumericKind::Value},
      {"#HZZ", false, 0, "", NumericKind::Value},
      {"5 parsecs", false, 0, "", NumericKind::Value},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto n = ParseNumeric(c.text);
    ASSERT_EQ(n.has_value(), c.ok);
    if (!n) continue;
    EXPECT_EQ(n->kind, c.kind);
    EXPECT_NEAR(n->value, c.value, 1e-12 * std::abs(c.value) + 1e-18);
    EXPECT_EQ(n->unit, c.unit);
  }
  bool badSuffix = false;
  EXPECT_FALSE(ParseNumeric("5 parsecs", &badSuffix));
  EXPECT_TRUE(badSuffix);

  EXPECT_EQ(FormatNr1(-42), "-42");
  EXPECT_EQ(FormatNr2(1999), "1999.0");
  EXPECT_EQ(FormatNr3(0.00998), "9.98000E-03");
  EXPECT_EQ(FormatNr3(-0.0), "0.00000E+00");
  EXPECT_EQ(FormatNr3(12), "1.20000E+01");
}

TEST(ScpiStatus, ErrorQueueIsFirstInFirstOutAndErrorsSummariseIntoTheStatusByte) {
  ErrorQueue q(3);
  EXPECT_EQ(FormatError(q.Pop()), "0,\"No error\"");
  q.Push(kUndefinedHeader, "FOO");
  q.Push(kSyntaxError, "say \"hi\"\nthere");
  q.Push(kHardwareError);
  q.Push(kHardwareMissing);  // lost: the newest entry becomes -350
  q.Push(kDataOutOfRange);
  EXPECT_EQ(q.Size(), 3u);
  EXPECT_EQ(FormatError(q.Pop()), "-113,\"Undefined header;FOO\"");
  EXPECT_EQ(FormatError(q.Pop()), "-102,\"Syntax error;say 'hi' there\"");
  EXPECT_EQ(FormatError(q.Pop()), "-350,\"Queue overflow\"");
  EXPECT_TRUE(q.Empty());

  StatusModel s;
  s.Report(kUndefinedHeader);
  s.Report(kDataOutOfRange);
  s.Report(kQueueOverflow);
  s.eventEnable = kCommandErrorBit;
  s.serviceEnable = kEventSummary;
  EXPECT_EQ(s.StatusByte(), kErrorAvailable | kEventSummary | kMasterSummary);
  EXPECT_EQ(s.ReadEvents(), kCommandErrorBit | kExecutionErrorBit | kDeviceError);
  EXPECT_EQ(s.ReadEvents(), 0);  // reading clears it
  EXPECT_EQ(s.StatusByte(), kErrorAvailable);
  s.Clear();
  EXPECT_EQ(s.StatusByte(), 0);
}

// A tree whose commands say which pattern ran and with what.
class ScpiTree : public ::testing::Test {
 protected:
  ScpiTree() {
    for (const char* p : {"MEASure:VOLTage[:BUS]?", "MEASure:VOLTage:SHUNt?", "MEASure:CURRent?",
                          "SYSTem:ERRor[:NEXT]?", "*IDN?"}) {
      tree.Add(p, 0, 0, [p](Call& c) { c.Answer(p); });
    }
    tree.Add("REGister[:WRITe]", 2, 2, [this](Call& c) {
      ran += "W" + std::to_string(c.Whole(0, 0, 7)) + "=" + std::to_string(c.Whole(1, 0, 65535));
    });
    tree.Add("SOURce:VOLTage", 1, 1, [this](Call& c) {
      ran += "V" + FormatNr3(c.Number(0, {0.05, 4.95, 1, "V"}));
    });
    tree.Add("MNEMonic:SEND", 1, 1, [](Call& c) { c.Answer(c.Text(0)); });
  }
  std::string Errors() {
    std::string all;
    while (!session.status.errors.Empty())
      all += std::to_string(session.status.errors.Pop().code) + " ";
    return all;
  }
  CommandTree tree;
  Session session;
  std::string ran;
};

TEST_F(ScpiTree, RunsLinesByTheTreePositionRules) {
  struct Case {
    const char* line;
    const char* answer;
    const char* ran;
    const char* errors;
  };
  const Case cases[] = {
      {"MEAS:VOLT?", "MEASure:VOLTage[:BUS]?", "", ""},
      {":Meas:Volt:Shun?\r", "MEASure:VOLTage:SHUNt?", "", ""},
      // After MEAS:VOLT? the path is MEAS, so CURR? is MEAS:CURR?.
      {"MEAS:VOLT?;CURR?", "MEASure:VOLTage[:BUS]?;MEASure:CURRent?", "", ""},
      // A common command keeps the path; a colon goes back to the root.
      {"MEAS:VOLT?;*IDN?;CURR?;:SYST:ERR?",
       "MEASure:VOLTage[:BUS]?;*IDN?;MEASure:CURRent?;SYSTem:ERRor[:NEXT]?", "", ""},
      {"REG 1,#H10;REG:WRIT 2,3", "", "W1=16W2=3", ""},
      {"MEAS:VOLT?;SYST:ERR?", "MEASure:VOLTage[:BUS]?", "", "-113 "},  // MEAS:SYST:ERR?
      {"MEASURES:VOLT?", "", "", "-113 "},
      {"MEAS:VOLT", "", "", "-113 "},  // no such command, only the query
      {"MEAS:CURR? 1", "", "", "-108 "},
      {"REG 1", "", "", "-109 "},
      {"REG 9,1;:SOUR:VOLT 1", "", "V1.00000E+00", "-222 "},
      {"REG 1.5,1", "", "", "-104 "},
      {"SOUR:VOLT 2 A", "", "", "-131 "},
      {"SOUR:VOLT 2500 mV", "", "V2.50000E+00", ""},
      {"SOUR:VOLT MAX;VOLT DEF", "", "V4.95000E+00V1.00000E+00", ""},
      {"MNEM:SEND \"CMD ON; it's\"", "CMD ON; it's", "", ""},
      {"MNEM:SEND 'say ''hi'''", "say 'hi'", "", ""},
      {"*IDN?;MNEM:SEND \"open", "*IDN?", "", "-102 "},
      {"*IDN?;;*IDN?", "*IDN?", "", "-102 "},
      {"*IDN?;", "*IDN?", "", ""},
      {"REG 1,,2", "", "", "-102 "},
      {"MEAS:VOLT?x", "", "", "-102 "},
      {"\x01\xff*IDN?", "", "", "-102 "},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ran.clear();
    EXPECT_EQ(tree.Execute(session, c.line), c.answer);
    EXPECT_EQ(ran, c.ran);
    EXPECT_EQ(Errors(), c.errors);
  }
  EXPECT_EQ(tree.Execute(session, std::string(CommandTree::kMaxLine + 1, 'A')), "");
  EXPECT_EQ(Errors(), "-223 ");
}

}  // namespace
}  // namespace evm::scpi
