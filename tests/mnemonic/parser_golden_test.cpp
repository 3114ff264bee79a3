// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mnemonic/mnemonic_language.h"

namespace evm {
namespace {

struct GoldenCase {
  std::string name;
  std::string text;
  std::vector<int> report;  // bytes 0.. as listed
  bool expectError = false;
  std::string error;
  std::string words;  // joined by '|', empty when not checked
};

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
  }
  return out;
}

std::vector<GoldenCase> LoadCases() {
  std::ifstream in(std::string(EVM_TEST_DATA_DIR) + "/mnemonic/parser_cases.txt");
  std::vector<GoldenCase> cases;
  GoldenCase current;
  std::string line;
  auto flush = [&] {
    if (!current.name.empty()) cases.push_back(current);
    current = GoldenCase{};
  };
  while (std::getline(in, line)) {
    if (line.empty()) {
      flush();
      continue;
    }
    if (line[0] == '#') continue;
    const size_t colon = line.find(": ");
    const std::string key = line.substr(0, colon);
    const std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
    if (key == "name") {
      current.name = value;
    } else if (key == "text") {
      current.text = Unescape(value.substr(1, value.size() - 2));
    } else if (key == "report") {
      std::istringstream bytes(value);
      std::string b;
      while (bytes >> b) current.report.push_back(std::stoi(b, nullptr, 16));
    } else if (key == "error") {
      current.expectError = true;
      current.error = Unescape(value);
    } else if (key == "words") {
      current.words = value;
    }
  }
  flush();
  return cases;
}

class ParserGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(ParserGolden, TextGivesItsReportOrItsError) {
  const GoldenCase& c = GetParam();
  constexpr uint8_t kSequence = 0x2A;
  ParsedMnemonic parsed;
  parsed.report.fill(0xEE);  // every byte of 0..31 must be written
  ParseMnemonicText(c.text, kSequence, parsed);
  if (c.expectError) {
    EXPECT_EQ(parsed.error, c.error);
    return;
  }
  ASSERT_EQ(parsed.error, "");
  ASSERT_LE(c.report.size(), 31u);
  for (size_t i = 0; i < 31; ++i) {
    const int expected = i < c.report.size() ? c.report[i] : 0;
    EXPECT_EQ(parsed.report[i], expected) << "byte " << i;
  }
  EXPECT_EQ(parsed.report[31], kSequence);
  EXPECT_EQ(parsed.report[32], 0xEE) << "bytes past the report are never written";
  if (!c.words.empty()) {
    std::string joined;
    int last = kMnemonicSlots - 1;
    while (last > 0 && parsed.words[static_cast<size_t>(last)].empty()) --last;
    for (int i = 0; i <= last; ++i) joined += (i ? "|" : "") + parsed.words[static_cast<size_t>(i)];
    EXPECT_EQ(joined, c.words);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ParserGolden, ::testing::ValuesIn(LoadCases()),
                         [](const ::testing::TestParamInfo<GoldenCase>& param) {
                           return param.param.name;
                         });

TEST(ParserGoldenFile, HoldsTheCases) {
  EXPECT_GE(LoadCases().size(), 50u);
}

TEST(ClassifyToken, DependsOnTheInterface) {
  // clang-format off
  const struct {
    const char *word, *type, *status;
  } cases[] = {
      {"A5", "I2C", "DATA"}, {"f", "ONE", "DATA"}, {"5", "CMD", "DATA"}, {"S", "I2C", "COMMAND"},
      {"ACKM", "I2C", "COMMAND"}, {"L", "I2C", "INVALID I2C"}, {"L", "SPI", "COMMAND"},
      {"R", "SPI", "COMMAND"}, {"S", "SPI", "INVALID SPI"}, {"R", "ONE", "COMMAND"},
      {"H", "ONE", "INVALID ONE"}, {"", "I2C", "INVALID I2C"}, {"S", "CMD", ""}, {"R", "XYZ", ""},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(ClassifyToken(c.word, c.type), c.status) << c.word;
  EXPECT_EQ(EncodeToken("3c", "DATA"), 0x3C);
  EXPECT_EQ(EncodeToken("ACKS", "COMMAND"), 0x06);
  EXPECT_EQ(EncodeToken("R", "COMMAND"), 0xFF);
  EXPECT_EQ(EncodeToken("NOPE", "COMMAND"), 0);
}

}  // namespace
}  // namespace evm
