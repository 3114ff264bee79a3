#include "cli/cli_session.h"

#include <cstdlib>

#include "calibration/eng_number.h"
#include "calibration/initial_calibration.h"
#include "common/atomic_file.h"
#include "common/hex_text.h"
#include "hid/board_ids.h"
#include "shell/main_load.h"
#include "shell/set_usb_address.h"
#include "shell/settings_file.h"
#include "shell/usb_address_file.h"

namespace evm::cli {

int Fail(CliContext& ctx, int code, const std::string& text) {
  ctx.err << "evmctl " << ctx.options.command << ": " << text << "\n";
  return code;
}

bool CheckFileName(CliContext& ctx, const std::string& file, const std::string& what) {
  if (!file.empty()) return true;
  Fail(ctx, kExitUsage, what + " is empty; give a file name");
  return false;
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
  std::error_code readError;
  const auto settings = ReadSettingsFile(file, &readError);
  ReportUnreadableStateFile(ctx.ui, file, readError);
  const CalibrationInputs defaults{0.01, 2, 100e-6};
  CalibrationInputs inputs = defaults;
  if (settings) {
    // Stored with a decimal point, whatever the locale of the session.
    const NumberLocale point = NumberLocale::Point();
    inputs = {ParseEngNumber(settings->rshunt, point),
              ParseEngNumber(settings->maxExpectedCurrent, point),
              ParseEngNumber(settings->selectedCurrentLsb, point)};
    if (!(inputs.rshuntOhms > 0)) {
      // The value came from the settings file, so that is what to fix.
      ctx.err << "evmctl " << ctx.options.command << ": the Rshunt '" << settings->rshunt
              << "' stored in '" << file.string()
              << "' is not a valid value; power and current are not scaled\n";
      return Scaling{};
    }
  }
  const InitialCalibration c =
      ComputeInitialCalibration(inputs, RangesOfConfig(read.values[0]), NumberLocale::Point());
  if (!c.Ok()) return Scaling{};
  return Scaling{c.currentLsb, c.powerLsb};
}

namespace {
std::optional<double> PositiveNumber(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(v > 0) || v > 1e9) return std::nullopt;
  return v;
}
}  // namespace

std::optional<RunLength> ReadRunLength(CliContext& ctx,
                                       const std::optional<std::string>& passesText,
                                       const std::optional<std::string>& secondsText) {
  RunLength length;
  if (passesText) {
    // Digits only: "0x2" or "2e0" would be read as some other count.
    const auto n = passesText->find_first_not_of("0123456789") == std::string::npos
                       ? PositiveNumber(*passesText)
                       : std::nullopt;
    if (!n || *n != static_cast<double>(static_cast<long>(*n))) {
      Fail(ctx, kExitUsage, "--passes '" + *passesText + "' is not a whole number above 0");
      return std::nullopt;
    }
    length.passes = static_cast<long>(*n);
  } else if (secondsText) {
    const auto s = PositiveNumber(*secondsText);
    if (!s) {
      Fail(ctx, kExitUsage, "--seconds '" + *secondsText + "' is not a number above 0");
      return std::nullopt;
    }
    length.seconds = *s;
  }
  return length;
}

bool RunLength::Over(long done, Clock& clock) const {
  if (passes > 0) return done >= passes;
  if (seconds <= 0) return false;
  constexpr double kSecondsPerDay = 86400;
  double elapsed = clock.SecondsSinceMidnight() - start;
  if (elapsed < 0) elapsed += kSecondsPerDay;
  return elapsed >= seconds;
}

namespace {

bool ValidUtf8(const std::string& text) {
  try {
    (void)Json(text).dump();
    return true;
  } catch (const Json::type_error&) {
    return false;
  }
}

std::string HexBytes(const std::string& text) {
  std::string hex;
  for (const unsigned char byte : text) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 0xF];
  }
  return hex;
}

}  // namespace

void PrintJson(CliContext& ctx, const Json& json) {
  // A file name outside UTF-8 is shown with replacement characters, which
  // name no file: its bytes go beside it, so a script can find the file.
  Json doc = json;
  if (json.is_object()) {
    for (const auto& [key, value] : json.items()) {
      if (value.is_string() && !ValidUtf8(value.get<std::string>())) {
        doc[key + "_bytes"] = HexBytes(value.get<std::string>());
      }
    }
  }
  ctx.out << doc.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

void Progress(CliContext& ctx, const std::string& text) {
  if (ctx.io.progress) ctx.err << "\r" << text << std::flush;
}

void EndProgress(CliContext& ctx) {
  if (ctx.io.progress) ctx.err << "\n";
}

}  // namespace evm::cli
