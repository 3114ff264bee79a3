// SPDX-License-Identifier: GPL-3.0-or-later
// The board choice: whatever is read is written back and reads as the same
// boards, so a start never loses or changes the user's choice.
#include "fuzz_support.h"
#include "shell/board_selection_file.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::InputFile(kBoardSelectionFileName, data, size);
  std::string problem;
  const auto selection = ReadBoardSelectionFile(file, &problem);
  if (!selection) {
    FUZZ_CHECK(!problem.empty());
    return 0;
  }
  FUZZ_CHECK(WriteBoardSelectionFile(file, *selection));
  const auto again = ReadBoardSelectionFile(file);
  FUZZ_CHECK(again);
  FUZZ_CHECK(again->regLink == fuzz::AsWritten(selection->regLink));
  FUZZ_CHECK(again->interfaceBoard == fuzz::AsWritten(selection->interfaceBoard));
  return 0;
}
