#include "config_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "annotated_mutex.h"
#include "atomic_file.h"
#include "log.h"

namespace {

constexpr int kMaxKeys = 4;

// The keys actually given: the first null ends the path.
struct KeyPath {
    const char* keys[kMaxKeys];
    int count = 0;
    KeyPath(const char* k1, const char* k2, const char* k3, const char* k4) {
        for (const char* k : {k1, k2, k3, k4}) {
            if (!k) break;
            keys[count++] = k;
        }
    }
};

enum class ReadResult { kOk, kMissing, kFailed };

ReadResult readFile(const std::string& path, std::string& text) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    text.clear();
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int saved = errno;
            close(fd);
            errno = saved;
            return ReadResult::kFailed;
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return ReadResult::kOk;
}

}  // namespace

struct ConfigStore::Impl {
    enum class State { kNotLoaded, kReady, kUnusable };

    Mutex lock;
    std::string path GUARDED_BY(lock);
    State state GUARDED_BY(lock) = State::kNotLoaded;
    value doc GUARDED_BY(lock);  // the document as the file holds it; valid in kReady

    // The node at the path, or null when it or a level on the way is missing.
    const value& find(const KeyPath& at) const REQUIRES(lock) {
        const value* node = &doc;
        for (int i = 0; i < at.count; ++i) node = &json::member(*node, at.keys[i]);
        return *node;
    }

    // Copies the node into `out`; false when the store is unusable.
    bool lookup(value& out, const KeyPath& at) {
        MutexLock guard(lock);
        if (state != State::kReady) return false;
        out = find(at);
        return true;
    }

    // The whole read-modify-write under the lock, so concurrent updates of different nodes all
    // survive. The document changes only when the file was replaced.
    bool update(const value& v, const KeyPath& keys) {
        MutexLock guard(lock);
        if (state != State::kReady) return false;
        value next = doc;
        value* node = &next;
        for (int i = 0; i < keys.count; ++i) {
            if (node->is_null() && node != &next) *node = value::object();
            if (!node->is_object()) return false;
            node = &(*node)[keys.keys[i]];
        }
        *node = v;
        if (!next.is_object()) return false;

        const std::string text = json::dump(next, 4) + "\n";
        if (!replaceFile(path, text)) return false;
        // Keep what the file holds (invalid UTF-8 has been replaced in the text).
        if (!json::parse(text, doc)) doc = std::move(next);
        return true;
    }
};

ConfigStore::ConfigStore() : m_impl(std::make_unique<Impl>()) {}

ConfigStore::~ConfigStore() = default;

bool ConfigStore::Load(const std::string& configDir) {
    Impl& impl = *m_impl;
    MutexLock guard(impl.lock);
    impl.path = configDir + "/config.json";
    removeStaleTemporaries(impl.path);
    std::string text;
    switch (readFile(impl.path, text)) {
        case ReadResult::kMissing:
            logPrint(kLogWarning, "fail to load config file - using default settings");
            impl.doc = {{"password", ""}};
            impl.state = Impl::State::kReady;
            return true;
        case ReadResult::kFailed:
            logPrint(kLogError,
                     "config file %s cannot be read (%s) - settings and login are unavailable "
                     "until it is repaired or removed",
                     impl.path.c_str(), strerror(errno));
            impl.state = Impl::State::kUnusable;
            return true;
        case ReadResult::kOk:
            break;
    }
    value doc;
    if (!json::parse(text, doc) || !doc.is_object()) {
        logPrint(kLogError,
                 "config file %s is not a valid JSON object - settings and login are "
                 "unavailable until it is repaired or removed",
                 impl.path.c_str());
        impl.state = Impl::State::kUnusable;
        return true;
    }
    impl.doc = std::move(doc);
    impl.state = Impl::State::kReady;
    return true;
}

std::string ConfigStore::Path() const {
    MutexLock guard(m_impl->lock);
    return m_impl->path;
}

bool ConfigStore::GetInt(int& out, const char* key1, const char* key2, const char* key3,
                         const char* key4) {
    value node;
    if (!m_impl->lookup(node, KeyPath(key1, key2, key3, key4))) return false;
    out = json::toInt(node);
    return true;
}

bool ConfigStore::GetUInt(unsigned& out, const char* key1, const char* key2, const char* key3,
                          const char* key4) {
    value node;
    if (!m_impl->lookup(node, KeyPath(key1, key2, key3, key4))) return false;
    out = json::toUInt(node);
    return true;
}

bool ConfigStore::GetString(std::string& out, const char* key1, const char* key2, const char* key3,
                            const char* key4) {
    value node;
    if (!m_impl->lookup(node, KeyPath(key1, key2, key3, key4))) return false;
    out = json::toText(node);
    return true;
}

ConfigRead ConfigStore::FindInt(int& out, const char* key1, const char* key2, const char* key3,
                                const char* key4) {
    value node;
    if (!m_impl->lookup(node, KeyPath(key1, key2, key3, key4))) return ConfigRead::kUnreadable;
    if (node.is_null()) return ConfigRead::kMissing;
    out = json::toInt(node);
    return ConfigRead::kFound;
}

ConfigRead ConfigStore::FindString(std::string& out, const char* key1, const char* key2,
                                   const char* key3, const char* key4) {
    value node;
    if (!m_impl->lookup(node, KeyPath(key1, key2, key3, key4))) return ConfigRead::kUnreadable;
    if (node.is_null()) return ConfigRead::kMissing;
    out = json::toText(node);
    return ConfigRead::kFound;
}

bool ConfigStore::GetValue(value& out, const char* key1, const char* key2, const char* key3,
                           const char* key4) {
    try {
        return m_impl->lookup(out, KeyPath(key1, key2, key3, key4));
    } catch (...) {
        return false;
    }
}

bool ConfigStore::SetInt(int v, const char* key1, const char* key2, const char* key3,
                         const char* key4) {
    return SetValue(value(v), key1, key2, key3, key4);
}

bool ConfigStore::SetUInt(unsigned v, const char* key1, const char* key2, const char* key3,
                          const char* key4) {
    return SetValue(value(v), key1, key2, key3, key4);
}

bool ConfigStore::SetString(const std::string& v, const char* key1, const char* key2,
                            const char* key3, const char* key4) {
    return SetValue(value(v), key1, key2, key3, key4);
}

bool ConfigStore::SetValue(const value& v, const char* key1, const char* key2, const char* key3,
                           const char* key4) {
    try {
        return m_impl->update(v, KeyPath(key1, key2, key3, key4));
    } catch (...) {
        return false;
    }
}

bool ConfigStore::GetTasks(std::vector<ScheduledTask>& out) {
    out.clear();
    value tasks;
    if (!m_impl->lookup(tasks, KeyPath("tasks", nullptr, nullptr, nullptr))) return false;
    if (!tasks.is_array()) return false;
    for (const value& t : tasks) {
        ScheduledTask task;
        task.domain = json::toInt(json::member(t, "domain"));
        task.id = json::toUInt(json::member(t, "id"));
        task.signature = json::toUInt(json::member(t, "signature"));
        task.memberIndex = json::toInt(json::member(t, "memberIndex"));
        task.type = json::toInt(json::member(t, "type"));
        task.days = json::toUInt(json::member(t, "days"));
        task.startdate = json::toInt64(json::member(t, "startdate"));
        task.date = json::toInt64(json::member(t, "date"));
        out.push_back(task);
    }
    return true;
}

bool ConfigStore::GetMailSettings(MailSettings& out) {
    value mail;
    if (!m_impl->lookup(mail, KeyPath("email_notification", nullptr, nullptr, nullptr)))
        return false;
    if (!mail.is_object()) return false;
    out.Receipients.clear();
    const value& list = json::member(mail, "Receipients");
    if (list.is_array()) {
        for (const value& r : list) {
            MailRecipient recipient;
            recipient.email = json::toTextOrEmpty(json::member(r, "email"));
            recipient.enable = json::toInt64(json::member(r, "enable")) != 0;
            recipient.mask = json::toUInt(json::member(r, "mask"));
            out.Receipients.push_back(std::move(recipient));
        }
    }
    out.SMTP_Server = json::toTextOrEmpty(json::member(mail, "SMTP_Server"));
    out.SMTP_Port = json::toInt(json::member(mail, "SMTP_Port"));
    out.Protocol = json::toInt(json::member(mail, "Protocol"));
    out.SMTP_User = json::toTextOrEmpty(json::member(mail, "SMTP_User"));
    out.SMTP_Password = json::toTextOrEmpty(json::member(mail, "SMTP_Password"));
    out.Sender = json::toTextOrEmpty(json::member(mail, "Sender"));
    return true;
}
