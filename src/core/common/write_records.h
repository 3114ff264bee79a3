// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace evm {

// Comma-separated records as every state and log file of the program holds
// them: texts in double quotes, numbers bare with "." and no leading zero
// below 1, one record per line ended by CR LF.
class RecordWriter {
 public:
  RecordWriter& Text(std::string_view text);
  RecordWriter& Number(double value);
  // Ends the current record with CR LF.
  RecordWriter& EndRecord();
  const std::string& Content() const { return content_; }

 private:
  void Separate();
  std::string content_;
  bool fieldOpen_ = false;
};

std::string FormatRecordNumber(double value);

struct RecordField {
  std::string text;
  bool quoted = false;
};

// Splits file content into fields; commas and line ends both separate fields,
// as the files are read back field by field.
std::vector<RecordField> ReadRecordFields(std::string_view content);

// A field read as a number: a bare number, or nullopt for anything else.
std::optional<double> FieldAsNumber(const RecordField& field);

}  // namespace evm
