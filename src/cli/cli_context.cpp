#include "cli/cli_context.h"

#include <cstdlib>

#include "devices/platform.h"
#include "shell/main_load.h"
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

CliContext::CliContext(const CliOptions& o, const EvmctlIo& i)
    : options(o), io(i), out(i.out), err(i.err), ui(i.err) {
  hid = MakePlatform({.simulate = o.simulate, .vendorId = o.vendorId}, io.clock);
  // The command line keeps its state beside the user's, never beside a
  // system-wide executable.
  const std::filesystem::path folder =
      ChooseStateFolder(o.configDir, UserConfigFolder(), UserConfigFolder());
  evm = std::make_unique<Evm>(
      EvmSeams{*hid, io.clock, ui, NumberLocale::Point(), folder, o.vendorId});
  RemoveStaleStateTemporaries(*evm);
}

CliContext::~CliContext() {
  if (evm) evm->regLink.CloseRegLink();
}

}  // namespace evm::cli
