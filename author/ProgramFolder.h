// ProgramFolder: where the running executable lies, so that a program can
// find files shipped beside it wherever its folder was unpacked. Linux only
// (/proc/self/exe).
#pragma once

#include <string>

// The absolute folder of the running executable with symbolic links
// resolved; empty when it cannot be read.
std::string ProgramFolder();
