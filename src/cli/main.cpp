#include <iostream>

#include "cli/evmctl.h"

int main(int argc, char* argv[]) {
  return evm::cli::RunEvmctl(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
