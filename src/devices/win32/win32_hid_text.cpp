// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/win32/win32_hid_text.h"

namespace evm::win32 {

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int wideLength = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, out.data(), size, nullptr, nullptr);
  }
  return out;
}

std::optional<std::wstring> WideFromUtf8(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, out.data(), size);
  return out;
}

std::string SystemMessage(DWORD code) {
  wchar_t buffer[512];
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 512, nullptr);
  std::wstring_view text(buffer, length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.remove_suffix(1);
  }
  return Utf8FromWide(text);
}

HidCaps CapsFromHidp(const HIDP_CAPS& caps) {
  HidCaps out;
  out.usage = caps.Usage;
  out.usagePage = caps.UsagePage;
  out.inputReportByteLength = caps.InputReportByteLength;
  out.outputReportByteLength = caps.OutputReportByteLength;
  out.featureReportByteLength = caps.FeatureReportByteLength;
  out.numberLinkCollectionNodes = caps.NumberLinkCollectionNodes;
  out.numberInputButtonCaps = caps.NumberInputButtonCaps;
  out.numberInputValueCaps = caps.NumberInputValueCaps;
  out.numberInputDataIndices = caps.NumberInputDataIndices;
  out.numberOutputButtonCaps = caps.NumberOutputButtonCaps;
  out.numberOutputValueCaps = caps.NumberOutputValueCaps;
  out.numberOutputDataIndices = caps.NumberOutputDataIndices;
  out.numberFeatureButtonCaps = caps.NumberFeatureButtonCaps;
  out.numberFeatureValueCaps = caps.NumberFeatureValueCaps;
  out.numberFeatureDataIndices = caps.NumberFeatureDataIndices;
  return out;
}

WaitOutcome ReadWaitOutcome(DWORD waitResult, DWORD lastError) {
  switch (waitResult) {
    case WAIT_OBJECT_0: return {HidWaitResult::Signalled, ERROR_SUCCESS};
    case WAIT_TIMEOUT: return {HidWaitResult::TimedOut, ERROR_TIMEOUT};
    default: return {HidWaitResult::Failed, lastError ? lastError : ERROR_GEN_FAILURE};
  }
}

}  // namespace evm::win32
