#pragma once

#include <stdsoap2.h>

#include "connection_gate.h"
#include "rpc_services.h"

class brsSoap;

// Serves one accepted connection: a GET is answered by the file handler inside the engine's
// receive step (an error status is sent here as an empty reply), a POST to "/fwupdate/<d>/<i>"
// (one digit each) becomes a FlashUpdate call on the uploaded file, any other POST is one
// JSON-RPC 2.0 call. An upload is read only after its path and session have been accepted; any
// other path under "/fwupdate/" and a missing attachment get an empty 400, a body over the
// engine's bound an empty 413.
// Returns the engine's status.
int dispatchRequest(struct soap* engine, RpcServices& services);

// The replies the intake sends on its own (empty ones with the statuses it refuses heads with,
// the JSON-RPC answers to a large body without a session), as the engine writes them.
ConnectionGate::Refusals renderRefusals(const brsSoap& master);
