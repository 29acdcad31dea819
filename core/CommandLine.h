// The daemon's command line. Main thread, before anything else runs.
#ifndef WANVOX_CORE_COMMANDLINE_H_
#define WANVOX_CORE_COMMANDLINE_H_

#include <cstdint>

// Scans the arguments left to right. "-d" stores the low 8 bits of the next
// argument read as a decimal number in *level (0 when it is not a number or
// missing); the next argument is still examined in turn. Returns true at the
// first "--help" or "?", false when the scan ends without one.
bool ScanCommandLine(int argc, char** argv, uint8_t* level);

// Writes the usage text to standard output and ends the process with 1.
[[noreturn]] void PrintHelp();

#endif  // WANVOX_CORE_COMMANDLINE_H_
