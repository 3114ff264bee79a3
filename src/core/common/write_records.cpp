#include "common/write_records.h"

#include <cctype>

#include "common/number_text.h"

namespace evm {

std::string FormatRecordNumber(double value) {
  std::string s = FormatGeneralInvariant(value);
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
  size_t i = 0;
  const size_t n = content.size();
  auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
  while (i < n) {
    // Blank space and empty lines between fields carry nothing.
    while (i < n && (content[i] == ' ' || content[i] == '\t' || isLineEnd(content[i]))) ++i;
    if (i >= n) break;
    RecordField field;
    if (content[i] == '"') {
      field.quoted = true;
      ++i;
      while (i < n && content[i] != '"' && !isLineEnd(content[i]))
        field.text.push_back(content[i++]);
      if (i < n && content[i] == '"') ++i;
      while (i < n && (content[i] == ' ' || content[i] == '\t')) ++i;
    } else {
      while (i < n && content[i] != ',' && !isLineEnd(content[i]))
        field.text.push_back(content[i++]);
      while (!field.text.empty() && std::isspace(static_cast<unsigned char>(field.text.back())))
        field.text.pop_back();
    }
    if (i < n && content[i] == ',') ++i;
    fields.push_back(std::move(field));
  }
  return fields;
}

std::optional<double> FieldAsNumber(const RecordField& field) {
  if (field.quoted) return std::nullopt;
  return ParseInvariantNumber(field.text);
}

}  // namespace evm
