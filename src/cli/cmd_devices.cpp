#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "hid/board_discovery.h"
#include "shell/board_selection_file.h"

namespace evm::cli {

namespace {
std::string Hex4(unsigned v) {
  return Hex(v & 0xFFFF, 4);
}

const char* KindKey(BoardKind kind) {
  switch (kind) {
    case BoardKind::RegLink: return "reglink";
    case BoardKind::Interface: return "interface";
    case BoardKind::Other: break;
  }
  return "other";
}
}  // namespace

int RunDevices(CliContext& ctx) {
  const uint16_t vendor = ctx.options.vendorId;
  const auto listed = DiscoverBoards(*ctx.hid, vendor);
  const BoardSelection stored{ctx.evm->regLink.SelectedBoard, ctx.evm->dutWriter.SelectedBoard};
  const auto selected = [&stored](const BoardListing& b) {
    return (b.kind == BoardKind::RegLink && SelectorNames(b, stored.regLink)) ||
           (b.kind == BoardKind::Interface && SelectorNames(b, stored.interfaceBoard));
  };
  int boards = 0;
  int unopenable = 0;
  Json json = Json::array();
  for (const BoardListing& b : listed) {
    if (b.kind != BoardKind::Other) ++(b.openable ? boards : unopenable);
    if (ctx.options.json) {
      Json d{{"path", b.path}};
      d["vendor_id"] = b.idsKnown ? Json(b.vendorId) : Json(nullptr);
      d["product_id"] = b.idsKnown ? Json(b.productId) : Json(nullptr);
      d["serial"] = b.serial;
      d["product"] = b.product;
      d["kind"] = KindKey(b.kind);
      d["openable"] = b.openable;
      if (!b.openable) d["reason"] = b.reason;
      d["selected"] = selected(b);
      json.push_back(std::move(d));
      continue;
    }
    std::string line = (b.idsKnown ? Hex4(b.vendorId) : "????") + ":" +
                       (b.idsKnown ? Hex4(b.productId) : "????") + "  " + b.path;
    if (b.kind != BoardKind::Other) line += std::string("  ") + BoardKindName(b.kind);
    if (!b.serial.empty()) line += "  serial " + b.serial;
    if (!b.product.empty()) line += "  \"" + b.product + "\"";
    if (selected(b)) line += "  (selected)";
    if (!b.openable) {
      line += "  cannot open (" + b.reason + ")";
      if (b.kind != BoardKind::Other) line += ": no permission? see the udev rule in the README";
    }
    ctx.out << line << "\n";
  }
  if (ctx.options.json) PrintJson(ctx, json);
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
