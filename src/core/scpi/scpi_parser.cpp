// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_parser.h"

#include "scpi/scpi_errors.h"

namespace evm::scpi {

namespace {

bool Blank(char c) {
  return c == ' ' || c == '\t';
}
bool Letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool Digit(char c) {
  return c >= '0' && c <= '9';
}
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

ParseFailure Syntax(const std::string& what, size_t column) {
  return {kSyntaxError, what + " at character " + std::to_string(column)};
}

// The header's text up to its first blank.
ParseFailure ParseHeader(std::string_view text, size_t column, Header& h) {
  size_t i = 0;
  if (i < text.size() && text[i] == '*') {
    h.common = true;
    ++i;
  } else if (i < text.size() && text[i] == ':') {
    h.rooted = true;
    ++i;
  }
  for (;;) {
    const size_t start = i;
    if (i >= text.size() || !Letter(text[i])) {
      return Syntax("a header mnemonic must start with a letter", column + i);
    }
    std::string word;
    while (i < text.size() && (Letter(text[i]) || Digit(text[i]) || text[i] == '_')) {
      word += Upper(text[i++]);
    }
    if (word.size() > 12) return Syntax("mnemonic '" + word + "' is too long", column + start);
    h.mnemonics.push_back(word);
    if (i == text.size()) return {};
    if (text[i] == '?' && i + 1 == text.size()) {
      h.query = true;
      return {};
    }
    if (text[i] != ':' || h.common) {
      std::string what = "' in the header";
      what.insert(what.begin(), {'\'', text[i]});
      return Syntax(what, column + i);
    }
    ++i;
  }
}

ParseFailure ParseUnit(std::string_view text, size_t column, ProgramUnit& unit) {
  unit.column = column;
  size_t i = 0;
  while (i < text.size() && !Blank(text[i])) ++i;
  if (ParseFailure f = ParseHeader(text.substr(0, i), column, unit.header); f.code) return f;
  while (i < text.size() && Blank(text[i])) ++i;
  if (i == text.size()) return {};
  // Comma-separated parameters; a comma inside quotes is text.
  for (;;) {
    while (i < text.size() && Blank(text[i])) ++i;
    Parameter p;
    const size_t start = i;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
      const char q = text[i++];
      p.quoted = true;
      for (;;) {
        if (i >= text.size()) return Syntax("unterminated string", column + start);
        if (text[i] == q) {
          if (i + 1 < text.size() && text[i + 1] == q) {
            p.text += q;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        p.text += text[i++];
      }
      while (i < text.size() && Blank(text[i])) ++i;
      if (i < text.size() && text[i] != ',') {
        return Syntax("text after a string", column + i);
      }
    } else {
      while (i < text.size() && text[i] != ',') {
        if (text[i] == '"' || text[i] == '\'')
          return Syntax("a quote inside a parameter", column + i);
        p.text += text[i++];
      }
      while (!p.text.empty() && Blank(p.text.back())) p.text.pop_back();
      if (p.text.empty()) return Syntax("an empty parameter", column + start);
    }
    unit.params.push_back(std::move(p));
    if (i == text.size()) return {};
    ++i;  // the comma
    if (i == text.size()) return Syntax("an empty parameter", column + i);
  }
}

}  // namespace

ParseFailure ParseLine(std::string_view line, std::vector<ProgramUnit>& units) {
  units.clear();
  // Bytes no header and no number has: junk, or another protocol.
  char quote = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (quote) {
      if (c == static_cast<unsigned char>(quote)) quote = 0;
      if (c < 0x20 && c != '\t') return Syntax("control byte " + std::to_string(c), i + 1);
      continue;
    }
    if (c == '"' || c == '\'') quote = static_cast<char>(c);
    if ((c < 0x20 && c != '\t') || c > 0x7E) {
      return Syntax("byte " + std::to_string(c) + " outside a string", i + 1);
    }
  }
  size_t start = 0;
  for (;;) {
    // The unit ends at the first semicolon outside quotes.
    size_t end = start;
    quote = 0;
    while (end < line.size()) {
      const char c = line[end];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == ';') {
        break;
      }
      ++end;
    }
    size_t first = start;
    while (first < end && Blank(line[first])) ++first;
    size_t last = end;
    while (last > first && Blank(line[last - 1])) --last;
    const bool atEnd = end >= line.size();
    if (first == last) {
      // Nothing at all, or after the last semicolon: no unit to run.
      if (atEnd && (units.size() > 0 || start == 0)) return {};
      return Syntax("an empty command", first + 1);
    }
    ProgramUnit unit;
    if (ParseFailure f = ParseUnit(line.substr(first, last - first), first + 1, unit); f.code) {
      return f;
    }
    units.push_back(std::move(unit));
    if (atEnd) return {};
    start = end + 1;
  }
}

}  // namespace evm::scpi
