#include "cli/cli_context.h"

#include "devices/hidapi/hidapi_platform.h"
#include "devices/sim/simulated_evm.h"
#include "hid/board_ids.h"
#include "shell/state_folder.h"

namespace evm::cli {

CliContext::CliContext(const CliOptions& o, std::ostream& o_out, std::ostream& o_err)
    : options(o), out(o_out), err(o_err), ui(o_err) {
  const uint16_t vendorId = o.vendorId.value_or(kDefaultBoardVendorId);
  if (o.simulate) {
    auto simulated = sim::SimulatedEvm::CreateDefault(clock, vendorId);
    if (o.simFault) sim::InjectFault(*simulated, *o.simFault);
    hid = std::move(simulated);
  } else {
    hid = std::make_unique<HidapiPlatform>();
  }
  // The same folder as the GUI's, so a calibration stored here is the GUI's.
  const std::filesystem::path folder =
      ChooseStateFolder(o.configDir, ExecutableFolder(), UserConfigFolder());
  evm = std::make_unique<Evm>(EvmSeams{*hid, clock, ui, NumberLocale::Point(), folder, vendorId});
  if (auto* simulated = dynamic_cast<sim::SimulatedEvm*>(hid.get())) {
    sim::AttachToProgram(*simulated, *evm);
  }
}

CliContext::~CliContext() {
  if (evm) evm->regLink.CloseRegLink();
}

}  // namespace evm::cli
