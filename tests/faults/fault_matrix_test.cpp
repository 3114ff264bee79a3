// Every fault of the simulator against every operation that uses the faulty
// board: what the user gets, and how long the operation blocks on the clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "devices/sim/sim_faults.h"
#include "registers/register_fixture.h"
#include "script/evm_script_board.h"
#include "script/script_interpreter.h"

namespace evm {
namespace {

using sim::SimBoardKind;
using sim::SimFault;

enum class Op { ReadPass, Write, Send, ConverterRead, DacAutoCal, ScriptStep };

struct OpInfo {
  Op op;
  const char* name;
  SimBoardKind board;
  int64_t settleMs;      // the operation's own waits, which a fault does not add to
  int64_t timeoutMs;     // one time-out of its board
  int reportsBeforeCut;  // reports the board answers before an unplug
};

constexpr OpInfo kOps[] = {
    {Op::ReadPass, "read pass", SimBoardKind::RegLink, 600, 1000, 1},
    {Op::Write, "write", SimBoardKind::RegLink, 100, 1000, 0},
    {Op::Send, "send", SimBoardKind::Interface, 0, 6000, 0},
    {Op::ConverterRead, "converter read", SimBoardKind::Interface, 0, 6000, 0},
    {Op::DacAutoCal, "DAC auto-cal", SimBoardKind::Interface, 900, 6000, 1},
    {Op::ScriptStep, "script step", SimBoardKind::Interface, 0, 6000, 0},
};

const OpInfo& Info(Op op) {
  for (const OpInfo& info : kOps) {
    if (info.op == op) return info;
  }
  return kOps[0];
}

struct Context : test::RegContext {
  Context() {
    evm.shell.UsbAddress = 0x2F90;
    ui.usbProblemAnswers.assign(20, UsbProblemChoice::TryAgain);
    grid.Cell(1, 2) = "I2C CH2 S 91 ACKS R ACKM R ACKM P";
    grid.Cell(2, 2) = "result16";
    grid.Cell(2, 3) = "0";
    grid.Cell(2, 4) = "7FFF";
    grid.ScriptLastRow = 2;
    evm.calBoard.RefMode = kRefUser;
  }

  bool Run(Op op) {
    switch (op) {
      case Op::ReadPass:
        Device().SetRegisterForTest(5, static_cast<uint16_t>(0x1000 + ++runs));
        ReadAllRegs(evm);
        return !Panel().txtDutNotAckVisible && Store().RegValue[5] == Device().Register(5);
      case Op::Write: {
        const int value = 0x2000 + ++runs;
        Store().RegValue[5] = value;
        Store().RegEdited[5] = true;
        WriteAllEdited(evm);
        return !Store().RegEdited[5] && Device().Register(5) == value;
      }
      case Op::Send: {
        evm.dutWriter.SendMnemonic("I2C CH2 S 98 ACKS 12 ACKS 80 ACKS 00 ACKS P");
        bool acknowledged = evm.dutWriter.AckCount == 4;
        for (int i = 0; i < evm.dutWriter.AckCount; ++i)
          acknowledged &= evm.results.I2C_AckStatus[static_cast<size_t>(i)] == 0;
        return !evm.dutWriter.LastExchangeFailed() && acknowledged;
      }
      case Op::ConverterRead:
        return std::fabs(evm.calBoard.ReadCnv1(kRefUser) - kHealthyCnv1) < 1e-3;
      case Op::DacAutoCal: {
        const size_t messages = ui.messages.size();
        const int dialogs = ui.usbProblemDialogs;
        evm.calBoard.SetDac(DacChannel::B, 2.5, kRefUser, 1);
        return ui.messages.size() == messages && ui.usbProblemDialogs == dialogs &&
               std::fabs(evm.calBoard.ReadCnv1(kRefUser) - 2.5) < 1e-3;
      }
      case Op::ScriptStep:
        ExeScript(script, 1);
        ExeScript(script, 2);
        return grid.Cell(2, 6) == "PASS";
    }
    return false;
  }

  sim::SimDevice& Board(SimBoardKind kind) {
    if (kind == SimBoardKind::RegLink) return *sim->RegLink();
    return *sim->Interface();
  }

  void ClearFaults() {
    for (SimBoardKind kind : {SimBoardKind::RegLink, SimBoardKind::Interface}) {
      sim::SimDevice& b = Board(kind);
      b.noReply = b.writeFails = b.readFails = false;
      if (!b.plugged) sim->Replug(b);
    }
    sim::RegLinkBoard& link = *sim->RegLink();
    link.wrongReplyCode = link.echoRequest = link.garbageAnswer = false;
    link.forcedStatus = 0;
    sim::InterfaceBoard& iface = *sim->Interface();
    iface.echoUnchanged = iface.garbageAnswer = iface.slaveNack = iface.answerLags = false;
  }

  // The converter input on the default test board, in volts.
  static constexpr double kHealthyCnv1 = 0.0116;
  ScriptGrid grid;
  EvmScriptBoard scriptBoard{evm};
  ScriptContext script{grid, scriptBoard, ui, NumberLocale::Point()};
  int runs = 0;
};

struct Row {
  SimBoardKind board;
  SimFault fault;
  Op op;
  bool ok;      // the operation did what it is for
  int dialogs;  // USB-problem dialogs shown
  int64_t ms;   // virtual time the operation blocked
};

constexpr SimBoardKind R = SimBoardKind::RegLink;
constexpr SimBoardKind I = SimBoardKind::Interface;

// clang-format off
const Row kMatrix[] = {
    {R, SimFault::NoBoard, Op::ReadPass, false, 0, 0},
    {R, SimFault::NoBoard, Op::Write, false, 0, 0},
    {R, SimFault::NoReply, Op::ReadPass, false, 0, 1100},
    {R, SimFault::NoReply, Op::Write, false, 0, 1100},
    {R, SimFault::WrongReplyCode, Op::ReadPass, false, 0, 100},
    {R, SimFault::WrongReplyCode, Op::Write, false, 0, 100},
    {R, SimFault::NonZeroStatus, Op::ReadPass, false, 0, 100},
    {R, SimFault::NonZeroStatus, Op::Write, false, 0, 100},
    {R, SimFault::WriteFailure, Op::ReadPass, false, 0, 100},
    {R, SimFault::WriteFailure, Op::Write, false, 0, 100},
    {R, SimFault::ReadFailure, Op::ReadPass, false, 0, 100},
    {R, SimFault::ReadFailure, Op::Write, false, 0, 100},
    {R, SimFault::WrongEcho, Op::ReadPass, false, 0, 100},
    {R, SimFault::WrongEcho, Op::Write, false, 0, 100},
    {R, SimFault::Garbage, Op::ReadPass, false, 0, 100},
    {R, SimFault::Garbage, Op::Write, false, 0, 100},
    {R, SimFault::Unplug, Op::ReadPass, false, 0, 200},
    {R, SimFault::Unplug, Op::Write, false, 0, 100},
    {I, SimFault::NoBoard, Op::Send, false, 1, 0},
    {I, SimFault::NoBoard, Op::ConverterRead, false, 1, 0},
    {I, SimFault::NoBoard, Op::DacAutoCal, false, 1, 0},
    {I, SimFault::NoBoard, Op::ScriptStep, false, 1, 0},
    {I, SimFault::NoReply, Op::Send, false, 1, 6000},
    {I, SimFault::NoReply, Op::ConverterRead, false, 1, 6000},
    {I, SimFault::NoReply, Op::DacAutoCal, false, 1, 6000},
    {I, SimFault::NoReply, Op::ScriptStep, false, 1, 6000},
    {I, SimFault::WrongReplyCode, Op::Send, true, 0, 0},
    {I, SimFault::WrongReplyCode, Op::ConverterRead, true, 0, 0},
    {I, SimFault::WrongReplyCode, Op::DacAutoCal, true, 0, 600},
    {I, SimFault::WrongReplyCode, Op::ScriptStep, true, 0, 0},
    {I, SimFault::NonZeroStatus, Op::Send, false, 0, 0},
    {I, SimFault::NonZeroStatus, Op::ConverterRead, false, 0, 0},
    {I, SimFault::NonZeroStatus, Op::DacAutoCal, false, 0, 900},
    {I, SimFault::NonZeroStatus, Op::ScriptStep, false, 0, 0},
    {I, SimFault::WriteFailure, Op::Send, false, 1, 0},
    {I, SimFault::WriteFailure, Op::ConverterRead, false, 1, 0},
    {I, SimFault::WriteFailure, Op::DacAutoCal, false, 1, 0},
    {I, SimFault::WriteFailure, Op::ScriptStep, false, 1, 0},
    {I, SimFault::ReadFailure, Op::Send, false, 1, 0},
    {I, SimFault::ReadFailure, Op::ConverterRead, false, 1, 0},
    {I, SimFault::ReadFailure, Op::DacAutoCal, false, 1, 0},
    {I, SimFault::ReadFailure, Op::ScriptStep, false, 1, 0},
    {I, SimFault::WrongEcho, Op::Send, false, 1, 0},
    {I, SimFault::WrongEcho, Op::ConverterRead, false, 1, 0},
    {I, SimFault::WrongEcho, Op::DacAutoCal, false, 1, 0},
    {I, SimFault::WrongEcho, Op::ScriptStep, false, 1, 0},
    {I, SimFault::Garbage, Op::Send, false, 1, 0},
    {I, SimFault::Garbage, Op::ConverterRead, false, 1, 0},
    {I, SimFault::Garbage, Op::DacAutoCal, false, 1, 0},
    {I, SimFault::Garbage, Op::ScriptStep, false, 1, 0},
    {I, SimFault::Unplug, Op::Send, false, 1, 0},
    {I, SimFault::Unplug, Op::ConverterRead, false, 1, 0},
    {I, SimFault::Unplug, Op::DacAutoCal, false, 1, 0},
    {I, SimFault::Unplug, Op::ScriptStep, false, 1, 0},
};
// clang-format on

std::string Name(const Row& row) {
  return std::string(sim::SimBoardName(row.board)) + ":" +
         std::string(sim::SimFaultName(row.fault)) + " / " + Info(row.op).name;
}

TEST(FaultMatrix, EveryFaultEndsTheOperationWithinOneTimeOutAndOneDialog) {
  std::string table =
      "| board | fault | operation | outcome | dialogs | virtual ms | bound ms | recovers |\n"
      "|---|---|---|---|---|---|---|---|\n";
  for (const Row& row : kMatrix) {
    const OpInfo& op = Info(row.op);
    Context c;
    if (row.fault != SimFault::NoBoard) {
      ASSERT_TRUE(c.Run(row.op)) << Name(row) << ": healthy run";
    }
    sim::SimDevice& board = c.Board(row.board);
    if (row.fault == SimFault::Unplug) {
      c.sim->ScheduleUnplug(board, op.reportsBeforeCut, sim::kSimReplugAfterMs);
    } else {
      ASSERT_TRUE(sim::InjectFault(*c.sim, {row.board, row.fault}));
    }
    const int64_t start = c.clock.ElapsedMs();
    const int dialogs = c.ui.usbProblemDialogs;
    const bool ok = c.Run(row.op);
    const int64_t ms = c.clock.ElapsedMs() - start;
    const int shown = c.ui.usbProblemDialogs - dialogs;

    // The other board goes on working.
    const Op other = row.board == R ? Op::Send : Op::ReadPass;
    EXPECT_TRUE(c.Run(other)) << Name(row) << ": " << Info(other).name << " on the other board";

    c.clock.AdvanceMs(sim::kSimReplugAfterMs);
    c.ClearFaults();
    const bool recovers = c.Run(row.op);

    EXPECT_EQ(ok, row.ok) << Name(row);
    EXPECT_EQ(shown, row.dialogs) << Name(row);
    EXPECT_EQ(ms, row.ms) << Name(row);
    EXPECT_LE(shown, 1) << Name(row);
    EXPECT_LE(ms, op.timeoutMs + op.settleMs) << Name(row);
    EXPECT_TRUE(recovers) << Name(row) << ": the next run after the fault is gone";

    char line[200];
    std::snprintf(line, sizeof line, "| %s | %s | %s | %s | %d | %lld | %lld | %s |\n",
                  std::string(sim::SimBoardName(row.board)).c_str(),
                  std::string(sim::SimFaultName(row.fault)).c_str(), op.name, ok ? "ok" : "failed",
                  shown, static_cast<long long>(ms),
                  static_cast<long long>(op.timeoutMs + op.settleMs), recovers ? "yes" : "no");
    table += line;
  }
  std::printf("%s", table.c_str());
}

}  // namespace
}  // namespace evm
