#pragma once

// The service as the fuzz targets meet it: started once per process over the emulated
// controllers, in a network namespace of its own so that nothing a fuzzed request sets up (a
// mail server, say) can send traffic off the machine; then one HTTP request at a time, taken
// from memory, through the intake and the connection handler a worker runs.

#include <cstddef>
#include <string>

namespace fuzzsvc {

// Starts the service once (later calls do nothing). Exits the process with a message when
// the network namespace or the service's start-up fails.
void Start();

// A session id valid for the next request (a fresh one when a request ended the last).
std::string Session();

// Sends `request` as one connection's bytes through the intake (which reads and checks it)
// and, when the intake takes it whole, the connection handler; the answer is read and dropped.
void Serve(const std::string& request);

// `body` as a POST to `path` with the content type and, when `session`, the session cookie.
std::string Post(const std::string& path, const std::string& contentType, const std::string& body,
                 bool session);

}  // namespace fuzzsvc
