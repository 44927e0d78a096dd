#pragma once

// The option parser every command of the utility shares. Its state is process-wide, so a
// command continues where the entry stopped, even inside a cluster such as "-Qa".

// One row of a long-option table; a table ends with a row whose name is null.
struct LongOption {
    const char* name;
    int has_arg;  // kNoArgument, kRequiredArgument or kOptionalArgument
    int* flag;    // when set, val is stored through it and 0 is returned
    int val;
};

constexpr int kNoArgument = 0;
constexpr int kRequiredArgument = 1;
constexpr int kOptionalArgument = 2;

// The next argument to look at (starts at 1).
extern int g_optIndex;
// The argument of the option just returned, or null.
extern char* g_optArg;
// The last option character read.
extern int g_optChar;
// Set to start over: the next call forgets any cluster in progress.
extern int g_optReset;

// Returns the next option's value, -1 at the end (the first argument that is not an option,
// "-", or "--" which is consumed), '?' for an unknown option and ':' for a missing required
// argument. Arguments are never permuted. A long option may be given by any prefix of its
// name: a row whose name has exactly the given length wins, else the first row that begins
// with the given text.
int getoptLong(int argc, char* const* argv, const char* shortopts, const LongOption* longopts);

// Back to the state of a fresh process: index 1, no argument, no cluster.
void resetOptionParser();
