// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/set_usb_address.h"

#include "mnemonic/mnemonic_language.h"
#include "shell/usb_address_file.h"

namespace evm {

namespace {

const char* JumperText(int bit) {
  return bit ? " 1" : " 0";
}

bool IsJumperText(const std::string& text) {
  return text == " 0" || text == " 1";
}

void RefreshCaption(SetUsbAddressPanel& panel, const ShellState& shell) {
  panel.Label3 = ProductIdCaption(shell.UsbAddress);
}

// Boxes from the address for the range in use; an address outside it
// becomes the range's base with both jumpers at 0.
void JumpersFromAddress(SetUsbAddressPanel& panel, ShellState& shell) {
  const bool legacy = shell.LegacyAddressing;
  const uint16_t base = UsbAddressBase(legacy);
  if (shell.UsbAddress && InUsbAddressRange(*shell.UsbAddress, legacy)) {
    const int offset = *shell.UsbAddress - base;
    panel.Text4 = JumperText(offset >> 1);
    panel.Text5 = JumperText(offset & 1);
  } else {
    panel.Text4 = " 0";
    panel.Text5 = " 0";
    shell.UsbAddress = base;
  }
}

}  // namespace

uint16_t UsbAddressFromJumpers(bool legacy, int jump4, int jump5) {
  return static_cast<uint16_t>(UsbAddressBase(legacy) + 2 * jump4 + jump5);
}

std::string ProductIdCaption(const std::optional<uint16_t>& address) {
  return "MyProductID = " + (address ? HexText(*address) : std::string()) + "h";
}

void SetUsbAddressLoad(SetUsbAddressPanel& panel, ShellState& shell,
                       const std::filesystem::path& addressFile) {
  if (const auto stored = ReadUsbAddressFile(addressFile)) {
    shell.UsbAddress = *stored;
    shell.LegacyAddressing = InUsbAddressRange(*stored, true);
    panel.Check1 = shell.LegacyAddressing;
    JumpersFromAddress(panel, shell);
  }
  RefreshCaption(panel, shell);
}

void StartWithUsbAddress(ShellState& shell, const std::optional<uint16_t>& stored) {
  shell.UsbAddress = stored.value_or(kStandardUsbAddressBase);
  shell.LegacyAddressing = InUsbAddressRange(*shell.UsbAddress, true);
  SetUsbAddressPanel unshown;
  JumpersFromAddress(unshown, shell);
}

void SetUsbAddressCheck1Click(SetUsbAddressPanel& panel, ShellState& shell, bool checked) {
  panel.Check1 = checked;
  shell.LegacyAddressing = checked;
  JumpersFromAddress(panel, shell);
  RefreshCaption(panel, shell);
}

void SetUsbAddressJumperClick(SetUsbAddressPanel& panel, ShellState& shell, int jumper) {
  std::string& box = jumper == 4 ? panel.Text4 : panel.Text5;
  box = box == " 1" ? " 0" : " 1";
  if (IsJumperText(panel.Text4) && IsJumperText(panel.Text5)) {
    shell.UsbAddress =
        UsbAddressFromJumpers(shell.LegacyAddressing, panel.Text4 == " 1", panel.Text5 == " 1");
  }
  RefreshCaption(panel, shell);
}

bool SetUsbAddressSave(const ShellState& shell, const std::filesystem::path& addressFile) {
  // An address that was never set is not written: it would replace a
  // stored one with an empty record.
  if (!shell.UsbAddress) return false;
  return WriteUsbAddressFile(addressFile, *shell.UsbAddress);
}

std::string LegacyAddressExplanation() {
  return "For units calibrated before 3/1/08 use 'Legacy' addresses.\r\n"
         "See figure below for location of calibration tag.\r\n"
         "For units calibrated on or after 3/1/08 use standard addresses.\r\n"
         "The Legacy address range of 0x1234 - 0x1237.\r\n"
         "The standard USB 'address' range is 0x2F90 - 0x2F93. \r\n"
         "The address range was changed to prevent conflicts with other devices.\r\n"
         "Note that the USB 'address' is technically the product ID.\r\n"
         "The product ID functions as an address.";
}

std::string JumperSettingsMessage() {
  return "The jumpers 'JUMP4' and 'JUMP5' set the USB Address. \r\n"
         "Using these jumpers you can set four unique addresses.\r\n"
         "Set the jumpers on the interface board to match the address chosen here.";
}

}  // namespace evm
