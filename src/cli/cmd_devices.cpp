#include "cli/commands.h"
#include "common/hex_text.h"
#include "hid/board_ids.h"
#include "shell/set_usb_address.h"

namespace evm::cli {

namespace {
std::string Hex4(unsigned v) {
  return Hex(v & 0xFFFF, 4);
}

bool IsInterfaceBoardId(uint16_t pid) {
  return InUsbAddressRange(pid, false) || InUsbAddressRange(pid, true);
}
}  // namespace

int RunDevices(CliContext& ctx) {
  HidPlatform& hid = *ctx.hid;
  const uint16_t vendor = ctx.options.vendorId;
  int boards = 0;
  if (hid.BeginEnumeration()) {
    for (int i = 0; hid.EnumerateMember(i); ++i) {
      const auto path = hid.InterfacePath(i);
      if (!path) continue;
      const HidHandle h = hid.Open(*path, false);
      std::optional<HidAttributes> attributes;
      if (h != kInvalidHidHandle) {
        attributes = hid.GetAttributes(h);
        hid.Close(h);
      }
      std::string vid = "????", pid = "????", mark;
      if (attributes) {
        vid = Hex4(attributes->vendorId);
        pid = Hex4(attributes->productId);
        if (attributes->vendorId == vendor && attributes->productId == kRegLinkProductId) {
          mark = "  register link";
          ++boards;
        } else if (attributes->vendorId == vendor && IsInterfaceBoardId(attributes->productId)) {
          mark = "  interface board";
          ++boards;
        }
      }
      ctx.out << vid << ":" << pid << "  " << *path << mark << "\n";
    }
  }
  hid.EndEnumeration();
  if (boards == 0) {
    ctx.err << "evmctl devices: no board with vendor id " << Hex4(vendor) << " found\n";
    return kExitNoBoard;
  }
  return kExitOk;
}

}  // namespace evm::cli
