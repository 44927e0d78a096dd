#pragma once

// The self-encrypting-drive tool behind the utility's --tcgtool option. Runs one action on one
// drive of the utility's current domain and gives the exit status: 0 success, the operation's
// status, 130 no device object, 134 usage / unknown SSC / no action, 136 a command line or a
// disk that cannot be used.

constexpr int kTcgExitNoDevice = 130;
constexpr int kTcgExitUsage = 134;
constexpr int kTcgExitBadCommandLine = 136;

// Argument 0 is the utility's own option; the tool's arguments start at 1.
int tcgToolMain(int argc, char* argv[]);

// Prints one line about the drive `name`: whether it is a self-encrypting drive, its SSCs,
// model and firmware. 0.
int isValidSED(const char* name);
