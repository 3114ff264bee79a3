// SPDX-License-Identifier: GPL-3.0-or-later
// Register files: what loads is saved and loads again as the same values.
#include "calibration/register_file.h"
#include "fuzz_support.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto values = ParseRegisterFile(fuzz::AsText(data, size));
  if (!values) return 0;
  RegisterStore store;
  for (size_t i = 0; i < values->size(); ++i) {
    FUZZ_CHECK((*values)[i] >= 0 && (*values)[i] <= 65535);
    store.RegValue[i] = (*values)[i];
  }
  const auto back = ParseRegisterFile(FormatRegisterFile(store));
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(*back == *values);
  return 0;
}
