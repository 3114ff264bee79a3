// SPDX-License-Identifier: GPL-3.0-or-later
// The interface board's HID connection and its narration into the USB
// debug log. The steps are those of the register link's discovery; the log
// names the platform call each step stands for.
#include <cstdio>

#include "hid/board_discovery.h"
#include "hid/board_ids.h"
#include "mnemonic/usb_dut_writer.h"

namespace evm {

namespace {

// The system writes its texts into a buffer of 129 characters and ends them
// with CR LF, which the log does not want; what does not fit is cut.
constexpr size_t kErrorTextBuffer = 128;

std::string Hex2(unsigned value) {
  char buffer[4];
  std::snprintf(buffer, sizeof buffer, "%02X", value & 0xFFu);
  return buffer;
}

std::string GuidText(const HidGuid& guid) {
  std::string text =
      HexText(guid.data1) + "-" + HexText(guid.data2) + "-" + HexText(guid.data3) + "-";
  for (uint8_t b : guid.data4) text += Hex2(b) + " ";
  return text;
}

}  // namespace

std::string UsbDutWriter::SystemErrorText(uint32_t code) {
  std::string text = hid_.ErrorText(code);
  if (text.empty()) return text;
  text += "\r\n";
  if (text.size() > kErrorTextBuffer) text.resize(kErrorTextBuffer);
  if (text.size() > 2) text.resize(text.size() - 2);
  return text;
}

std::string UsbDutWriter::SearchDetail() {
  if (!usbAddress_) {
    return "The interface board's USB address is not set: choose it in Set Address.";
  }
  const uint16_t productId = *usbAddress_;
  std::string text = "Searched for the interface board, USB id " + HexText(boardVendorId_) + ":" +
                     HexText(productId) + ".";
  const std::string silent = " A board with this id is present but gave no valid answer.";
  if (MnemonicBoardFound) return text + silent;
  // A device whose ids cannot be read without opening it may be the board.
  int unopened = 0;
  bool present = false;
  for (const BoardListing& board : DiscoverBoards(hid_, boardVendorId_)) {
    const bool matches =
        board.idsKnown && board.vendorId == boardVendorId_ && board.productId == productId;
    if (matches && board.openable) present = true;
    if ((matches || !board.idsKnown) && !board.openable) ++unopened;
  }
  if (present) text += silent;
  return text + UnopenedDevicesText(unopened);
}

void UsbDutWriter::LogApiResult(const std::string& name) {
  if (Verbose()) log_.Entry("");
  const std::string result = SystemErrorText(hid_.LastError());
  if (Verbose()) {
    log_.Entry(name);
    log_.Entry("  Result = " + result);
  }
}

bool UsbDutWriter::FindMnemonicBoard() {
  MnemonicBoardFound = false;
  std::string target;
  if (!SelectedBoard.empty()) {
    const auto boards = DiscoverBoards(hid_, boardVendorId_);
    const BoardChoice choice = ChooseBoard(
        boards,
        [this](const BoardListing& b) {
          return b.vendorId == boardVendorId_ && usbAddress_ && b.productId == *usbAddress_;
        },
        SelectedBoard);
    Trace("  " + choice.why);
    if (!choice.selectedFound && SelectionRequired) return false;
    if (choice.board) target = choice.board->path;
  }
  const HidGuid guid = hid_.HidClassGuid();
  LogApiResult("GetHidGuid");
  Trace("  GUID for system HIDs: " + GuidText(guid));

  const bool listed = hid_.BeginEnumeration();
  LogApiResult("SetupDiClassDevs");
  bool lastMember = !listed;
  for (int index = 0; !lastMember && !MnemonicBoardFound; ++index) {
    const auto info = hid_.EnumerateMember(index);
    LogApiResult("SetupDiEnumDeviceInterfaces");
    if (!info) {
      lastMember = true;
      break;
    }
    Trace("  DeviceInfoSet for device #" + std::to_string(index) + ": ");
    Trace("  cbSize = " + LogNumber(info->cbSize));
    Trace("  InterfaceClassGuid.Data1 = " + HexText(info->interfaceClassGuid.data1));
    Trace("  InterfaceClassGuid.Data2 = " + HexText(info->interfaceClassGuid.data2));
    Trace("  InterfaceClassGuid.Data3 = " + HexText(info->interfaceClassGuid.data3));
    Trace("  Flags = " + LogNumber(info->flags));

    const uint32_t required = hid_.InterfaceDetailSize(index);
    LogApiResult("SetupDiGetDeviceInterfaceDetail");
    Trace("  (OK to say too small)");
    Trace("  Required buffer size for the data: " + LogNumber(required));

    const auto path = hid_.InterfacePath(index);
    LogApiResult(" Result of second call: ");
    Trace("  MyDeviceInterfaceDetailData.cbSize: " + LogNumber(5));
    Trace("  Device pathname: ");
    Trace("    " + path.value_or(""));

    const HidHandle handle = path ? hid_.Open(*path, false) : kInvalidHidHandle;
    LogApiResult("CreateFile");
    const auto attributes = handle != kInvalidHidHandle ? hid_.GetAttributes(handle) : std::nullopt;
    LogApiResult("HidD_GetAttributes");
    Trace(attributes ? "  HIDD_ATTRIBUTES structure filled without error."
                     : "  Error in filling HIDD_ATTRIBUTES structure.");
    const HidAttributes shown = attributes.value_or(HidAttributes{});
    Trace("  Structure size: " + LogNumber(shown.size));
    Trace("  Vendor ID: " + HexText(shown.vendorId) + "h");
    Trace("  Product ID: " + HexText(shown.productId) + "h");
    Trace("  Version Number: " + HexText(shown.versionNumber) + "h");

    // An address that was never set matches no board.
    if (attributes && attributes->vendorId == boardVendorId_ && usbAddress_ &&
        attributes->productId == *usbAddress_ && (target.empty() || *path == target)) {
      Trace("  My device detected");
      MnemonicHidHandle = handle;
      DevicePath = *path;
      MnemonicBoardFound = true;
    } else {
      // The trace names the close for every candidate passed over, also for
      // one that could not be opened, as it names the attribute read.
      if (handle != kInvalidHidHandle) hid_.Close(handle);
      LogApiResult("CloseHandle");
    }
  }
  hid_.EndEnumeration();
  LogApiResult("DestroyDeviceInfoList");

  if (!MnemonicBoardFound) {
    Trace(" Device not found.");
    return false;
  }

  GetMnemonicCaps();
  MnemonicReadHandle = hid_.Open(DevicePath, true);
  LogApiResult("CreateFile, ReadHandle");
  Trace("  Returned handle: " + HexText(static_cast<unsigned>(MnemonicReadHandle)) + "h");
  if (MnemonicReadHandle == kInvalidHidHandle) {
    // Both handles or none: a board that cannot be read is not connected.
    hid_.Close(MnemonicHidHandle);
    MnemonicHidHandle = kInvalidHidHandle;
    MnemonicBoardFound = false;
    return false;
  }
  PrepareMnemonicEvent();
  return true;
}

// hidapi and the simulation hand out the capabilities in one call; the
// preparsed-data steps the Windows driver splits it into share its result.
void UsbDutWriter::GetMnemonicCaps() {
  const auto caps = hid_.GetCaps(MnemonicHidHandle);
  LogApiResult("HidD_GetPreparsedData");
  LogApiResult("RtlMoveMemory");
  LogApiResult("HidP_GetCaps");
  const HidCaps c = caps.value_or(HidCaps{});
  // A platform that cannot tell the lengths gets the board's documented ones.
  MnemonicInLength =
      c.inputReportByteLength ? c.inputReportByteLength : kInterfaceBoardReportLength;
  MnemonicOutLength =
      c.outputReportByteLength ? c.outputReportByteLength : kInterfaceBoardReportLength;
  if (Verbose()) {
    Trace("  Last error: " + SystemErrorText(hid_.LastError()));
    Trace("  Usage: " + HexText(c.usage) + "h");
    Trace("  Usage Page: " + HexText(c.usagePage) + "h");
    Trace("  Input Report Byte Length: " + LogNumber(c.inputReportByteLength));
    Trace("  Output Report Byte Length: " + LogNumber(c.outputReportByteLength));
    Trace("  Feature Report Byte Length: " + LogNumber(c.featureReportByteLength));
    Trace("  Number of Link Collection Nodes: " + LogNumber(c.numberLinkCollectionNodes));
    Trace("  Number of Input Button Caps: " + LogNumber(c.numberInputButtonCaps));
    Trace("  Number of Input Value Caps: " + LogNumber(c.numberInputValueCaps));
    Trace("  Number of Input Data Indices: " + LogNumber(c.numberInputDataIndices));
    Trace("  Number of Output Button Caps: " + LogNumber(c.numberOutputButtonCaps));
    Trace("  Number of Output Value Caps: " + LogNumber(c.numberOutputValueCaps));
    Trace("  Number of Output Data Indices: " + LogNumber(c.numberOutputDataIndices));
    Trace("  Number of Feature Button Caps: " + LogNumber(c.numberFeatureButtonCaps));
    Trace("  Number of Feature Value Caps: " + LogNumber(c.numberFeatureValueCaps));
    Trace("  Number of Feature Data Indices: " + LogNumber(c.numberFeatureDataIndices));
  }
  LogApiResult("HidP_GetValueCaps");
  LogApiResult("HidD_FreePreparsedData");
}

void UsbDutWriter::PrepareMnemonicEvent() {
  if (eventCreated_) return;
  MnemonicEvent = hid_.CreateReadEvent();
  eventCreated_ = true;
  LogApiResult("CreateEvent");
}

void UsbDutWriter::CloseBoardHandles() {
  if (MnemonicHidHandle != kInvalidHidHandle) hid_.Close(MnemonicHidHandle);
  LogApiResult("CloseHandle (HIDHandle)");
  if (MnemonicReadHandle != kInvalidHidHandle) hid_.Close(MnemonicReadHandle);
  LogApiResult("CloseHandle (ReadHandle)");
  MnemonicHidHandle = kInvalidHidHandle;
  MnemonicReadHandle = kInvalidHidHandle;
  MnemonicBoardFound = false;
}

}  // namespace evm
