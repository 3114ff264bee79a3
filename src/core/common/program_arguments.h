// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace evm {

// The command line without the program name, as UTF-8 text. On Windows argv
// holds the ANSI code page, which cannot spell every file name; the wide
// command line can, so it is read from there.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

// Standard output and error carry the bytes they are given: on Windows "\n"
// stays "\n" (a pipe or a file gets what Linux gets) and a console shows the
// UTF-8 of file names. Nothing to do elsewhere.
void UseByteStandardStreams();

}  // namespace evm
