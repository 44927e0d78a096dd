#pragma once

#include <memory>
#include <string>
#include <vector>

#include "json_util.h"
#include "mail_settings.h"
#include "scheduled_task.h"

// Result of a presence-aware read.
enum class ConfigRead {
    kFound,       // the member exists and is not null; `out` is set
    kMissing,     // no member (or null) at the path; `out` is untouched
    kUnreadable,  // the store holds no usable document; `out` is untouched
};

// The service's persistent settings: the JSON document `config.json` in the configuration
// folder. Every operation names a node by a key path of up to four member names (unused trailing
// keys null; no key at all names the whole document). Missing members on the way read as null.
//
// All operations are safe from any thread: one mutex guards the document and the file, and a
// write holds it from reading the document to renaming the new file into place, so concurrent
// writes to different nodes all survive. The file is replaced atomically (a temporary file in
// the same folder, fsynced, renamed over it), so a crash leaves the old or the new file.
//
// A missing file means the defaults ({"password":""}); the first write creates the file 0600. A
// file that exists but cannot be read or parsed is never replaced: every read and write fails
// until an administrator repairs or removes it and the store is loaded again.
class ConfigStore {
public:
    ConfigStore();
    ~ConfigStore();
    ConfigStore(const ConfigStore&) = delete;
    ConfigStore& operator=(const ConfigStore&) = delete;

    // Reads configDir + "/config.json". Always true: an unusable file is logged (level 3) and
    // makes the store fail every access; a missing one is logged (level 4) and gives the
    // defaults. Before Load every access fails.
    bool Load(const std::string& configDir);

    std::string Path() const;

    // Typed reads with the conversions of json::toInt64/toText: a missing member reads 0 (text
    // "null"). False only when the store is unusable; `out` is then untouched.
    bool GetInt(int& out, const char* key1, const char* key2 = nullptr, const char* key3 = nullptr,
                const char* key4 = nullptr);
    bool GetUInt(unsigned& out, const char* key1, const char* key2 = nullptr,
                 const char* key3 = nullptr, const char* key4 = nullptr);
    bool GetString(std::string& out, const char* key1, const char* key2 = nullptr,
                   const char* key3 = nullptr, const char* key4 = nullptr);

    // Presence-aware reads, for callers that must not take a missing member for 0 or "null".
    ConfigRead FindInt(int& out, const char* key1, const char* key2 = nullptr,
                       const char* key3 = nullptr, const char* key4 = nullptr);
    ConfigRead FindString(std::string& out, const char* key1, const char* key2 = nullptr,
                          const char* key3 = nullptr, const char* key4 = nullptr);

    // A copy of the node at the path (null when missing). False when the store is unusable.
    bool GetValue(value& out, const char* key1 = nullptr, const char* key2 = nullptr,
                  const char* key3 = nullptr, const char* key4 = nullptr);

    // Typed writes. Each replaces the node at the path, creating objects on the way, and
    // rewrites the file. False when the store is unusable, a node on the way exists but is not
    // an object, or the file cannot be written; the document and the file are then unchanged.
    bool SetInt(int v, const char* key1, const char* key2 = nullptr, const char* key3 = nullptr,
                const char* key4 = nullptr);
    bool SetUInt(unsigned v, const char* key1, const char* key2 = nullptr,
                 const char* key3 = nullptr, const char* key4 = nullptr);
    bool SetString(const std::string& v, const char* key1, const char* key2 = nullptr,
                   const char* key3 = nullptr, const char* key4 = nullptr);
    // Any value; with no key it replaces the whole document (which must then be an object).
    bool SetValue(const value& v, const char* key1 = nullptr, const char* key2 = nullptr,
                  const char* key3 = nullptr, const char* key4 = nullptr);

    // The "tasks" list, converted entry by entry (missing members read 0). `out` is cleared
    // first; false when the store is unusable or "tasks" is not an array (also when missing).
    bool GetTasks(std::vector<ScheduledTask>& out);

    // The "email_notification" record. False when the store is unusable or the record is not
    // an object; `out` is then untouched. Missing text members read "null", missing numbers 0,
    // a missing "Receipients" list gives no recipient.
    bool GetMailSettings(MailSettings& out);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
