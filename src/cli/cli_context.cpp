#include "cli/cli_context.h"

#include "devices/sim/simulated_evm.h"
#include "devices/system_hid.h"
#include "hid/board_ids.h"
#include "shell/board_selection_file.h"
#include "shell/state_folder.h"

namespace evm::cli {

CliContext::CliContext(const CliOptions& o, std::ostream& o_out, std::ostream& o_err)
    : options(o), out(o_out), err(o_err), ui(o_err) {
  const uint16_t vendorId = o.vendorId.value_or(kDefaultBoardVendorId);
  if (o.simulate) {
    auto simulated = sim::SimulatedEvm::CreateDefault(clock, vendorId, o.simBoards);
    if (o.simFault) sim::InjectFault(*simulated, *o.simFault);
    hid = std::move(simulated);
  } else {
    hid = MakeSystemHidPlatform();
  }
  // The same folder as the GUI's, so a calibration stored here is the GUI's.
  const std::filesystem::path folder =
      ChooseStateFolder(o.configDir, ExecutableFolder(), UserConfigFolder());
  evm = std::make_unique<Evm>(EvmSeams{*hid, clock, ui, NumberLocale::Point(), folder, vendorId});
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
  if (auto* simulated = dynamic_cast<sim::SimulatedEvm*>(hid.get())) {
    sim::AttachToProgram(*simulated, *evm);
  }
}

CliContext::~CliContext() {
  if (evm) evm->regLink.CloseRegLink();
}

}  // namespace evm::cli
