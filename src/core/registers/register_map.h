// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "registers/register_store.h"

namespace evm {

// Names of registers 00h-07h as the grid shows them; blanks belong to them.
// Volts per bit of the shunt (01h) and bus (02h) voltage registers.
inline constexpr double kShuntVoltsLsb = 1e-5;
inline constexpr double kBusVoltsLsb = 0.004;

inline constexpr std::array<const char*, kDeviceRegs> kRegNames = {
    " Config",        " Shunt Voltage",  " Bus Voltage",        " Power",
    " Current / PGA", " Full Scale Cal", " Trim control/test ", " Trim data read "};

inline constexpr std::array<bool, kDeviceRegs> kRegReadOnly = {false, true,  true,  true,
                                                               true,  false, false, true};

enum RegTextForm : int { kFormBinary = 0, kFormHex = 1, kFormDecimal = 2 };

// Bit names, legends and write protection of registers 00h-07h.
void BuildRegTables(RegisterStore& store);

// Register names of the grid, entry n + 1 for register n.
void SetRegNames(RegisterStore& store);

// Volts, watts and amperes of registers 01h-04h into RegScaled; other
// indexes change nothing.
void ScaleReg(RegisterStore& store, int n);
// Volts (01h, 02h), watts (03h) or amperes (04h) of a register value; 0 for
// any other register.
double ScaledValue(int n, int32_t value, double currentLsb, double powerLsb);

// Register 16-bit value read as two's complement.
int SignedRegValue(int32_t value);

// Binary ("0011_1001_1001_1111"), hexadecimal ("399F") or decimal text of a
// register value; empty when the value is outside 0-65535 (after the
// optional wrap of negatives).
std::string FormatRegText(int32_t value, RegTextForm form, bool wrapNegative);

std::string BinaryDigits(int32_t value);
std::string BinaryGroups(int32_t value);

// Upper-case hexadecimal digits without prefix or padding.
std::string HexDigits(int64_t value);

// After a write of register 00h the bit names and legends of 01h and 02h
// follow the attenuator and bus range just written; other indexes do nothing.
void UpdateRangeBits(RegisterStore& store, int n);

// Attenuator field of register 00h (0-3) to its divider and full-scale volts.
int PgaDividerOf(int pg);
double MaxShuntVoltageOf(int pg);

}  // namespace evm
