// SPDX-License-Identifier: GPL-3.0-or-later
// Writes evmctl's completion scripts and manual from its command table:
//   evmctl_docs bash|zsh            the completion script on standard output
//   evmctl_docs man TEMPLATE        the manual, with @EVMCTL_COMMANDS@ and
//                                   @EVMCTL_OPTIONS@ of TEMPLATE filled in
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "cli/command_docs.h"

namespace {

void Replace(std::string& text, const std::string& marker, const std::string& by) {
  const size_t at = text.find(marker);
  if (at != std::string::npos) text.replace(at, marker.size(), by);
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "bash") {
    std::cout << evm::cli::BashCompletion();
  } else if (what == "zsh") {
    std::cout << evm::cli::ZshCompletion();
  } else if (what == "man" && argc == 3) {
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
      std::cerr << "evmctl_docs: cannot read " << argv[2] << "\n";
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string page = text.str();
    // The sections end with a line break of their own.
    Replace(page, "@EVMCTL_COMMANDS@\n", evm::cli::ManCommands());
    Replace(page, "@EVMCTL_OPTIONS@\n", evm::cli::ManOptions());
    std::cout << page;
  } else {
    std::cerr << "usage: evmctl_docs bash|zsh|man TEMPLATE\n";
    return 2;
  }
  return std::cout ? 0 : 1;
}
