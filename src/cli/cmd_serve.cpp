// SPDX-License-Identifier: GPL-3.0-or-later
#include <optional>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "scpi/mdns_announce.h"
#include "scpi/scpi_instrument.h"
#include "scpi/scpi_server.h"

namespace evm::cli {

int RunServe(CliContext& ctx) {
  scpi::ListenAddress address;
  if (const auto listen = ctx.options.Value("--listen");
      listen && !scpi::ParseListenAddress(*listen, address)) {
    return Fail(ctx, kExitUsage, "--listen '" + *listen + "' is not HOST:PORT");
  }
  const std::string where = address.host + ":" + std::to_string(address.port);
  std::string why;
  const scpi::HostReach reach = scpi::CheckListenHost(address.host, why);
  switch (reach) {
    case scpi::HostReach::Unresolved:
      return Fail(ctx, kExitFailed, "cannot resolve '" + address.host + "': " + why);
    case scpi::HostReach::Remote:
      if (!ctx.options.Flag("--allow-remote")) {
        return Fail(ctx, kExitUsage,
                    "listening on " + where +
                        " lets other machines write the registers; add --allow-remote");
      }
      ctx.err << "evmctl serve: warning: listening on " << where
              << ": any client that reaches it can write the registers\n";
      break;
    case scpi::HostReach::Loopback: break;
  }
  scpi::ScpiInstrument instrument(*ctx.bench);
  scpi::ScpiServer server(instrument, ctx.err, ctx.io.clock);
  try {
    server.Listen(address);
  } catch (const scpi::ServeError& e) {
    return Fail(ctx, kExitFailed, e.what());
  }
  // The Bench's rule for a blank device, taken now rather than at the first
  // query, so its note comes before the server's threads write the log; a
  // missing board is no reason not to serve (its queries answer -241).
  if (!ctx.options.keepBlank) {
    try {
      if (const CalibrationRestore done = ctx.bench->CalibrateIfBlank(); !done.message.empty()) {
        ctx.err << "evmctl serve: " << done.message << "\n";
      }
    } catch (const Error& e) {
      ctx.err << "evmctl serve: " << e.what() << "\n";
    }
  }
  ctx.err << "evmctl serve: listening on " << address.host << ":" << server.Port() << std::endl;
  // Only an address other machines reach is worth announcing on the network.
  std::optional<scpi::MdnsAnnouncement> announcement;
  if (reach == scpi::HostReach::Remote) {
    announcement.emplace(scpi::kScpiModel, server.Port(),
                         [&server](const std::string& line) { server.Log(line); });
  }
  static const std::atomic<bool> kNever{false};
  try {
    server.Run(ctx.io.stop ? *ctx.io.stop : kNever);
  } catch (const scpi::ServeError& e) {
    return Fail(ctx, kExitFailed, e.what());
  }
  ctx.err << "evmctl serve: stopped\n";
  return kExitOk;
}

}  // namespace evm::cli
