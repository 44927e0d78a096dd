#pragma once

// Test helper: an event log and a configuration store in a temporary folder of the test's own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "config_store.h"
#include "event_logger.h"

class EventTestEnv : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "evthreads.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        ASSERT_TRUE(log.Open(m_dir + "/eventlog.db"));
        ASSERT_TRUE(config.Load(m_dir));
    }
    void TearDown() override {
        log.Stop();
        log.Close();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // Every stored event, oldest first.
    std::vector<EventLogEntry> Events() {
        std::vector<EventLogEntry> out;
        log.Get(0, 1 << 20, [&](const EventLogEntry& e) { out.push_back(e); });
        std::reverse(out.begin(), out.end());
        return out;
    }

    std::vector<EventLogEntry> EventsWithCode(int code) {
        std::vector<EventLogEntry> out;
        for (const auto& e : Events())
            if (e.code == code) out.push_back(e);
        return out;
    }

    const std::string& Dir() const { return m_dir; }

    EventLogger log;
    ConfigStore config;

private:
    std::string m_dir;
};
