#include "cli/cli_session.h"

#include "common/atomic_file.h"
#include "common/hex_text.h"
#include "common/number_text.h"
#include "hid/board_ids.h"
#include "shell/main_load.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
#include "shell/stored_calibration.h"
#include "shell/usb_address_file.h"

namespace evm::cli {

int Fail(CliContext& ctx, int code, const std::string& text) {
  const std::string message = "evmctl " + ctx.options.command + ": " + text;
  if (ctx.failure.empty()) ctx.failure = message;
  ctx.err << message << "\n";
  return code;
}

int FailUnreadable(CliContext& ctx, const std::string& file, const std::error_code& ec) {
  if (IsFileFault(ec)) return Fail(ctx, kExitUsage, FileFaultText(file, ec));
  return Fail(ctx, kExitUsage, "cannot read '" + file + "': " + ec.message());
}

std::string LinkFailure(CliContext& ctx, int deviceAddress, const std::string& what,
                        const std::string& seeAlso) {
  const LinkFault fault = ctx.evm->regLink.LastFault();
  if (fault == LinkFault::NoAnswer || fault == LinkFault::NoBoard) {
    return "the register link did not answer" + what;
  }
  return NotAcknowledged(deviceAddress, what + seeAlso);
}

std::string NotAcknowledged(int deviceAddress, const std::string& what) {
  return "the device at address " + Hex(static_cast<unsigned>(deviceAddress), 2) +
         "h did not acknowledge" + what;
}

bool ConnectRegisterLink(CliContext& ctx) {
  if (ctx.evm->regLink.OpenRegLink()) return true;
  if (ctx.options.regLink) {
    Fail(ctx, kExitNoBoard, "register link " + *ctx.options.regLink + " not found");
    return false;
  }
  if (ctx.evm->regLink.UnopenedInterfaces() > 0) {
    Fail(ctx, kExitNoBoard,
         "a register link board was found but cannot be opened (no permission?): see the udev "
         "rule in the README");
    return false;
  }
  Fail(ctx, kExitNoBoard,
       "no register link board found (vendor id " + Hex(ctx.options.vendorId, 4) + ", product id " +
           Hex(kRegLinkProductId, 4) + ")");
  return false;
}

bool ConnectInterfaceBoard(CliContext& ctx) {
  ShellState& shell = ctx.evm->shell;
  const auto file = ctx.evm->StateFile(kUsbAddressFileName);
  std::error_code readError;
  const auto stored = ReadUsbAddressFile(file, &readError);
  ReportUnreadableStateFile(ctx.ui, file, readError);
  // An address on the command line is taken as given, for this run only.
  if (ctx.options.usbAddress) {
    shell.UsbAddress = ctx.options.usbAddress;
    shell.LegacyAddressing = InUsbAddressRange(*shell.UsbAddress, true);
  } else {
    StartWithUsbAddress(shell, stored);
  }
  if (ctx.evm->dutWriter.FindMnemonicBoard()) return true;
  if (ctx.options.interfaceBoard) {
    Fail(ctx, kExitNoBoard, "interface board " + *ctx.options.interfaceBoard + " not found");
    return false;
  }
  Fail(ctx, kExitNoBoard,
       "no interface board found (vendor id " + Hex(ctx.options.vendorId, 4) + ", product id " +
           Hex(*shell.UsbAddress, 4) + "; see --usb-address)");
  return false;
}

Scaling StoredScaling(CliContext& ctx, const RegisterRead& read) {
  const auto file = ctx.evm->StateFile(kSettingsFileName);
  const StoredCalibration stored = ReadStoredCalibration(file, RangesOfConfig(read.values[0]));
  ReportUnreadableStateFile(ctx.ui, file, stored.readError);
  // The values came from the settings file, so that is what to fix.
  const std::string where = "' stored in '" + file.string() + "'";
  const std::string prefix = "evmctl " + ctx.options.command + ": the ";
  if (stored.stored) {
    switch (stored.restored.reached) {
      case RestoredStep::None:
        ctx.err << prefix << "Rshunt '" << stored.settings.rshunt << where
                << " is not a valid value; power and current are not scaled\n";
        break;
      case RestoredStep::Rshunt:
        ctx.err << prefix << "Max Expected Current '" << stored.settings.maxExpectedCurrent << where
                << " is not between 0 and the Max Possible Current; power and current are not "
                << "scaled\n";
        break;
      case RestoredStep::CurrentLsbRejected:
        ctx.err << prefix << "current LSB '" << stored.settings.selectedCurrentLsb << where
                << " gives no calibration with the stored inputs; power is not scaled\n";
        break;
      case RestoredStep::CurrentLsb: break;
    }
  }
  return stored.restored.scaling;
}

RunLength RunLengthOf(const std::optional<std::string>& passesText,
                      const std::optional<std::string>& secondsText) {
  RunLength length;
  if (passesText) length.passes = static_cast<long>(ParseInvariantNumber(*passesText).value_or(0));
  if (secondsText) length.seconds = ParseInvariantNumber(*secondsText).value_or(0);
  return length;
}

void PrintJson(CliContext& ctx, const Json& json) {
  ctx.document = json;
}

void PrintJsonLine(CliContext& ctx, const Json& json) {
  ctx.streamed = true;
  PrintJsonDocument(ctx.out, json);
}

void Progress(CliContext& ctx, const std::string& text) {
  if (ctx.io.progress) ctx.err << "\r" << text << std::flush;
}

void EndProgress(CliContext& ctx) {
  if (ctx.io.progress) ctx.err << "\n";
}

}  // namespace evm::cli
