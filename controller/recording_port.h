#pragma once

// A CDriverPort for unit tests: records every request and answers each from a script (or a
// default reply when the script is empty).

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "driver_port.h"

struct RecordedRequest {
    uint32_t code;
    std::vector<uint8_t> in;
    uint32_t outLen;
};

struct ScriptedReply {
    int result = 0;
    std::vector<uint8_t> out;  // written to the caller's buffer (cut to outLen)
};

class RecordingPort : public CDriverPort {
public:
    explicit RecordingPort(std::vector<RecordedRequest>* log, std::string path = "rec")
        : m_log(log), m_path(std::move(path)) {}
    ~RecordingPort() override {
        if (m_destroyed != nullptr) ++*m_destroyed;
    }

    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override {
        const auto* bytes = static_cast<const uint8_t*>(in);
        m_log->push_back({code, std::vector<uint8_t>(bytes, bytes + (in ? inLen : 0)), outLen});
        ScriptedReply reply = defaultReply;
        if (!script.empty()) {
            reply = script.front();
            script.pop_front();
        }
        const size_t n = std::min<size_t>(reply.out.size(), outLen);
        if (out != nullptr && n != 0) std::memcpy(out, reply.out.data(), n);
        if (bytesReturned != nullptr) *bytesReturned = static_cast<uint32_t>(n);
        return reply.result;
    }

    const char* GetPath() const override { return m_path.c_str(); }

    void countDestruction(int* counter) { m_destroyed = counter; }

    std::deque<ScriptedReply> script;
    ScriptedReply defaultReply;

private:
    std::vector<RecordedRequest>* m_log;
    std::string m_path;
    int* m_destroyed = nullptr;
};

inline std::vector<uint8_t> le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

inline std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
