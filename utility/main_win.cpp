// arkutil.exe: the utility on Windows, carrying the controller-access library inside.

#include "commands.h"

// Arguments reach the program as typed: "1/*" is a disk pattern, not file names to expand.
extern "C" {
int _dowildcard = 0;
}

int main(int argc, char** argv) {
    return utilMain(argc, argv);
}
