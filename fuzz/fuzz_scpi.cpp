// SPDX-License-Identifier: GPL-3.0-or-later
// SCPI lines: the parser, the numeric parameters and the instrument's own
// command tree over the simulated EVM. Whatever comes, an answer stays one
// line, the error queues stay bounded, a number's answer reads back as the
// number, and the instrument still answers *IDN? afterwards.
#include <algorithm>
#include <cmath>
#include <memory>

#include "api/bench_access.h"
#include "common/clock.h"
#include "fuzz_support.h"
#include "scpi/scpi_instrument.h"
#include "scpi/scpi_numbers.h"
#include "scpi/scpi_tree.h"

using namespace evm;
using namespace evm::scpi;

namespace {

constexpr size_t kMaxLines = 64;

// The instrument over a simulated EVM on virtual time. The board is opened
// once (opening it costs more than most inputs); the instrument and its
// clients are fresh for every input, so what a board's state can do to an
// answer is explored too.
struct Instrument {
  static Bench& Board() {
    static FakeClock clock;
    static const std::unique_ptr<Bench> bench = BenchAccess::Open({.simulate = true}, clock);
    return *bench;
  }
  ScpiInstrument scpi{Board(), 8};
  Session sessions[2];
};

void CheckAnswer(const std::string& answer) {
  FUZZ_CHECK(answer.find('\n') == std::string::npos);
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

  // Its lines go to two clients in turn, as the server runs them; a monitor
  // run on virtual time fills its clients' buffers and ends before the next.
  Instrument i;
  size_t from = 0;
  for (size_t n = 0; n < kMaxLines && from <= text.size(); ++n) {
    const size_t lf = std::min(text.find('\n', from), text.size());
    Session& session = i.sessions[n % 2];
    CheckAnswer(i.scpi.Execute(session, text.substr(from, lf - from)));
    i.scpi.WaitForRun();
    for (const Session& s : i.sessions) {
      FUZZ_CHECK(s.status.errors.Size() <= ErrorQueue::kDefaultCapacity);
    }
    from = lf + 1;
  }
  for (Session& session : i.sessions) {
    while (!session.status.errors.Empty()) CheckAnswer(FormatError(session.status.errors.Pop()));
    const std::string idn = i.scpi.Execute(session, "*IDN?");
    FUZZ_CHECK(idn.rfind(std::string(kScpiMaker) + "," + kScpiModel + ",", 0) == 0);
  }
  return 0;
}
