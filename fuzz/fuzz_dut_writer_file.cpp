// SPDX-License-Identifier: GPL-3.0-or-later
// The raw-command window's file: five texts that load are saved and load
// again as the same texts.
#include "fuzz_support.h"
#include "support/recording_ui.h"
#include "testboard/dut_writer_panel.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::InputFile(kDutWriterFileName, data, size);
  test::RecordingUi ui;
  DutWriterPanel panel;
  LoadDutWriterFile(panel, file, ui);
  FUZZ_CHECK(SaveDutWriterFile(panel, file));
  DutWriterPanel back;
  back.txtCmdString.fill("stale");
  LoadDutWriterFile(back, file, ui);
  for (size_t i = 0; i < panel.txtCmdString.size(); ++i) {
    FUZZ_CHECK(back.txtCmdString[i] == fuzz::AsWritten(panel.txtCmdString[i]));
  }
  return 0;
}
