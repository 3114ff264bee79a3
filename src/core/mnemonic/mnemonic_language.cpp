// SPDX-License-Identifier: GPL-3.0-or-later
#include "mnemonic/mnemonic_language.h"

#include <vector>

#include "common/hex_text.h"

#include "mnemonic/mnemonic_words.h"

namespace evm {

namespace {

bool IsHexDigit(char c) {
  return HexDigitValue(c).has_value();
}

struct Word {
  std::string text;
  size_t position;  // of its first character, 1 for the text's first
};

// Only the space separates; tabs and everything else belong to the word.
std::vector<Word> SplitWords(std::string_view text) {
  std::vector<Word> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) words.push_back({std::string(text.substr(start, i - start)), start + 1});
  }
  return words;
}

// Where word `index` of the normalised words stood in the text: the header
// was shifted right by `shift` from word 3 - shift on.
size_t PositionOf(const std::vector<Word>& split, size_t textSize, int index, int shift) {
  int original = index;
  if (index >= 3) {
    original = index - shift;
  } else if (index >= 3 - shift) {
    original = static_cast<int>(split.size());  // a header word this type has not
  }
  if (original < 0 || original >= static_cast<int>(split.size())) return textSize + 1;
  return split[static_cast<size_t>(original)].position;
}

template <typename Table>
const auto* Lookup(const Table& table, std::string_view word) {
  for (const auto& entry : table) {
    if (entry.word == word) return &entry;
  }
  return static_cast<decltype(&table[0])>(nullptr);
}

// A byte value written in hexadecimal without prefix ("5", "A5", "040").
bool ParseHexByte(std::string_view word, uint8_t& value) {
  if (word.empty()) return false;
  const auto v = ParseHexDigits(word);
  if (!v || *v > 0xFF) return false;
  value = static_cast<uint8_t>(*v);
  return true;
}

// The index of the word an error names, or -1.
int ParseCmd(ParsedMnemonic& p, int count) {
  for (int i = 1; i < count; ++i) {
    const std::string& word = p.words[static_cast<size_t>(i)];
    const CmdOperation* op = Lookup(kCmdOperations, word);
    if (!op) {
      p.error = word + " is not a valid Mnemomic!";
      return i;
    }
    p.report[static_cast<size_t>(i)] = op->code;
    if (op->argument == CmdArgument::None) continue;
    ++i;
    const std::string& argument = p.words[static_cast<size_t>(i)];
    if (op->argument == CmdArgument::HexValue) {
      if (i >= count) break;  // the value is optional
      uint8_t value = 0;
      if (!ParseHexByte(argument, value)) {
        p.error = argument + " is not a hexadecimal byte value (00 to FF).";
        return i;
      }
      p.report[static_cast<size_t>(i)] = value;
    } else {
      const bool on = argument == "ON";
      const bool onIs1 = op->argument == CmdArgument::SwitchOnIs1;
      p.report[static_cast<size_t>(i)] = static_cast<uint8_t>(on == onIs1 ? 1 : 0);
    }
  }
  return -1;
}

// The index of the word an error names, or -1.
int ParseTokens(ParsedMnemonic& p, int count, std::string_view type) {
  const int n = count - 3;
  if (n > kMaxReportTokens) {
    p.error = std::to_string(n) + " tokens do not fit into one command report (at most " +
              std::to_string(kMaxReportTokens) + ").";
    return 3 + kMaxReportTokens;
  }
  p.report[kReportTokenCountByte] = static_cast<uint8_t>(n);
  for (int k = 0; k < n; ++k) {
    if (ClassifyToken(p.words[static_cast<size_t>(k) + 3], type) == "COMMAND") {
      p.report[kReportBitmapByte + static_cast<size_t>(k / 8)] |=
          static_cast<uint8_t>(0x80u >> (k % 8));
    }
  }
  for (int k = 0; k < n; ++k) {
    const std::string& word = p.words[static_cast<size_t>(k) + 3];
    const std::string status = ClassifyToken(word, type);
    if (status != "DATA" && status != "COMMAND") {
      p.error = word;
      p.error += " is not a valid command or data.\r\nStatus_Of_Word=";
      p.error += status;
      return k + 3;
    }
    p.report[kReportFirstTokenByte + static_cast<size_t>(k)] = EncodeToken(word, status);
  }
  return -1;
}

}  // namespace

void ParseMnemonicText(std::string_view text, uint8_t sequenceNumber, ParsedMnemonic& p) {
  p.error.clear();
  p.errorPosition = 0;
  for (auto& word : p.words) word.clear();
  for (int i = 0; i < kCommandReportBytes; ++i) p.report[static_cast<size_t>(i)] = 0;

  const std::vector<Word> split = SplitWords(text);
  int count = static_cast<int>(split.size());
  for (int i = 0; i < count && i < kMnemonicSlots; ++i) {
    p.words[static_cast<size_t>(i)] = split[static_cast<size_t>(i)].text;
  }
  int shift = 0;
  const auto fail = [&](int index) {
    p.errorPosition = PositionOf(split, text.size(), index, shift);
  };
  if (count > kMaxMnemonicWords) {
    p.error = "Too many words in DutConfig$";
    fail(kMaxMnemonicWords);
    return;
  }

  const std::string type = p.words[0];
  const InterfaceTypeWord* interface = Lookup(kInterfaceTypes, type);
  if (!interface) {
    p.error = type + " is not a valid interface type.";
    fail(0);
    return;
  }
  p.report[0] = interface->code;

  // Normalise the header so that the first token always sits at word 3.
  shift = interface->code == kInterfaceOne ? 2 : interface->code == kInterfaceI2C ? 1 : 0;
  if (shift > 0) {
    for (int i = count - 1; i >= 3 - shift; --i) {
      p.words[static_cast<size_t>(i) + static_cast<size_t>(shift)] =
          p.words[static_cast<size_t>(i)];
    }
    for (int i = 3 - shift; i < 3; ++i) p.words[static_cast<size_t>(i)].clear();
    count += shift;
  }

  if (interface->code == kInterfaceI2C || interface->code == kInterfaceSpi) {
    const CodedWord* channel = Lookup(kChannels, p.words[1]);
    if (!channel) {
      p.error = p.words[1] + " is not a valid interface channel.";
      fail(1);
      return;
    }
    p.report[1] = channel->code;
  }
  if (interface->code == kInterfaceSpi) {
    const CodedWord* edge = Lookup(kSpiEdges, p.words[2]);
    if (!edge) {
      p.error = p.words[2] + " is not a valid edge definition.";
      fail(2);
      return;
    }
    p.report[2] = edge->code;
  }

  const int wrong =
      interface->code == kInterfaceCmd ? ParseCmd(p, count) : ParseTokens(p, count, type);
  if (wrong >= 0) fail(wrong);
  if (p.error.empty()) p.report[kReportSequenceByte] = sequenceNumber;
}

std::string ClassifyToken(std::string_view word, std::string_view interfaceType) {
  if ((word.size() == 2 && IsHexDigit(word[0]) && IsHexDigit(word[1])) ||
      (word.size() == 1 && IsHexDigit(word[0]))) {
    return "DATA";
  }
  if (interfaceType == "SPI") {
    return word == "L" || word == "H" || word == "R" ? "COMMAND" : "INVALID SPI";
  }
  if (interfaceType == "I2C") {
    return word == "S" || word == "P" || word == "ACKM" || word == "ACKS" || word == "R"
               ? "COMMAND"
               : "INVALID I2C";
  }
  if (interfaceType == "ONE") return word == "R" ? "COMMAND" : "INVALID ONE";
  return "";
}

uint8_t EncodeToken(std::string_view word, std::string_view status) {
  if (status == "DATA") {
    uint8_t value = 0;
    return ParseHexByte(word, value) ? value : 0;
  }
  const CodedWord* token = Lookup(kTokens, word);
  return token ? token->code : 0;
}

uint8_t NextSequenceNumber(uint8_t current) {
  return current < 254 ? static_cast<uint8_t>(current + 1) : 1;
}

std::string MnemonicErrorMessage(const std::string& description) {
  return "Error in Mnemonic Command:\r\n" + description +
         "\r\nUSB Mnemomic command will not be sent.";
}

std::string HexText(unsigned value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return out;
}

}  // namespace evm
