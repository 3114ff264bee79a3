// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"

namespace evm::cli {

namespace {
std::string Hex4(unsigned v) {
  return Hex(v & 0xFFFF, 4);
}

const char* KindKey(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::RegLink: return "reglink";
    case DeviceKind::Interface: return "interface";
    case DeviceKind::Other: break;
  }
  return "other";
}
}  // namespace

int RunDevices(CliContext& ctx) {
  const uint16_t vendor = ctx.options.vendorId;
  int boards = 0;
  int unopenable = 0;
  // One shape with boards or without: the list is never the document itself.
  Json json = Json::array();
  for (const DeviceInfo& b : ctx.bench->Devices()) {
    const bool board = b.kind != DeviceKind::Other;
    if (board) ++(b.openable ? boards : unopenable);
    if (ctx.options.json) {
      Json d{{"path", b.path}};
      d["vendor_id"] = b.vendorId ? Json(*b.vendorId) : Json(nullptr);
      d["product_id"] = b.productId ? Json(*b.productId) : Json(nullptr);
      d["serial"] = b.serial;
      d["product"] = b.product;
      d["kind"] = KindKey(b.kind);
      d["openable"] = b.openable;
      if (!b.openable) d["reason"] = b.reason;
      d["selected"] = b.selected;
      json.push_back(std::move(d));
      continue;
    }
    std::string line = (b.vendorId ? Hex4(*b.vendorId) : "????") + ":" +
                       (b.productId ? Hex4(*b.productId) : "????") + "  " + b.path;
    if (board) line += "  " + b.kindName;
    if (!b.serial.empty()) line += "  serial " + b.serial;
    if (!b.product.empty()) line += "  \"" + b.product + "\"";
    if (b.selected) line += "  (selected)";
    if (!b.openable) {
      line += "  cannot open (" + b.reason + ")";
      if (board) line += ": no permission? see the udev rule in the README";
    }
    ctx.out << line << "\n";
  }
  if (ctx.options.json) PrintJson(ctx, Json{{"devices", json}});
  const std::string locked =
      std::to_string(unopenable) +
      " board(s) found but cannot be opened; on Linux give your user access with a udev rule (see "
      "the README)";
  if (boards == 0) {
    return Fail(ctx, kExitNoBoard,
                unopenable > 0 ? locked : "no board with vendor id " + Hex4(vendor) + " found");
  }
  if (unopenable > 0) ctx.err << "evmctl devices: " << locked << "\n";
  return kExitOk;
}

}  // namespace evm::cli
