#pragma once

#include <stdsoap2.h>

// The GET side of the HTTP engine: the console's files and the event-log download.

// The engine's GET hook. Returns 0 when a reply went out, else the HTTP status (404) or the
// engine's error; the caller sends the empty error reply (the engine does not).
int httpGetHandler(struct soap* engine);

// Sends one file as the reply: "/eventlog" is a fresh backup of the event database, any other
// path is looked up in the selected file source. 0, 404 when the file cannot be had, or the
// engine's error.
int serveFile(struct soap* engine, const char* path, const char* mimeType);

// The content type for a request path by its extension, or null when such files are not served.
const char* mimeTypeFor(const char* path);

// A request path may name a file only when it starts with a single '/', holds no backslash and
// no ".." segment.
bool requestPathIsSafe(const char* path);
