// SPDX-License-Identifier: GPL-3.0-or-later
// The interface board's command language: the parser's golden cases, then
// exchanges with the simulated board.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mnemonic/mnemonic_exchange.h"
#include "mnemonic/mnemonic_language.h"
#include "support/sim_fixture.h"

namespace evm {
namespace {

struct GoldenCase {
  std::string name;
  std::string text;
  std::vector<int> report;  // bytes 0.. as listed
  bool expectError = false;
  std::string error;
  size_t position = 0;
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
    } else if (key == "position") {
      current.position = std::stoul(value);
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
    EXPECT_EQ(parsed.errorPosition, c.position);
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

struct Board : test::InterfaceContext {
  sim::InterfaceBoard& board() { return Interface(); }
  UsbDutWriter& writer() { return evm.dutWriter(); }
};

TEST(SendMnemonic, DecodesReadsAcknowledgesAndLatchedCommands) {
  Board c;
  c.sim->TestBoard().openPlusVolts = 0x1234 / 32768.0 * 5;  // CNV1 reads code 1234h
  c.sim->TestBoard().openMinusVolts = 0;
  const MnemonicExchange read = SendMnemonicText(c.writer(), "I2C CH2 S 91 ACKS R ACKM R ACKM P");
  EXPECT_EQ(read.reads, (std::vector<uint8_t>{0x12, 0x34}));
  EXPECT_EQ(read.acks, std::vector<uint8_t>{0});
  EXPECT_TRUE(read.Acknowledged());
  EXPECT_EQ(read.answer[31], read.command[31] + 1) << "the answer to this command";
  EXPECT_EQ(c.writer().ReadCount, 2);
  EXPECT_EQ(c.writer().AckCount, 1);
  EXPECT_EQ(c.writer().ResponseData[5], 0x34);
  EXPECT_EQ(c.writer().exchange.Text1, "12 34 ");
  EXPECT_EQ(c.writer().exchange.Text2, "0 ");

  const MnemonicExchange write =
      SendMnemonicText(c.writer(), "I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P");
  EXPECT_EQ(write.acks, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(c.writer().exchange.Text2, "0 0 0 0 ");
  EXPECT_EQ(c.sim->TestBoard().dacCode[0], 0x4011) << "the bytes reach the DAC";
  EXPECT_FALSE(SendMnemonicText(c.writer(), "I2C CH2 S A5 ACKS R ACKM P").Acknowledged());
  EXPECT_EQ(c.evm.results().I2C_AckStatus[0], 1) << "nobody at A5";
  EXPECT_EQ(c.evm.results().I2C_AckStatus[1], 0) << "entries past the counts keep the last ones";
  EXPECT_EQ(c.ui.usbProblemDialogs, 0);

  c.writer().SendMnemonic("CMD MUX 40");
  EXPECT_EQ(c.board().muxByte, 0x40);
  EXPECT_EQ(c.writer().exchange.Text1, "");
  c.board().measureInputs = 0x81;
  EXPECT_EQ(SendMnemonicText(c.writer(), "CMD MEAS ").reads, std::vector<uint8_t>{0x81});
  EXPECT_EQ(c.evm.results().I2C_ReadData[0], 0x81);
  EXPECT_EQ(c.writer().exchange.txtToUSB[1], "3");
  EXPECT_EQ(c.writer().exchange.txtFromUSB[1], "81");
  EXPECT_EQ(c.writer().exchange.txtFromUSB[31], HexText(c.writer().MnemonicReport[31] + 1u));

  // Supply off silences the device under test until it is switched on again.
  ASSERT_TRUE(c.evm.regLink().OpenRegLink());
  c.evm.regLink().ReadRegWord(0x40, 0);
  ASSERT_EQ(c.evm.results().I2C_AckStatus[0], 0);
  c.writer().SendMnemonic("CMD OFF ");
  c.evm.regLink().ReadRegWord(0x40, 0);
  EXPECT_EQ(c.evm.results().I2C_AckStatus[0], 1);
  c.writer().SendMnemonic("CMD ON ");
  c.evm.regLink().ReadRegWord(0x40, 0);
  EXPECT_EQ(c.evm.results().I2C_ReadData[0], 0x39) << "reset value after the power cycle";
}

TEST(ParseMnemonic, RefusedTextShowsTheErrorBoxAndNumbersWrapAfter254) {
  Board c;
  c.writer().SendMnemonic("I2C CH3 S 90 P");
  ASSERT_EQ(c.ui.messages.size(), 1u);
  EXPECT_EQ(c.ui.messages[0].title, "Error!");
  EXPECT_EQ(c.ui.messages[0].text,
            "Error in Mnemonic Command:\r\nCH3 is not a valid interface channel.\r\n"
            "USB Mnemomic command will not be sent.");
  EXPECT_TRUE(c.board().Reports().empty());
  EXPECT_EQ(c.writer().SequenceNumber, 1) << "a refused text still uses up its number";

  c.writer().SequenceNumber = 252;
  std::vector<int> sent;
  for (int i = 0; i < 4; ++i) {
    c.writer().SendMnemonic("CMD TEST");
    sent.push_back(c.board().Reports().back()[31]);
  }
  EXPECT_EQ(sent, (std::vector<int>{253, 254, 1, 2}));
  EXPECT_EQ(c.ui.usbProblemDialogs, 0) << "254 is answered with 255";
}

TEST(SendMnemonic, TheDialogIsToldWhatWasSearchedForAndMet) {
  const std::string searched = "Searched for the interface board, USB id 3A5F:2F90.";
  const struct {
    const char* name;
    void (*inject)(Board&);
    std::string detail;
  } cases[] = {
      {"no access", [](Board& c) { c.board().openRefused = true; },
       searched +
           " 1 HID device(s) could not be opened: access to them may be missing (on Linux, a "
           "udev rule must grant read and write access to the board's /dev/hidraw device)."},
      {"silent", [](Board& c) { c.board().noReply = true; },
       searched + " A board with this id is present but gave no valid answer."},
      {"no address", [](Board& c) { c.evm.shell().UsbAddress.reset(); },
       "The interface board's USB address is not set: choose it in Set Address."},
  };
  for (const auto& t : cases) {
    Board c;
    t.inject(c);
    c.ui.usbProblemAnswers = {UsbProblemChoice::TryAgain};
    c.writer().SendMnemonic("CMD ON");
    EXPECT_EQ(c.ui.usbProblemDetail, t.detail) << t.name;
  }
}

TEST(SendMnemonic, RunWithoutUsbFromTheDialogSilencesThePath) {
  Board c;
  c.board().noReply = true;
  c.ui.usbProblemAnswers = {UsbProblemChoice::RunWithoutUsb};
  c.writer().SendMnemonic("CMD ON");
  EXPECT_TRUE(c.evm.shell().RunWithoutUsb);

  c.evm.results().I2C_ReadData[0] = 0x77;
  const size_t reports = c.board().Reports().size();
  const uint8_t sequence = c.writer().SequenceNumber;
  c.writer().SendMnemonic("NOT A COMMAND");
  c.writer().SendMnemonic("CMD MEAS");
  EXPECT_TRUE(c.ui.messages.empty()) << "not even parsed";
  EXPECT_EQ(c.writer().SequenceNumber, sequence);
  EXPECT_EQ(c.board().Reports().size(), reports);
  EXPECT_FALSE(c.evm.results().I2C_ReadData[0].has_value())
      << "nothing was read, so no byte of an earlier transfer passes for a reading";
  EXPECT_EQ(c.writer().ReadCount, 0);
}

// Any failed answer is tried once more, after a fresh discovery when the
// board was let go; a stop request gives up the second try.
TEST(SendMnemonic, AFailedExchangeIsRetriedOnceAndAbortProgramEndsTheProgram) {
  const struct {
    const char* name;
    void (*inject)(Board&);
    bool stop;
    size_t reports;  // reaching the board
    int64_t waitedMs;
    bool dialog;
    int handles;  // open afterwards: a board that fails at the USB level is let go
  } cases[] = {
      // A report costs a 1 ms frame out and, when answered, one back.
      {"wrong echo", [](Board& c) { c.board().echoUnchanged = true; }, false, 2, 4, true, 2},
      {"time-out", [](Board& c) { c.board().noReply = true; }, false, 2, 12002, true, 0},
      {"time-out, stop asked", [](Board& c) { c.board().noReply = true; }, true, 1, 6001, true, 0},
      // The old handle fails the write at once; no read waits for an answer.
      {"unplugged", [](Board& c) { c.sim->Unplug(c.board()); }, false, 0, 0, true, 0},
      {"unplugged and back",
       [](Board& c) {
         c.sim->Unplug(c.board());
         c.sim->Replug(c.board());
       },
       false, 1, 2, false, 2},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.name);
    Board c;
    c.writer().SendMnemonic("CMD ON");
    t.inject(c);
    bool aborted = false;
    c.writer().onAbortProgram = [&] { aborted = true; };
    c.writer().stopRequested = [&] { return t.stop; };
    c.ui.usbProblemAnswers = {UsbProblemChoice::AbortProgram};
    const size_t reports = c.board().Reports().size();
    const int64_t start = c.clock.ElapsedMs();
    EXPECT_EQ(c.writer().SendMnemonic("CMD MUX 40"), !t.dialog);
    EXPECT_EQ(c.board().Reports().size() - reports, t.reports);
    EXPECT_EQ(c.clock.ElapsedMs() - start, t.waitedMs);
    EXPECT_EQ(c.ui.usbProblemDialogs, t.dialog ? 1 : 0);
    EXPECT_EQ(aborted, t.dialog);
    EXPECT_EQ(c.sim->OpenHandleCount(), t.handles);
    EXPECT_EQ(c.sim->EventsCreated(), 1) << "the event of the first discovery is reused";
    if (!t.dialog) {
      EXPECT_EQ(c.board().muxByte, 0x40);
    }
  }
}

TEST(FindMnemonicBoard, MatchesOnlyTheChosenAddress) {
  const struct {
    std::optional<uint16_t> address;
    int jump4, jump5;
    bool legacy;
    bool found;
  } cases[] = {
      {0x2F90, 0, 0, false, true}, {0x2F91, 0, 0, false, false}, {0x2F93, 1, 1, false, true},
      {0x1235, 0, 1, true, true},  {0x2F91, 0, 1, true, false},  {std::nullopt, 0, 0, false, false},
  };
  for (const auto& t : cases) {
    Board c;
    c.evm.shell().UsbAddress = t.address;
    c.board().jump4 = t.jump4;
    c.board().jump5 = t.jump5;
    c.board().legacy = t.legacy;
    c.evm.usbDebug().UsbDebugLevel = DebugTrace::Hid;
    EXPECT_EQ(c.writer().FindMnemonicBoard(), t.found);
    EXPECT_EQ(c.writer().MnemonicBoardFound, t.found);
    const bool notFoundLogged =
        c.evm.usbDebug().Text().find(" Device not found.\r\n") != std::string::npos;
    EXPECT_EQ(notFoundLogged, !t.found);
    EXPECT_EQ(c.sim->OpenHandleCount(), t.found ? 2 : 0);
  }
}

TEST(WaitSeconds, BusyWaitsOnTheClockAndEndsAtMidnight) {
  // Seconds asked, waited; the last one from a second before midnight.
  for (const auto& [asked, waited] : {std::pair{2.5, 2500.0}, {0.0, 0.0}, {5.0, 1000.0}}) {
    Board c;
    if (asked == 5) c.clock.Set({2026, 1, 15, 23, 59, 59});
    const int64_t start = c.clock.ElapsedMs();
    c.writer().WaitSeconds(asked);
    EXPECT_NEAR(static_cast<double>(c.clock.ElapsedMs() - start), waited, 2.0) << asked;
  }
}

}  // namespace
}  // namespace evm
