#pragma once

// The service's log sink: one syslog-shaped text line per message, to a file or standard output,
// and optionally as one UDP datagram per line. Any thread may call logPrint; each file line is
// written whole under one process-wide mutex. logOpen and logClose are called by the start-up
// and shutdown of the service, not while other threads log.

// The levels of a line; the syslog priority is 8 plus the level.
enum LogLevel : int {
    kLogError = 3,
    kLogWarning = 4,
    kLogInfo = 6,
    kLogDebug = 7,
};

// Lines of a level above this are dropped. 6 at start; the "-debug" option sets 7. Set it before
// other threads start; it is read without a lock.
extern int g_logLevel;

// Opens the sink, closing any sink opened before. path null: no file; "-": standard output; else
// the file opened for appending. udpHost (IPv4 address text) non-null: every line is also sent
// as a datagram to udpHost:udpPort. Returns 0 when a file or a socket is in use; 22 when neither
// is (a file that cannot be opened leaves the sink without a file, and later lines are dropped
// without harm); 22 when the socket cannot be created or the address is not IPv4 text; 5 when
// the socket cannot be made non-blocking.
int logOpen(const char* path, const char* udpHost = nullptr, int udpPort = 0);

// Closes the file (standard output stays open) and the UDP socket.
void logClose();

// `level` is a LogLevel. The line is cut at 1023 characters.
void logPrint(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
