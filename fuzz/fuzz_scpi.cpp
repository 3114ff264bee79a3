// SPDX-License-Identifier: GPL-3.0-or-later
// SCPI lines: the parser, the numeric parameters and a tree of commands of
// every kind. Whatever comes, an answer stays one line, the error queue
// stays bounded and a number's answer reads back as the number.
#include <cmath>

#include "fuzz_support.h"
#include "scpi/scpi_numbers.h"
#include "scpi/scpi_tree.h"

using namespace evm;
using namespace evm::scpi;

namespace {

CommandTree MakeTree() {
  CommandTree tree;
  tree.Add("*IDN?", 0, 0, [](Call& c) { c.Answer("X,Y,Z,1"); });
  tree.Add("SYSTem:ERRor[:NEXT]?", 0, 0,
           [](Call& c) { c.Answer(FormatError(c.session().status.errors.Pop())); });
  tree.Add("SOURce:VOLTage", 2, 2, [](Call& c) {
    c.Whole(0, 0, 3);
    c.Number(1, {0.05, 4.95, 1, "V"});
  });
  tree.Add("MEASure:VOLTage[:BUS]?", 0, 1, [](Call& c) {
    c.Answer(FormatNr3(c.Count() ? c.Number(0, {-1e300, 1e300, 0, ""}) : 12.0));
  });
  tree.Add("OUTPut:DUT[:STATe]", 1, 1, [](Call& c) { c.Boolean(0); });
  tree.Add("ROUTe:MUX", 2, 3, [](Call& c) { c.Choice(1, {"OPEN", "GND", "DAC"}); });
  tree.Add("MNEMonic:SEND", 1, 1, [](Call& c) { c.Answer(c.Text(0)); });
  return tree;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  std::vector<ProgramUnit> units;
  const ParseFailure parsed = ParseLine(text, units);
  FUZZ_CHECK(parsed.code == 0 || parsed.code == kSyntaxError);
  for (const ProgramUnit& u : units) FUZZ_CHECK(u.column >= 1 && u.column <= text.size());

  if (const auto n = ParseNumeric(text); n && n->kind == NumericKind::Value) {
    FUZZ_CHECK(std::isfinite(n->value));
  }
  // Six digits read back within their rounding, away from the ends of double.
  if (const auto n = ParseNumeric(text);
      n && n->kind == NumericKind::Value &&
      (n->value == 0 || (std::abs(n->value) > 1e-300 && std::abs(n->value) < 1e300))) {
    const auto back = ParseNumeric(FormatNr3(n->value));
    FUZZ_CHECK(back && std::abs(back->value - n->value) <= 1e-5 * std::abs(n->value) + 1e-300);
  }

  static const CommandTree tree = MakeTree();
  Session session;
  for (int round = 0; round < 2; ++round) {
    const std::string answer = tree.Execute(session, text);
    FUZZ_CHECK(answer.find('\n') == std::string::npos);
    FUZZ_CHECK(session.status.errors.Size() <= ErrorQueue::kDefaultCapacity);
  }
  while (!session.status.errors.Empty()) {
    const std::string error = FormatError(session.status.errors.Pop());
    FUZZ_CHECK(error.find('\n') == std::string::npos);
  }
  return 0;
}
