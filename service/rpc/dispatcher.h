#pragma once

#include <stdsoap2.h>

#include "rpc_method.h"

// Serves one accepted connection: a GET is answered by the file handler inside the engine's
// receive step (an error status is sent here as an empty reply), a POST to "/fwupdate/<d>/<i>"
// becomes a FlashUpdate call on the uploaded file, any other POST is one JSON-RPC 2.0 call.
// Returns the engine's status.
int dispatchRequest(struct soap* engine);

// The JSON-RPC steps after the body is parsed: method checks, the "sid" session check for all
// but Login and GetServerInfo, the table lookup and the handler call. Fills reply with the
// JSON-RPC 2.0 reply object.
void runRpcCall(const value& request, RpcContext& ctx, value& reply);
