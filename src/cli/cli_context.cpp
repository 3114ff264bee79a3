#include "cli/cli_context.h"

#include <cstdlib>

#include "devices/hidapi/hidapi_platform.h"
#include "devices/sim/simulated_evm.h"
#include "hid/board_ids.h"
#include "shell/board_selection_file.h"
#include "shell/state_folder.h"

namespace evm::cli {

namespace {
std::filesystem::path UserConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return std::filesystem::path(xdg) / "zm5520-evm";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".config" / "zm5520-evm";
  }
  return std::filesystem::temp_directory_path() / "zm5520-evm";
}
}  // namespace

CliContext::CliContext(const CliOptions& o, std::ostream& o_out, std::ostream& o_err)
    : options(o), out(o_out), err(o_err), ui(o_err) {
  const uint16_t vendorId = o.vendorId.value_or(kDefaultBoardVendorId);
  if (o.simulate) {
    hid = sim::SimulatedEvm::CreateDefault(clock, vendorId, o.simBoards);
  } else {
    hid = std::make_unique<HidapiPlatform>();
  }
  // The command line keeps its state beside the user's, never beside a
  // system-wide executable.
  const std::filesystem::path folder =
      ChooseStateFolder(o.configDir, UserConfigFolder(), UserConfigFolder());
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
