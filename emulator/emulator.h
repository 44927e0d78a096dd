#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "annotated_mutex.h"
#include "recent_log.h"
#include "request_handler.h"
#include "state.h"

namespace emu {

// A fault armed for one request code.
struct Fault {
    enum class Kind {
        Fail,          // the request returns -1 and changes nothing
        ShortReply,    // runs, but only `replyBytes` output bytes are written and reported
        Unterminated,  // runs; the reply's text fields are filled to their full size, no NUL
    };
    uint32_t code = 0;
    Kind kind = Kind::Fail;
    uint32_t onCall = 0;  // first call (1-based, counted from arming) that it hits; 0 = next
    uint32_t times = 0;   // calls it hits from then on; 0 = every call
    uint32_t replyBytes = 0;
};

// One request as the emulator saw it.
struct LoggedRequest {
    uint32_t code = 0;
    std::vector<uint8_t> input;
    uint32_t outLen = 0;
    int result = 0;
    uint32_t returned = 0;
};

// The driver and firmware model behind every transport front. All members take one mutex, so
// requests, Tick and the test accessors may run on any threads.
class Emulator : public RequestHandler {
public:
    explicit Emulator(State state = {});

    // Checks the lengths exactly as the request table gives them, applies the request, logs it.
    int Handle(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
               uint32_t* returned) override;

    // Advances running tasks and the battery by one step and plays due script steps.
    void Tick();

    void InjectFault(const Fault& fault);
    void ClearFaults();

    // The most recent requests, oldest first: at most kLogRequests of them, holding at most
    // kLogInputBytes of input between them, so a demo that runs for days stays the size it was.
    static constexpr size_t kLogRequests = 4096;
    static constexpr size_t kLogInputBytes = 16u << 20;
    std::vector<LoggedRequest> RequestLog() const;
    void ClearRequestLog();

    // A copy of the whole state, and a way to change it between requests.
    State Snapshot() const;
    void Modify(const std::function<void(State&)>& change);

private:
    struct ArmedFault {
        Fault fault;
        uint32_t seen = 0;
        uint32_t hits = 0;
    };

    const Fault* PickFault(uint32_t code) REQUIRES(m_mutex);
    int Dispatch(uint32_t code, const uint8_t* in, uint32_t inLen, uint8_t* out, uint32_t outLen,
                 uint32_t* returned) REQUIRES(m_mutex);

    mutable Mutex m_mutex;
    State m_state GUARDED_BY(m_mutex);
    std::vector<ArmedFault> m_faults GUARDED_BY(m_mutex);
    RecentLog<LoggedRequest> m_log GUARDED_BY(m_mutex){kLogRequests, kLogInputBytes};
};

}  // namespace emu
