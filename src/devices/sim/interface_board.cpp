// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/interface_board.h"

#include <algorithm>

#include "hid/board_ids.h"
#include "mnemonic/mnemonic_words.h"

namespace evm::sim {

namespace {
constexpr size_t kReplyEchoByte = 32;  // input report byte of answer element 31
}

uint16_t InterfaceBoard::ProductId() const {
  return static_cast<uint16_t>((legacy ? 0x1234 : 0x2F90) + 2 * jump4 + jump5);
}

HidCaps InterfaceBoard::Caps() const {
  return VendorReportCaps(0xFFA0, kInterfaceBoardReportLength);
}

SimI2CSlave* InterfaceBoard::FindSlave(int channel, uint8_t address7) {
  for (auto& [ch, slave] : slaves_) {
    if (ch == channel && slave->Address7() == address7) return slave.get();
  }
  return nullptr;
}

std::optional<std::vector<uint8_t>> InterfaceBoard::HandleOutputReport(
    const std::vector<uint8_t>& report) {
  // command[i] is byte i of the command report.
  std::vector<uint8_t> command(report.begin() + (report.empty() ? 0 : 1), report.end());
  RememberReport(reports_, command);
  command.resize(kCommandReportBytes, 0);

  std::vector<uint8_t> reply(kInterfaceBoardReportLength, 0);
  if (command[0] == kInterfaceCmd) {
    RunCommand(command, reply);
  } else {
    RunBus(command, reply);
  }
  const uint8_t sequence = command[kReportSequenceByte];
  reply[kReplyEchoByte] = echoUnchanged ? sequence : static_cast<uint8_t>(sequence + 1);
  if (garbageAnswer) {
    for (size_t i = 1; i < reply.size(); ++i) {
      noise_ = noise_ * 1664525u + 1013904223u;
      reply[i] = static_cast<uint8_t>(noise_ >> 24);
    }
    if (reply[kReplyEchoByte] == static_cast<uint8_t>(sequence + 1)) reply[kReplyEchoByte] ^= 0x5A;
  }
  if (answerLags) std::swap(reply, lastAnswer_);
  return reply;
}

void InterfaceBoard::Inject(SimFault fault) {
  switch (fault) {
    case SimFault::WrongReplyCode: answerLags = true; break;
    case SimFault::NonZeroStatus: slaveNack = true; break;
    case SimFault::WrongEcho: echoUnchanged = true; break;
    case SimFault::Garbage: garbageAnswer = true; break;
    default: SimDevice::Inject(fault); break;
  }
}

void InterfaceBoard::RunCommand(const std::vector<uint8_t>& command, std::vector<uint8_t>& reply) {
  // Operations from byte 1 on, each maybe followed by its argument byte;
  // the first zero byte ends the list.
  for (size_t i = 1; i < kReportSequenceByte && command[i] != 0; ++i) {
    const uint8_t op = command[i];
    const auto argument = [&]() -> uint8_t {
      ++i;
      return i < kReportSequenceByte ? command[i] : 0;
    };
    switch (op) {
      case kCmdOn: supply_.Switch(true); break;
      case kCmdOff: supply_.Switch(false); break;
      case kCmdMeas: reply[i + 1] = measureInputs.value_or(controlBits); break;
      case kCmdCtrl: controlBits = argument(); break;
      case kCmdMux: muxByte = argument(); break;
      case kCmdEnCnv: enCnv = argument() == 1; break;
      case kCmdEnOne: enOne = argument(); break;
      case kCmdEnI2C: enI2C = argument(); break;
      case kCmdIloop: iloop = argument(); break;
      case kCmdRs232: rs232 = argument(); break;
      default: break;  // TEST and unknown codes do nothing visible
    }
  }
}

void InterfaceBoard::RunBus(const std::vector<uint8_t>& command, std::vector<uint8_t>& reply) {
  const uint8_t type = command[0];
  const int channel = command[1];
  const int count = std::min<int>(command[kReportTokenCountByte], kMaxReportTokens);
  SimI2CSlave* current = nullptr;
  bool reading = false;
  bool expectAddress = false;
  uint8_t lastAck = 1;
  for (int k = 0; k < count; ++k) {
    const uint8_t value = command[static_cast<size_t>(kReportFirstTokenByte + k)];
    const bool isCommand =
        (command[static_cast<size_t>(kReportBitmapByte + k / 8)] & (0x80u >> (k % 8))) != 0;
    uint8_t& answer = reply[static_cast<size_t>(k + 1)];
    if (type != kInterfaceI2C) {
      if (isCommand && value == kTokenRead) answer = 0xFF;  // nothing on these buses
      continue;
    }
    if (!isCommand) {
      if (expectAddress) {
        expectAddress = false;
        reading = (value & 1) != 0;
        current = slaveNack ? nullptr : FindSlave(channel, static_cast<uint8_t>(value >> 1));
        if (current && !current->Start(reading)) current = nullptr;
        lastAck = current ? 0 : 1;
      } else {
        lastAck = current && !reading && current->WriteByte(value) ? 0 : 1;
      }
      continue;
    }
    switch (value) {
      case kTokenStart:
        if (current) current->Stop();  // a repeated start ends the transfer before
        current = nullptr;
        expectAddress = true;
        break;
      case kTokenStop:
        if (current) current->Stop();
        current = nullptr;
        break;
      case kTokenAckSlave: answer = lastAck; break;
      case kTokenRead: answer = current && reading ? current->ReadByte() : 0xFF; break;
      default: break;  // the master's acknowledge changes nothing here
    }
  }
  if (current) current->Stop();
}

}  // namespace evm::sim
