#pragma once

#include <stdsoap2.h>

#include "rpc_services.h"

// Serves one accepted connection: a GET is answered by the file handler inside the engine's
// receive step (an error status is sent here as an empty reply), a POST to "/fwupdate/<d>/<i>"
// (one digit each) becomes a FlashUpdate call on the uploaded file, any other POST is one
// JSON-RPC 2.0 call. An upload is read only after its path and session have been accepted; any
// other path under "/fwupdate/" and a missing attachment get an empty 400, a body over the
// engine's bound an empty 413.
// Returns the engine's status.
int dispatchRequest(struct soap* engine, RpcServices& services);
