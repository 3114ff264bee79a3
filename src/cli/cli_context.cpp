#include "cli/cli_context.h"

#include "devices/platform.h"
#include "shell/board_selection_file.h"
#include "shell/main_load.h"
#include "shell/state_folder.h"

namespace evm::cli {

CliContext::CliContext(const CliOptions& o, const EvmctlIo& i)
    : options(o), io(i), clock(i.clock, i.stop), out(i.out), err(i.err), ui(i.err) {
  hid = MakePlatform({.simulate = o.simulate,
                      .vendorId = o.vendorId,
                      .simFault = o.simFault,
                      .simulatedBoards = o.simBoards},
                     clock);
  // The same folder as the GUI's, so a calibration stored here is the GUI's.
  const std::filesystem::path folder =
      ChooseStateFolder(o.configDir, ExecutableFolder(), UserConfigFolder());
  evm = std::make_unique<Evm>(EvmSeams{*hid, clock, ui, NumberLocale::Point(), folder, o.vendorId});
  RemoveStaleStateTemporaries(*evm);
  // Ctrl-C during a silent board's first time-out spares the user the second.
  evm->dutWriter.stopRequested = [this] { return Stopped(); };
  // The stored choice holds unless the command line names a board; a board
  // named there must be present, with no fall-back to another.
  const std::string ignored = LoadBoardSelection(*evm);
  if (!ignored.empty()) err << "evmctl: " << ignored << "\n";
  if (o.regLink) {
    evm->regLink.SelectedBoard = *o.regLink;
    evm->regLink.SelectionRequired = true;
  }
  if (o.interfaceBoard) {
    evm->dutWriter.SelectedBoard = *o.interfaceBoard;
    evm->dutWriter.SelectionRequired = true;
  }
}

CliContext::~CliContext() {
  if (evm) evm->regLink.CloseRegLink();
}

}  // namespace evm::cli
