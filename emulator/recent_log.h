#pragma once

// The most recent entries of a request log, oldest first, bounded by their count and by the
// bytes they carry, so that a demo running for days stays the size it started at.

#include <cstddef>
#include <deque>
#include <vector>

namespace emu {

template <typename Entry>
class RecentLog {
public:
    RecentLog(size_t maxEntries, size_t maxBytes)
        : m_maxEntries(maxEntries), m_maxBytes(maxBytes) {}

    // `bytes` is what the entry carries; the newest entry is kept even when it alone is over.
    void Add(Entry entry, size_t bytes) {
        m_entries.push_back({std::move(entry), bytes});
        m_bytes += bytes;
        while (m_entries.size() > m_maxEntries || (m_bytes > m_maxBytes && m_entries.size() > 1)) {
            m_bytes -= m_entries.front().bytes;
            m_entries.pop_front();
        }
    }
    std::vector<Entry> Entries() const {
        std::vector<Entry> out;
        out.reserve(m_entries.size());
        for (const Held& h : m_entries) out.push_back(h.entry);
        return out;
    }
    void Clear() {
        m_entries.clear();
        m_bytes = 0;
    }

private:
    struct Held {
        Entry entry;
        size_t bytes;
    };
    size_t m_maxEntries, m_maxBytes;
    std::deque<Held> m_entries;
    size_t m_bytes = 0;
};

}  // namespace emu
