// The engine's namespace table, generated beside the glue.
#include "soap.nsmap"
#include "soapH.h"
