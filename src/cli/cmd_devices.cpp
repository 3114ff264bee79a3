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
  int unopenable = 0;
  if (hid.BeginEnumeration()) {
    for (int i = 0; hid.EnumerateMember(i); ++i) {
      const auto path = hid.InterfacePath(i);
      if (!path) continue;
      // The ids come from the listing, so a board the user may not open is
      // still recognised; the open only tells whether it can be used.
      std::optional<HidAttributes> attributes = hid.ListedAttributes(i);
      const HidHandle h = hid.Open(*path, false);
      const bool opens = h != kInvalidHidHandle;
      if (opens) {
        if (!attributes) attributes = hid.GetAttributes(h);
        hid.Close(h);
      }
      std::string vid = "????", pid = "????", mark;
      bool ours = false;
      if (attributes) {
        vid = Hex4(attributes->vendorId);
        pid = Hex4(attributes->productId);
        if (attributes->vendorId == vendor && attributes->productId == kRegLinkProductId) {
          mark = "  register link";
          ours = true;
        } else if (attributes->vendorId == vendor && IsInterfaceBoardId(attributes->productId)) {
          mark = "  interface board";
          ours = true;
        }
      }
      if (ours && opens) ++boards;
      if (ours && !opens) {
        ++unopenable;
        mark += " (cannot open: no permission? see the udev rule in the README)";
      }
      ctx.out << vid << ":" << pid << "  " << *path << mark << "\n";
    }
  }
  hid.EndEnumeration();
  if (unopenable > 0) {
    ctx.err << "evmctl devices: " << unopenable
            << " board(s) found but cannot be opened; on Linux give your user access with a "
               "udev rule (see the README)\n";
  }
  if (boards == 0) {
    if (unopenable == 0) {
      ctx.err << "evmctl devices: no board with vendor id " << Hex4(vendor) << " found\n";
    }
    return kExitNoBoard;
  }
  return kExitOk;
}

}  // namespace evm::cli
