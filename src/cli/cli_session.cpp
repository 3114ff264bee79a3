#include "cli/cli_session.h"

#include <cstdlib>

#include <cstdio>
#include <stdexcept>

#include "calibration/eng_number.h"
#include "calibration/initial_calibration.h"
#include "cli/commands.h"
#include "hid/board_ids.h"
#include "registers/config_controls.h"
#include "registers/register_cycle.h"
#include "shell/main_load.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
#include "shell/usb_address_file.h"

namespace evm::cli {

std::string Hex2(unsigned value) {
  char buffer[4];
  std::snprintf(buffer, sizeof buffer, "%02X", value & 0xFFu);
  return buffer;
}

std::string Hex4(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%04X", value & 0xFFFFu);
  return buffer;
}

int Fail(CliContext& ctx, int code, const std::string& text) {
  ctx.err << "evmctl " << ctx.options.command << ": " << text << "\n";
  return code;
}

int EndRegisterAccess(CliContext& ctx, const std::string& what) {
  Evm& evm = *ctx.evm;
  const bool acknowledged = !evm.registerPanel.txtDutNotAckVisible;
  evm.regLink.CloseRegLink();
  if (acknowledged) return kExitOk;
  return Fail(ctx, kExitFailed,
              "the device at address " + Hex2(static_cast<unsigned>(evm.registers.DeviceAddress)) +
                  "h did not acknowledge" + what);
}

bool CheckFileName(CliContext& ctx, const std::string& file, const std::string& what) {
  if (!file.empty()) return true;
  Fail(ctx, kExitUsage, what + " is empty; give a file name");
  return false;
}

int FailUnreadable(CliContext& ctx, const std::string& file, const std::error_code& ec) {
  return Fail(ctx, kExitUsage, "cannot read '" + file + "': " + ec.message());
}

bool CheckArguments(CliContext& ctx, const std::vector<std::string>& args, size_t min, size_t max) {
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      Fail(ctx, kExitUsage, "unknown option '" + a + "'");
      return false;
    }
  }
  if (args.size() < min) {
    std::string synopsis = ctx.options.command;
    for (const Command& c : Commands()) {
      if (c.name == ctx.options.command) synopsis = c.synopsis;
    }
    Fail(ctx, kExitUsage, "missing argument; usage: evmctl " + synopsis);
    return false;
  }
  if (args.size() > max) {
    Fail(ctx, kExitUsage, "unexpected argument '" + args[max] + "'");
    return false;
  }
  return true;
}

void LoadState(CliContext& ctx) {
  Evm& evm = *ctx.evm;
  ShellState& shell = evm.shell;
  shell.DecimalComma = DecimalCommaOf(evm.locale);
  RemoveStaleStateTemporaries(evm);
  std::error_code readError;
  const auto stored = ReadUsbAddressFile(evm.StateFile(kUsbAddressFileName), &readError);
  ReportUnreadableStateFile(ctx.ui, evm.StateFile(kUsbAddressFileName), readError);
  // An address on the command line is taken as given, for this run only.
  if (ctx.options.usbAddress) {
    shell.UsbAddress = ctx.options.usbAddress;
    shell.LegacyAddressing = InUsbAddressRange(*shell.UsbAddress, true);
  } else {
    StartWithUsbAddress(shell, stored);
  }
  try {
    LoadAfterLink(evm);
  } catch (const std::exception&) {
    // No stored settings: the calibration tab keeps its initial texts, as
    // the main window does after the same failure.
  }
  // The device address lists cover 40h-4Fh; any other address the command
  // line asks for goes into the store directly.
  const int address = ctx.options.deviceAddress;
  if (address >= 0x40 && address <= 0x4F) {
    ConfigListChosen(evm, ConfigList::A0, (address - 0x40) & 3);
    ConfigListChosen(evm, ConfigList::A1, (address - 0x40) >> 2);
  } else {
    evm.registers.DeviceAddress = address;
  }
}

bool ConnectRegisterLink(CliContext& ctx) {
  if (ctx.evm->regLink.OpenRegLink()) return true;
  if (ctx.options.regLink) {
    Fail(ctx, kExitNoBoard, "register link " + *ctx.options.regLink + " not found");
    return false;
  }
  Fail(ctx, kExitNoBoard,
       "no register link board found (vendor id " + Hex4(ctx.evm->BoardVendorId) + ", product id " +
           Hex4(kRegLinkProductId) + ")");
  return false;
}

bool ConnectInterfaceBoard(CliContext& ctx) {
  if (ctx.evm->dutWriter.FindMnemonicBoard()) return true;
  if (ctx.options.interfaceBoard) {
    Fail(ctx, kExitNoBoard, "interface board " + *ctx.options.interfaceBoard + " not found");
    return false;
  }
  Fail(ctx, kExitNoBoard,
       "no interface board found (vendor id " + Hex4(ctx.evm->BoardVendorId) + ", product id " +
           Hex4(ctx.evm->shell.UsbAddress.value_or(0)) + "; see --usb-address)");
  return false;
}

void ReadRegisters(CliContext& ctx) {
  ReadAllRegs(*ctx.evm);
  ctx.evm->registers.RegEdited.fill(false);
}

void ReadScaledRegisters(CliContext& ctx) {
  Evm& evm = *ctx.evm;
  // The calculator checks its inputs against the ranges register 00h sets,
  // so the registers are read before it and again after it, which leaves
  // the device's own register 05h in the store.
  ReadRegisters(ctx);
  const std::string& rshunt = evm.calibration.txtRshunt;
  if (!(ParseEngNumber(rshunt, evm.locale) > 0)) {
    // The calculator would only ask for a valid value; the value came from
    // the settings file, so that is what the user needs to know.
    ctx.err << "evmctl " << ctx.options.command << ": the Rshunt '" << rshunt << "' stored in '"
            << evm.StateFile(kSettingsFileName).string()
            << "' is not a valid value; power and current are not scaled\n";
  } else if (cmdEnterShuntR_Click(evm) && cmdEnterMaxExpCur_Click(evm)) {
    CalculateCurrentLsb(evm);
  }
  ReadRegisters(ctx);
}

namespace {
std::optional<double> PositiveNumber(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(v > 0) || v > 1e9) return std::nullopt;
  return v;
}
}  // namespace

bool ReadRunLength(CliContext& ctx, const std::optional<std::string>& passesText,
                   const std::optional<std::string>& secondsText, long& passes, double& seconds) {
  passes = 0;
  seconds = 0;
  if (passesText) {
    const auto n = PositiveNumber(*passesText);
    if (!n || *n != static_cast<double>(static_cast<long>(*n))) {
      Fail(ctx, kExitUsage, "--passes '" + *passesText + "' is not a whole number above 0");
      return false;
    }
    passes = static_cast<long>(*n);
  } else if (secondsText) {
    const auto s = PositiveNumber(*secondsText);
    if (!s) {
      Fail(ctx, kExitUsage, "--seconds '" + *secondsText + "' is not a number above 0");
      return false;
    }
    seconds = *s;
  }
  return true;
}

}  // namespace evm::cli
