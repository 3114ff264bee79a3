// SPDX-License-Identifier: GPL-3.0-or-later
// Every fault of the simulator against every operation that uses the faulty
// board: what the user gets, and how long the operation blocks on the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "devices/sim/sim_faults.h"
#include "registers/register_fixture.h"
#include "script/evm_script_board.h"
#include "script/script_interpreter.h"
#include "zm5520evm/bench.h"

namespace evm {
namespace {

using sim::SimBoardKind;
using sim::SimFault;

enum Op { kReadPass, kWrite, kSend, kConverterRead, kDacAutoCal, kScriptStep };

struct OpInfo {
  const char* name;
  // The time-outs of its board (the interface board's command is tried
  // twice) plus the operation's own settle waits.
  int64_t boundMs;
  int reportsBeforeCut;  // reports the board answers before an unplug
};
// An unanswered try also spent the frame of its write.
constexpr OpInfo kOps[] = {{"read pass", 1000 + 600, 1},
                           {"write", 1000 + 100 + 1, 0},
                           {"send", 2 * int64_t{6000 + 1}, 0},
                           {"converter read", 2 * int64_t{6000 + 1}, 0},
                           {"DAC auto-cal", 2 * int64_t{6000 + 1} + 900, 1},
                           {"script step", 2 * int64_t{6000 + 1}, 0}};

struct Context : test::RegContext {
  Context() {
    evm.shell().UsbAddress = 0x2F90;
    ui.usbProblemAnswers.assign(20, UsbProblemChoice::TryAgain);
    grid.Cell(1, 2) = "I2C CH2 S 91 ACKS R ACKM R ACKM P";
    grid.Cell(2, 2) = "result16";
    grid.Cell(2, 3) = "0";
    grid.Cell(2, 4) = "7FFF";
  }

  // Whether the operation did what it is for.
  bool Run(Op op) {
    const int value = 0x1000 + ++runs;
    const size_t messages = ui.messages.size();
    switch (op) {
      case kReadPass:
        Device().SetRegisterForTest(5, static_cast<uint16_t>(value));
        ReadAllRegs(evm, panels);
        return !Panel().txtDutNotAckVisible && Store().RegValue[5] == value;
      case kWrite:
        Store().RegValue[5] = value;
        Store().RegEdited[5] = true;
        WriteAllEdited(evm, panels);
        return !Store().RegEdited[5] && Device().Register(5) == value;
      case kSend:
        evm.dutWriter().SendMnemonic("I2C CH2 S 98 ACKS 12 ACKS 80 ACKS 00 ACKS P");
        return !evm.dutWriter().LastExchangeFailed() && evm.dutWriter().AckCount == 4 &&
               std::count(evm.results().I2C_AckStatus.begin(),
                          evm.results().I2C_AckStatus.begin() + 4, 0) == 4;
      case kConverterRead:
        return std::fabs(evm.calBoard().ReadCnv(Converter::Cnv1, Reference::User) - 0.0116) < 1e-3;
      case kDacAutoCal:
        evm.calBoard().SetDac(DacChannel::B, 2.5, Reference::User, true);
        return ui.messages.size() == messages && !evm.dutWriter().LastExchangeFailed() &&
               std::fabs(evm.calBoard().ReadCnv(Converter::Cnv1, Reference::User) - 2.5) < 1e-3;
      case kScriptStep:
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

  ScriptGrid grid;
  EvmScriptBoard scriptBoard{evm};
  ScriptContext script{grid, scriptBoard, ui, NumberLocale::Point()};
  int runs = 0;
};

struct Outcome {
  bool ok;      // the operation did what it is for
  int dialogs;  // USB-problem dialogs shown
  int64_t ms;   // virtual time the operation blocked
};

// One line per fault of a board, one outcome per operation on that board.
struct Row {
  SimBoardKind board;
  SimFault fault;
  Outcome outcomes[4];
};

constexpr SimBoardKind R = SimBoardKind::RegLink;
constexpr SimBoardKind I = SimBoardKind::Interface;
constexpr Op kRegLinkOps[] = {kReadPass, kWrite};
constexpr Op kInterfaceOps[] = {kSend, kConverterRead, kDacAutoCal, kScriptStep};

// clang-format off
// The times count the USB frames too: a report takes 1 ms to go out and its
// answer 1 ms to come back.
const Row kMatrix[] = {
    //                          read pass          write
    {R, SimFault::NoBoard,        {{false, 0, 0},    {false, 0, 0}}},
    {R, SimFault::NoReply,        {{false, 0, 1101}, {false, 0, 1101}}},
    {R, SimFault::WrongReplyCode, {{false, 0, 102},  {false, 0, 102}}},
    {R, SimFault::NonZeroStatus,  {{false, 0, 102},  {false, 0, 102}}},
    {R, SimFault::WriteFailure,   {{false, 0, 100},  {false, 0, 100}}},
    {R, SimFault::ReadFailure,    {{false, 0, 101},  {false, 0, 101}}},
    {R, SimFault::WrongEcho,      {{false, 0, 102},  {false, 0, 102}}},
    {R, SimFault::Garbage,        {{false, 0, 102},  {false, 0, 102}}},
    {R, SimFault::Unplug,         {{false, 0, 202},  {false, 0, 100}}},
    //                          send               converter read     DAC auto-cal       script step
    {I, SimFault::NoBoard,        {{false, 1, 0},    {false, 1, 0},    {false, 1, 0},    {false, 1, 0}}},
    {I, SimFault::NoReply,        {{false, 1, 12002}, {false, 1, 12002}, {false, 1, 12002}, {false, 1, 12002}}},
    // A board that answers one report late is set right by the retry.
    {I, SimFault::WrongReplyCode, {{true, 0, 4},     {true, 0, 4},     {true, 0, 644},   {true, 0, 4}}},
    {I, SimFault::NonZeroStatus,  {{false, 0, 2},    {false, 0, 2},    {false, 0, 924},  {false, 0, 2}}},
    {I, SimFault::WriteFailure,   {{false, 1, 0},    {false, 1, 0},    {false, 1, 0},    {false, 1, 0}}},
    {I, SimFault::ReadFailure,    {{false, 1, 2},    {false, 1, 2},    {false, 1, 2},    {false, 1, 2}}},
    {I, SimFault::WrongEcho,      {{false, 1, 4},    {false, 1, 4},    {false, 1, 4},    {false, 1, 4}}},
    {I, SimFault::Garbage,        {{false, 1, 4},    {false, 1, 4},    {false, 1, 4},    {false, 1, 4}}},
    {I, SimFault::Unplug,         {{false, 1, 0},    {false, 1, 0},    {false, 1, 2},    {false, 1, 0}}},
};
// clang-format on

TEST(FaultMatrix, EveryFaultEndsTheOperationWithinItsTimeOutsAndOneDialog) {
  for (const Row& row : kMatrix) {
    const bool regLink = row.board == R;
    const size_t opCount = regLink ? std::size(kRegLinkOps) : std::size(kInterfaceOps);
    for (size_t k = 0; k < opCount; ++k) {
      const Op op = regLink ? kRegLinkOps[k] : kInterfaceOps[k];
      const Outcome& expected = row.outcomes[k];
      const std::string name = std::string(sim::SimBoardName(row.board)) + ":" +
                               std::string(sim::SimFaultName(row.fault)) + " / " + kOps[op].name;
      Context c;
      if (row.fault != SimFault::NoBoard) {
        ASSERT_TRUE(c.Run(op)) << name << ": healthy run";
      }
      if (row.fault == SimFault::Unplug) {
        c.sim->ScheduleUnplug(c.Board(row.board), kOps[op].reportsBeforeCut,
                              sim::kSimReplugAfterMs);
      } else {
        ASSERT_TRUE(sim::InjectFault(*c.sim, {row.board, row.fault}));
      }
      const int64_t start = c.clock.ElapsedMs();
      EXPECT_EQ(c.Run(op), expected.ok) << name;
      EXPECT_EQ(c.ui.usbProblemDialogs, expected.dialogs) << name;
      EXPECT_EQ(c.clock.ElapsedMs() - start, expected.ms) << name;
      EXPECT_LE(expected.ms, kOps[op].boundMs) << name;
      EXPECT_LE(expected.dialogs, 1) << name;

      EXPECT_TRUE(c.Run(regLink ? kSend : kReadPass)) << name << ": the other board goes on";
      c.clock.AdvanceMs(sim::kSimReplugAfterMs);
      c.ClearFaults();
      EXPECT_TRUE(c.Run(op)) << name << ": the next run after the fault is gone";
    }
  }
}

// The Bench's test-board operations on a session-long fault: what a
// program gets back. A value is given only where the device really gave it.
enum BenchOp { kSetDac, kSetMux, kSetSupply, kReadConverter, kReadLoopCurrent };
constexpr const char* kBenchOpNames[] = {"set_dac", "set_mux", "set_supply", "read_converter",
                                         "read_loop_current"};
enum class Got { Value, NotAcknowledged };

struct BenchRow {
  const char* fault;
  Got got[5];
};

// The multiplexer and the supply are the interface board's own switches:
// no device behind it is asked, so there is no acknowledge to miss.
// A board that answers one report late is set right by the retry.
// clang-format off
const BenchRow kBenchMatrix[] = {
    //                              set_dac               set_mux     set_supply  read_converter        read_loop_current
    {"interface:non-zero-status",  {Got::NotAcknowledged, Got::Value, Got::Value, Got::NotAcknowledged, Got::NotAcknowledged}},
    {"interface:wrong-reply-code", {Got::Value,           Got::Value, Got::Value, Got::Value,           Got::Value}},
};
// clang-format on

// Ok when `op` gave what a healthy board gives.
testing::AssertionResult RunOnBench(Bench& bench, BenchOp op) {
  switch (op) {
    case kSetDac: {
      // The auto-calibration reads the output back through CNV1.
      const double volts = bench.SetDac(DacChannel::B, 2.5, Reference::User, true);
      if (std::fabs(volts - 2.5) > 1e-3) return testing::AssertionFailure() << volts << " V";
      break;
    }
    case kSetMux: bench.SetMux(Converter::Cnv1, MuxInput::Gnd, MuxInput::Gnd); break;
    case kSetSupply: bench.SetSupply(true); break;
    case kReadConverter: {
      const double volts = bench.ReadConverter(Converter::Cnv1, Reference::User);
      if (std::fabs(volts - 0.0116) > 1e-3) return testing::AssertionFailure() << volts << " V";
      break;
    }
    case kReadLoopCurrent: {
      const double amperes = bench.ReadLoopCurrent();
      if (!(amperes > 0)) return testing::AssertionFailure() << amperes << " A";
      break;
    }
  }
  return testing::AssertionSuccess();
}

TEST(FaultMatrix, BenchTestBoardOperationsGiveNoValueTheDeviceDidNotAcknowledge) {
  for (const BenchRow& row : kBenchMatrix) {
    for (const BenchOp op : {kSetDac, kSetMux, kSetSupply, kReadConverter, kReadLoopCurrent}) {
      const std::string name = std::string(row.fault) + " / " + kBenchOpNames[op];
      BenchOptions healthy;
      healthy.simulate = true;
      ASSERT_TRUE(RunOnBench(*Bench::Open(healthy), op)) << name << ": healthy run";
      BenchOptions faulty = healthy;
      faulty.simulation.fault = row.fault;
      const auto bench = Bench::Open(faulty);
      Got got = Got::Value;
      try {
        EXPECT_TRUE(RunOnBench(*bench, op)) << name;
      } catch (const NotAcknowledgedError&) {
        got = Got::NotAcknowledged;
      } catch (const Error& e) {
        ADD_FAILURE() << name << ": " << typeid(e).name() << " " << e.what();
        continue;
      }
      EXPECT_EQ(got, row.got[op]) << name;
    }
  }
}

// A day-long simulated log must not grow with every request it made.
TEST(FaultMatrix, SimulatorHistoryStaysBounded) {
  test::RegContext c;
  for (int pass = 0; pass < 300; ++pass) ReadAllRegs(c.evm, c.panels);
  EXPECT_EQ(c.Board().RequestCount(), 1800u);
  EXPECT_EQ(c.Board().Requests().size(), sim::kSimHistoryLength);
}

}  // namespace
}  // namespace evm
