#include <cstdio>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "hid/board_discovery.h"
#include "shell/board_selection_file.h"

namespace evm::cli {

namespace {
std::string Hex4(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
  return buf;
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
  if (!ctx.options.args.empty()) {
    ctx.err << "evmctl devices: unexpected argument '" << ctx.options.args.front() << "'\n";
    return kExitUsage;
  }
  const uint16_t vendor = ctx.evm->BoardVendorId;
  const auto listed = DiscoverBoards(*ctx.hid, vendor);
  const BoardSelection stored{ctx.evm->regLink.SelectedBoard, ctx.evm->dutWriter.SelectedBoard};
  const auto selected = [&stored](const BoardListing& b) {
    return (b.kind == BoardKind::RegLink && SelectorNames(b, stored.regLink)) ||
           (b.kind == BoardKind::Interface && SelectorNames(b, stored.interfaceBoard));
  };
  int boards = 0;
  int unopenable = 0;
  JsonWriter json;
  json.BeginArray();
  for (const BoardListing& b : listed) {
    if (b.kind != BoardKind::Other) ++(b.openable ? boards : unopenable);
    if (ctx.options.json) {
      json.BeginObject().Key("path").String(b.path);
      if (b.idsKnown) {
        json.Key("vendor_id").Integer(b.vendorId).Key("product_id").Integer(b.productId);
      } else {
        json.Key("vendor_id").Null().Key("product_id").Null();
      }
      json.Key("serial").String(b.serial).Key("product").String(b.product);
      json.Key("kind").String(KindKey(b.kind)).Key("openable").Bool(b.openable);
      if (!b.openable) json.Key("reason").String(b.reason);
      json.Key("selected").Bool(selected(b)).EndObject();
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
  json.EndArray();
  if (ctx.options.json) ctx.out << json.Text();
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
