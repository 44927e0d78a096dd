#pragma once

#include <sqlite3.h>

#include <mutex>
#include <string>

#include "event_logger.h"

// The state behind EventLogger, shared with the background threads' code.
struct EventLogger::Impl {
    sqlite3* db = nullptr;  // serialized connection; null while closed
    std::string dbPath;
    std::mutex backupLock;  // one backup at a time, so copies never interleave
};
