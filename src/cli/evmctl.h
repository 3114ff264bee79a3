#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace evm::cli {

// The whole program: parses `args` (without the program name), runs the
// command and returns the exit status.
int RunEvmctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace evm::cli
