// SPDX-License-Identifier: GPL-3.0-or-later
// Script files: whatever loads is saved, and the saved file loads again and
// saves to the same bytes.
#include "common/atomic_file.h"
#include "fuzz_support.h"
#include "script/script_files.h"
#include "support/recording_ui.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& scratch = fuzz::Scratch();
  const auto loaded = fuzz::InputFile("loaded.txt", data, size);
  const auto saved = scratch.File("saved.txt");
  const auto resaved = scratch.File("resaved.txt");

  test::RecordingUi ui;
  ScriptGrid grid;
  if (!LoadScript(grid, loaded, ui)) return 0;
  FUZZ_CHECK(grid.ScriptLastRow >= 1 && grid.ScriptLastRow < grid.Rows());
  FUZZ_CHECK(SaveScript(grid, saved));

  ScriptGrid again;
  FUZZ_CHECK(LoadScript(again, saved, ui));
  FUZZ_CHECK(ui.messages.empty());
  FUZZ_CHECK(SaveScript(again, resaved));
  FUZZ_CHECK(ReadWholeFile(saved) == ReadWholeFile(resaved));
  for (int r = 1; r < grid.ScriptLastRow; ++r) {
    for (int c = 1; c <= 4; ++c) FUZZ_CHECK(again.Cell(r, c) == fuzz::AsWritten(grid.Cell(r, c)));
  }
  return 0;
}
