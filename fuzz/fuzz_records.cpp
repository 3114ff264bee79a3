// SPDX-License-Identifier: GPL-3.0-or-later
// The comma-separated records every state and log file holds: what is read
// is written back and read again as the same fields.
#include "common/write_records.h"
#include "fuzz_support.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto fields = ReadRecordFields(fuzz::AsText(data, size));

  RecordWriter writer;
  std::vector<std::optional<double>> numbers;
  for (size_t i = 0; i < fields.size(); ++i) {
    const auto number = FieldAsNumber(fields[i]);
    numbers.push_back(number);
    if (number) {
      writer.Number(*number);
    } else {
      writer.Text(fields[i].text);
    }
    if (i % 3 == 2) writer.EndRecord();
  }
  writer.EndRecord();

  const auto back = ReadRecordFields(writer.Content());
  FUZZ_CHECK(back.size() == fields.size());
  for (size_t i = 0; i < back.size(); ++i) {
    if (numbers[i]) {
      const auto again = FieldAsNumber(back[i]);
      FUZZ_CHECK(again.has_value());
      FUZZ_CHECK(FormatRecordNumber(*again) == FormatRecordNumber(*numbers[i]));
    } else {
      FUZZ_CHECK(back[i].quoted);
      FUZZ_CHECK(back[i].text == fuzz::AsWritten(fields[i].text));
    }
  }
  return 0;
}
