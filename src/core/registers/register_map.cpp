// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_map.h"

#include <cmath>
#include <string_view>

#include "common/eng_number.h"
#include "registers/config_fields.h"

namespace evm {

namespace {

constexpr const char* kCrLf = "\r\n";

constexpr std::array<const char*, kBitsPerReg> kConfigBitNames = {
    "RST",    "D14",    "BRNG",   "PG1",    "PG0",    "B_ADC4", "B_ADC3", "B_ADC2",
    "B_ADC1", "S_ADC4", "S_ADC3", "S_ADC2", "S_ADC1", "MODE3",  "MODE2",  "MODE1"};

constexpr std::array<const char*, 7> kConfigLegend = {
    "RST - Device Reset.  Resets all registers to devault values (Normal=0, Reset=1)",
    "RFB:  Reserved Factory Bit.  Set to RFB = '0'",
    "BRNG: Bus Voltage Range(0=16V, 1=32V)",
    "PG1, PG0: Programable Gain (00=1, 01=div2, 10=div4, 11=div8)",
    "B_ADC4,B_ADC3,B_ADC2,B_ADC2: Bus ADC Resolution/Averaging",
    "S_ADC4,S_ADC3,S_ADC2,S_ADC1: Shunt ADC Resolution/Averaging",
    "MODE3,MODE2,MODE1: Controls various modes of operation (e.g. trigered versus Continuous "
    "readings).  See data sheet for details.",
};

// Letters before the bit number of the registers whose bits are numbered.
constexpr std::array<const char*, kDeviceRegs> kBitLetters = {"",   "D",  "D", "PD",
                                                              "CD", "FS", "D", "D"};

BitNameList NumberedBits(const char* letters) {
  BitNameList names;
  for (int i = 0; i < kBitsPerReg; ++i)
    names[static_cast<size_t>(i)] = letters + std::to_string(15 - i);
  return names;
}

// A legend that lists the register's own bit names, one per line.
std::string BitListLegend(const BitNameList& names) {
  std::string legend;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) legend += kCrLf;
    legend += names[i] + ": ";
  }
  return legend;
}

}  // namespace

int PgaDividerOf(int pg) {
  return 1 << (pg & 3);
}

double MaxShuntVoltageOf(int pg) {
  constexpr double kVolts[] = {0.04, 0.08, 0.16, 0.32};
  return kVolts[pg & 3];
}

void BuildRegTables(RegisterStore& store) {
  for (int n = 0; n < kDeviceRegs; ++n) {
    BitNameList names;
    if (n == 0) {
      for (size_t i = 0; i < names.size(); ++i) names[i] = kConfigBitNames[i];
    } else {
      names = NumberedBits(kBitLetters[static_cast<size_t>(n)]);
    }
    if (n == 4) names[0] = "CSign";
    store.RegBitNames[static_cast<size_t>(n)] = names;
    store.RegLegend[static_cast<size_t>(n)] = BitListLegend(names);
  }
  std::string config;
  for (size_t i = 0; i < kConfigLegend.size(); ++i) {
    if (i > 0) config += kCrLf;
    config += kConfigLegend[i];
  }
  store.RegLegend[0] = config;

  store.RegReadOnly.fill(false);
  for (size_t n = 0; n < kRegReadOnly.size(); ++n) store.RegReadOnly[n] = kRegReadOnly[n];
}

void SetRegNames(RegisterStore& store) {
  store.RegName.fill("");
  for (size_t n = 0; n < kRegNames.size(); ++n) store.RegName[n + 1] = kRegNames[n];
}

int SignedRegValue(int32_t value) {
  return (value & 0x8000) ? (value & 0x7FFF) - 32768 : value;
}

double ScaledValue(int n, int32_t v, double currentLsb, double powerLsb) {
  switch (n) {
    case 1: return SignedRegValue(v) * kShuntVoltsLsb;
    case 2: return std::floor(v / 8.0) * kBusVoltsLsb;
    case 3: return v * powerLsb;
    case 4: return currentLsb * SignedRegValue(v);
    default: return 0;
  }
}

void ScaleReg(RegisterStore& store, int n) {
  if (n < 1 || n > 4) return;
  const auto s = static_cast<size_t>(n);
  store.RegScaled[s] = ScaledValue(n, store.RegValue[s], store.CurrentLsb, store.PowerLsb);
}

std::string BinaryDigits(int32_t value) {
  if (value == 0) return "0";
  return BinaryDigits(value / 2) + static_cast<char>('0' + value % 2);
}

std::string BinaryGroups(int32_t value) {
  std::string s = BinaryDigits(value);
  if (s.size() <= 16) {
    s.insert(0, 16 - s.size(), '0');
  } else {
    s = s.substr(s.size() - 16);
  }
  return s.substr(0, 4) + "_" + s.substr(4, 4) + "_" + s.substr(8, 4) + "_" + s.substr(12, 4);
}

std::string HexDigits(int64_t value) {
  if (value == 0) return "0";
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string s;
  auto u = static_cast<uint64_t>(value);
  while (u != 0) {
    s.insert(s.begin(), kDigits[u & 0xF]);
    u >>= 4;
  }
  return s;
}

std::string FormatRegText(int32_t value, RegTextForm form, bool wrapNegative) {
  int64_t v = value;
  if (v < 0 && wrapNegative) v += 65536;
  if (v < 0 || v > 65535) return "";
  switch (form) {
    case kFormBinary: return BinaryGroups(static_cast<int32_t>(v));
    case kFormHex: {
      std::string hex = HexDigits(v);
      if (hex.size() < 4) hex.insert(0, 4 - hex.size(), '0');
      return hex;
    }
    case kFormDecimal:
      // The unwrapped value, so a wrapped negative still shows its sign; the
      // pattern has no decimals, so the locale does not matter.
      return FormatWithPattern(value, "#####0", NumberLocale::Point());
  }
  return "";
}

void UpdateRangeBits(RegisterStore& store, int n) {
  if (n != 0) return;
  const int32_t config = store.RegValue[0];

  const int pg = FieldOf(config, kConfigPga);
  store.PgaDivider = PgaDividerOf(pg);
  store.MaxShuntVoltage = MaxShuntVoltageOf(pg);
  // The attenuator narrows the range: the top bits all repeat the sign.
  const int valueBits = 15 - pg;
  std::string legend;
  for (int k = 0; k < kBitsPerReg; ++k) {
    std::string name;
    std::string line;
    if (k < valueBits) {
      name = "SD" + std::to_string(k);
      line = name + ": Shunt Voltage bit";
    } else {
      name = "Sign bit";
      line = name;
    }
    store.RegBitNames[1][static_cast<size_t>(15 - k)] = name;
    legend.insert(0, line + kCrLf);
  }
  store.RegLegend[1] = legend;

  const int br = FieldOf(config, kConfigBusRange);
  store.BusFullScale = br == 0 ? 16 : 32;
  legend.clear();
  for (int k = 0; k < kBitsPerReg; ++k) {
    std::string name;
    std::string line;
    if (k < 2 || (k == 15 && store.BusFullScale == 16)) {
      name = "RFB";
      line = "RFB:  Reserved Factory Bit";
    } else {
      name = "BD" + std::to_string(k - 2);
      line = name + ": Bus Voltage bit";
    }
    store.RegBitNames[2][static_cast<size_t>(15 - k)] = name;
    legend.insert(0, line + kCrLf);
  }
  store.RegLegend[2] = legend;
}

}  // namespace evm
