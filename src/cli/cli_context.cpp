#include "cli/cli_context.h"

#include <cstdlib>

#include "devices/sim/simulated_evm.h"
#include "devices/system_hid.h"
#include "hid/board_ids.h"
#include "shell/state_folder.h"

namespace evm::cli {

namespace {
std::filesystem::path UserConfigFolder() {
#ifdef _WIN32
  // Where the GUI keeps its state (Qt's per-user configuration folder), so
  // both programs share it; never %TEMP%, which cleanup tools empty.
  if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local) {
    return std::filesystem::path(local) / "zm5520-evm" / "zm5520-evm";
  }
#endif
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
    hid = sim::SimulatedEvm::CreateDefault(clock, vendorId);
  } else {
    hid = MakeSystemHidPlatform();
  }
  // The command line keeps its state beside the user's, never beside a
  // system-wide executable.
  const std::filesystem::path folder =
      ChooseStateFolder(o.configDir, UserConfigFolder(), UserConfigFolder());
  evm = std::make_unique<Evm>(EvmSeams{*hid, clock, ui, NumberLocale::Point(), folder, vendorId});
  if (auto* simulated = dynamic_cast<sim::SimulatedEvm*>(hid.get())) {
    sim::AttachToProgram(*simulated, *evm);
  }
}

CliContext::~CliContext() {
  if (evm) evm->regLink.CloseRegLink();
}

}  // namespace evm::cli
