#include "cli/commands.h"

namespace evm::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> kCommands = {
      {"devices", "devices",
       "Lists the HID devices with vendor id, product id and path, marking the\n"
       "register link and the interface boards.\n",
       RunDevices},
  };
  return kCommands;
}

}  // namespace evm::cli
