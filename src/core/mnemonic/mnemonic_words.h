// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace evm {

// The wire vocabulary of the interface board's command report.

struct InterfaceTypeWord {
  std::string_view word;
  uint8_t code;
};
inline constexpr InterfaceTypeWord kInterfaceTypes[] = {
    {"SPI", 1},
    {"I2C", 2},
    {"ONE", 3},
    {"CMD", 4},
};

struct CodedWord {
  std::string_view word;
  uint8_t code;
};
inline constexpr CodedWord kChannels[] = {{"CH1", 1}, {"CH2", 2}};
inline constexpr CodedWord kSpiEdges[] = {
    {"BREH", 0x01},
    {"BREL", 0x11},
    {"AFEH", 0x02},
    {"AFEL", 0x12},
};
inline constexpr CodedWord kTokens[] = {
    {"L", 0x01}, {"H", 0x02}, {"S", 0x03}, {"P", 0x04}, {"ACKM", 0x05}, {"ACKS", 0x06}, {"R", 0xFF},
};

// How a "CMD" operation takes the word after it.
enum class CmdArgument {
  None,
  HexValue,     // optional hexadecimal byte
  SwitchOnIs1,  // "ON" gives 1, anything else 0
  SwitchOnIs0,  // "ON" gives 0, anything else 1 (the board's active-low switches)
};

struct CmdOperation {
  std::string_view word;
  uint8_t code;
  CmdArgument argument;
};
inline constexpr CmdOperation kCmdOperations[] = {
    {"ON", 0x01, CmdArgument::None},
    {"OFF", 0x02, CmdArgument::None},
    {"MEAS", 0x03, CmdArgument::None},
    {"CTRL", 0x04, CmdArgument::HexValue},
    {"MUX", 0x05, CmdArgument::HexValue},
    {"EN_CNV", 0x06, CmdArgument::SwitchOnIs1},
    {"EN_ONE", 0x07, CmdArgument::SwitchOnIs0},
    {"EN_I2C", 0x08, CmdArgument::SwitchOnIs0},
    {"ILOOP", 0x09, CmdArgument::SwitchOnIs0},
    {"RS232", 0x0A, CmdArgument::SwitchOnIs0},
    {"TEST", 0x0B, CmdArgument::None},
};

inline constexpr uint8_t kInterfaceSpi = 1;
inline constexpr uint8_t kInterfaceI2C = 2;
inline constexpr uint8_t kInterfaceOne = 3;
inline constexpr uint8_t kInterfaceCmd = 4;

inline constexpr uint8_t kCmdOn = 0x01;
inline constexpr uint8_t kCmdOff = 0x02;
inline constexpr uint8_t kCmdMeas = 0x03;
inline constexpr uint8_t kCmdCtrl = 0x04;
inline constexpr uint8_t kCmdMux = 0x05;
inline constexpr uint8_t kCmdEnCnv = 0x06;
inline constexpr uint8_t kCmdEnOne = 0x07;
inline constexpr uint8_t kCmdEnI2C = 0x08;
inline constexpr uint8_t kCmdIloop = 0x09;
inline constexpr uint8_t kCmdRs232 = 0x0A;
inline constexpr uint8_t kCmdTest = 0x0B;

inline constexpr uint8_t kTokenL = 0x01;
inline constexpr uint8_t kTokenH = 0x02;
inline constexpr uint8_t kTokenStart = 0x03;
inline constexpr uint8_t kTokenStop = 0x04;
inline constexpr uint8_t kTokenAckMaster = 0x05;
inline constexpr uint8_t kTokenAckSlave = 0x06;
inline constexpr uint8_t kTokenRead = 0xFF;

// Layout of the 32-byte command report.
inline constexpr int kCommandReportBytes = 32;
inline constexpr int kReportTokenCountByte = 3;
inline constexpr int kReportBitmapByte = 4;
inline constexpr int kReportFirstTokenByte = 7;
inline constexpr int kReportSequenceByte = 31;
inline constexpr int kMaxReportTokens = kReportSequenceByte - kReportFirstTokenByte;  // 24

}  // namespace evm
