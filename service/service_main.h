#pragma once

// The whole program behind main: locale, then a console run ("-debug" or "/debug" in any case
// as the first argument) or the detached service run. The emulator build calls it after its
// own start-up.
int hxraidsvcMain(int argc, char** argv);
