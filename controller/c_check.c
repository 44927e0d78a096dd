/* Compiles the public header as C. */
#include "ark.h"
