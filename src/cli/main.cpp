#include <iostream>

#include "cli/evmctl.h"
#include "common/program_arguments.h"

int main(int argc, char* argv[]) {
  evm::UseByteStandardStreams();
  return evm::cli::RunEvmctl(evm::ProgramArguments(argc, argv), std::cout, std::cerr);
}
