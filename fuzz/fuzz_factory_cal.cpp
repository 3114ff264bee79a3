// SPDX-License-Identifier: GPL-3.0-or-later
// The test board's correction table: a table read from any file holds no
// zero gain, and once written it reads back to the same file.
#include <cmath>

#include "common/atomic_file.h"
#include "fuzz_support.h"
#include "testboard/factory_cal.h"

using namespace evm;

namespace {

void CheckGains(const FactoryCalTable& table) {
  for (const auto& converter : table.cnv)
    for (const auto& reference : converter)
      for (const GainOffset& entry : reference) FUZZ_CHECK(entry.gain != 0);
  for (const auto& channel : table.dac)
    for (const GainOffset& entry : channel) FUZZ_CHECK(entry.gain != 0);
  FUZZ_CHECK(table.loop.gain != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::InputFile(kFactoryCalFileName, data, size);
  std::vector<std::string> notes;
  const FactoryCalTable table = LoadFactoryCal(file, notes);
  CheckGains(table);

  const std::string content = FactoryCalFileContent(table);
  FUZZ_CHECK(WriteFileAtomically(file, content));
  std::vector<std::string> reloadNotes;
  const FactoryCalTable back = LoadFactoryCal(file, reloadNotes);
  FUZZ_CHECK(reloadNotes.empty());
  FUZZ_CHECK(FactoryCalFileContent(back) == content);
  return 0;
}
