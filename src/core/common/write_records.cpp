// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/write_records.h"

#include <cctype>
#include <cmath>

#include "common/number_text.h"

namespace evm {

std::string FormatRecordNumber(double value) {
  std::string s = FormatGeneralInvariant(value);
  // 15 digits round the largest numbers past the largest double, and such
  // a file would not read back: those take the digits that do.
  if (std::isfinite(value) && !ParseInvariantNumber(s)) s = FormatInvariantExact(value);
  if (s.rfind("0.", 0) == 0) {
    s.erase(0, 1);
  } else if (s.rfind("-0.", 0) == 0) {
    s.erase(1, 1);
  }
  return s;
}

void RecordWriter::Separate() {
  if (fieldOpen_) content_.push_back(',');
  fieldOpen_ = true;
}

RecordWriter& RecordWriter::Text(std::string_view text) {
  Separate();
  content_.push_back('"');
  // A quoted field cannot hold a quote: it would end the field early and
  // shift every value after it when the file is read back.
  for (char c : text) content_.push_back(c == '"' ? '\'' : c);
  content_.push_back('"');
  return *this;
}

RecordWriter& RecordWriter::Number(double value) {
  Separate();
  content_ += FormatRecordNumber(value);
  return *this;
}

RecordWriter& RecordWriter::EndRecord() {
  content_ += "\r\n";
  fieldOpen_ = false;
  return *this;
}

std::vector<RecordField> ReadRecordFields(std::string_view content) {
  std::vector<RecordField> fields;
  const size_t n = content.size();
  auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  // Blank lines before the first record and after the last carry nothing;
  // between records a blank line is an empty field, like ",,".
  auto restIsBlank = [&](size_t from) {
    for (size_t k = from; k < n; ++k) {
      if (!isBlank(content[k]) && !isLineEnd(content[k])) return false;
    }
    return true;
  };
  size_t i = 0;
  while (i < n && (isBlank(content[i]) || isLineEnd(content[i]))) ++i;
  if (i >= n) return fields;
  for (;;) {
    while (i < n && isBlank(content[i])) ++i;
    RecordField field;
    if (i < n && content[i] == '"') {
      field.quoted = true;
      ++i;
      while (i < n && content[i] != '"' && !isLineEnd(content[i]))
        field.text.push_back(content[i++]);
      if (i < n && content[i] == '"') ++i;
      while (i < n && isBlank(content[i])) ++i;
    } else {
      while (i < n && content[i] != ',' && !isLineEnd(content[i]))
        field.text.push_back(content[i++]);
      while (!field.text.empty() && std::isspace(static_cast<unsigned char>(field.text.back())))
        field.text.pop_back();
    }
    fields.push_back(std::move(field));
    if (i >= n) break;
    if (content[i] == ',') {
      // A comma always separates two fields, so one at a line's end is
      // followed by an empty field.
      ++i;
      continue;
    }
    if (!isLineEnd(content[i])) continue;  // text after a closing quote
    i += content[i] == '\r' && i + 1 < n && content[i + 1] == '\n' ? 2 : 1;
    if (restIsBlank(i)) break;
  }
  return fields;
}

std::optional<double> FieldAsNumber(const RecordField& field) {
  if (field.quoted) return std::nullopt;
  return ParseInvariantNumber(field.text);
}

}  // namespace evm
