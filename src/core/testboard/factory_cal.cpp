// SPDX-License-Identifier: GPL-3.0-or-later
#include "testboard/factory_cal.h"

#include "common/atomic_file.h"
#include "common/write_records.h"

namespace evm {

namespace {

// The coefficients in file order, with a name for the notes.
template <typename Table, typename Visit>
void ForEachCoefficient(Table& table, Visit visit) {
  const char* converters[] = {"CNV1", "CNV2"};
  const char* references[] = {"5V", "3V"};
  const char* signs[] = {"positive", "not positive"};
  for (int c = 0; c < 2; ++c) {
    for (int r = 0; r < 2; ++r) {
      for (int s = 0; s < 2; ++s) {
        visit(table.cnv[c][r][s],
              std::string(converters[c]) + " " + references[r] + " " + signs[s]);
      }
    }
  }
  const char* channels[] = {"DAC A", "DAC B", "DAC C", "DAC D"};
  for (int ch = 0; ch < 4; ++ch) {
    for (int r = 0; r < 2; ++r)
      visit(table.dac[ch][r], std::string(channels[ch]) + " " + references[r]);
  }
  visit(table.loop, std::string("loop read-back"));
}

}  // namespace

FactoryCalTable LoadFactoryCal(const std::filesystem::path& file, std::vector<std::string>& notes,
                               std::error_code* readError) {
  FactoryCalTable table;
  std::error_code ec;
  const auto content = ReadWholeFile(file, ec);
  if (!content) {
    if (readError) *readError = ec;
    return table;
  }
  const auto fields = ReadRecordFields(*content);
  std::vector<double> values;
  for (const auto& field : fields) {
    const auto value = FieldAsNumber(field);
    if (!value) break;
    values.push_back(*value);
  }
  if (values.size() < static_cast<size_t>(kFactoryCalValues)) {
    notes.push_back(std::string(kFactoryCalFileName) + " does not hold " +
                    std::to_string(kFactoryCalValues) +
                    " numbers; gains 1 and offsets 0 are used.");
    return table;
  }
  size_t next = 0;
  ForEachCoefficient(table, [&](GainOffset& entry, const std::string& name) {
    entry.gain = values[next++];
    entry.offset = values[next++];
    if (entry.gain == 0) {
      notes.push_back(std::string(kFactoryCalFileName) + ": gain of " + name + " is 0; 1 is used.");
      entry.gain = 1;
    }
  });
  return table;
}

std::string FactoryCalFileContent(const FactoryCalTable& table) {
  RecordWriter w;
  ForEachCoefficient(table, [&](const GainOffset& entry, const std::string&) {
    w.Number(entry.gain).EndRecord();
    w.Number(entry.offset).EndRecord();
  });
  return w.Content();
}

}  // namespace evm
