#include "cli/cli_context.h"

#include "devices/platform.h"
#include "shell/main_load.h"
#include "shell/state_folder.h"

namespace evm::cli {

CliContext::CliContext(const CliOptions& o, const EvmctlIo& i)
    : options(o), io(i), out(i.out), err(i.err), ui(i.err) {
  hid = MakePlatform({.simulate = o.simulate, .vendorId = o.vendorId, .simFault = o.simFault},
                     io.clock);
  // The same folder as the GUI's, so a calibration stored here is the GUI's.
  const std::filesystem::path folder =
      ChooseStateFolder(o.configDir, ExecutableFolder(), UserConfigFolder());
  evm = std::make_unique<Evm>(
      EvmSeams{*hid, io.clock, ui, NumberLocale::Point(), folder, o.vendorId});
  RemoveStaleStateTemporaries(*evm);
}

CliContext::~CliContext() {
  if (evm) evm->regLink.CloseRegLink();
}

}  // namespace evm::cli
