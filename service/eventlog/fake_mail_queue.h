#pragma once

#include <algorithm>
#include <vector>

#include "mail_round.h"

// An event store in memory for mail-round tests: rows in insertion order, rowids from 1.
class FakeMailQueue : public MailQueue {
public:
    struct Row {
        int64_t rowid;
        EventLogEntry entry;
        int mailsent;
    };

    int64_t Insert(int64_t time, int type, int code, std::string devname, std::string data = "") {
        EventLogEntry e(type, code, std::move(devname), std::move(data));
        e.time = time;
        rows.push_back({static_cast<int64_t>(rows.size()) + 1, e, 0});
        return rows.back().rowid;
    }

    bool ReadPendingMail(int limit, std::vector<PendingMail>& out) override {
        out.clear();
        if (failRead) return false;
        for (const auto& r : rows)
            if (static_cast<int>(out.size()) < limit && r.entry.code < 100 && r.mailsent < 10)
                out.push_back({r.rowid, r.entry, r.mailsent});
        return true;
    }
    bool SetMailSent(int64_t rowid, int value) override {
        for (auto& r : rows)
            if (r.rowid == rowid) {
                r.mailsent = value;
                return true;
            }
        return false;
    }
    bool Add(const EventLogEntry& entry) override {
        added.push_back(entry);
        return true;
    }

    int MailSent(int64_t rowid) const {
        const auto it =
            std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.rowid == rowid; });
        return it == rows.end() ? -1 : it->mailsent;
    }

    std::vector<Row> rows;
    std::vector<EventLogEntry> added;  // events the round appended
    bool failRead = false;
};
