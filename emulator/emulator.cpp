#include "emulator.h"

#include <algorithm>
#include <cstring>

#include "ark.h"
#include "model.h"

namespace emu {
namespace {

// Fills the NUL padding of a text field so that it has no terminator.
void Unterminate(uint8_t* field, size_t size) {
    for (size_t i = strnlen(reinterpret_cast<const char*>(field), size); i < size; ++i) {
        field[i] = '#';
    }
}

void UnterminateTexts(uint32_t code, uint8_t* out, uint32_t returned) {
    if (code == ARK_REQ_GET_DRIVER_INFO && returned >= sizeof(ARK_DRIVER_INFO)) {
        Unterminate(out + offsetof(ARK_DRIVER_INFO, driver_name), 12);
    } else if (code == ARK_REQ_GET_CONTROLLER_INFO && returned >= sizeof(ARK_CONTROLLER_INFO)) {
        Unterminate(out + offsetof(ARK_CONTROLLER_INFO, ioc_str), 16);
        Unterminate(out + offsetof(ARK_CONTROLLER_INFO, vendor_str), 16);
        Unterminate(out + offsetof(ARK_CONTROLLER_INFO, fw_rev), 24);
        Unterminate(out + offsetof(ARK_CONTROLLER_INFO, product_str), 40);
        Unterminate(out + offsetof(ARK_CONTROLLER_INFO, sn_str), 24);
    } else if (code == ARK_REQ_GET_VD_INFO && returned >= sizeof(ARK_VD_INFO)) {
        if (out[0] == ARK_VD_TYPE_ARRAY) {
            Unterminate(out + offsetof(ARK_VD_INFO, array.aname), 16);
        } else {
            Unterminate(out + offsetof(ARK_VD_INFO, disk.model), 44);
            Unterminate(out + offsetof(ARK_VD_INFO, disk.serial), 24);
            Unterminate(out + offsetof(ARK_VD_INFO, disk.fwrev), 12);
        }
    }
}

}  // namespace

Emulator::Emulator(State state) : m_state(std::move(state)) {
    for (const auto& [key, value] : DefaultConfig()) m_state.config.emplace(key, value);
}

int Emulator::Handle(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                     uint32_t* returned) {
    MutexLock lock(m_mutex);
    if (returned) *returned = 0;
    LoggedRequest entry;
    entry.code = code;
    entry.outLen = outLen;
    if (in && inLen) {
        const auto* bytes = static_cast<const uint8_t*>(in);
        entry.input.assign(bytes, bytes + inLen);
    }
    uint32_t got = 0;
    int result = model::kFail;
    const Fault* fault = PickFault(code);
    const bool buffersOk = (inLen == 0 || in) && (outLen == 0 || out);
    if (buffersOk && (!fault || fault->kind != Fault::Kind::Fail)) {
        // Work on copies: the caller's input and output may overlap, and a short reply must
        // leave the bytes past its end untouched.
        std::vector<uint8_t> reply(outLen, 0);
        result = Dispatch(code, entry.input.data(), inLen, reply.data(), outLen, &got);
        if (result == model::kOk && fault) {
            if (fault->kind == Fault::Kind::ShortReply) got = std::min(got, fault->replyBytes);
            if (fault->kind == Fault::Kind::Unterminated) UnterminateTexts(code, reply.data(), got);
        }
        if (result == model::kOk) {
            if (got) std::memcpy(out, reply.data(), got);
            if (returned) *returned = got;
        } else {
            got = 0;
        }
    }
    entry.result = result;
    entry.returned = got;
    const size_t bytes = entry.input.size();
    m_log.Add(std::move(entry), bytes);
    return result;
}

int Emulator::Dispatch(uint32_t code, const uint8_t* in, uint32_t inLen, uint8_t* out,
                       uint32_t outLen, uint32_t* returned) {
    if (!model::LengthsValid(code, in, inLen, outLen)) return model::kFail;
    model::Request r{in, inLen, out, outLen, 0};
    const int result = model::Run(m_state, code, r);
    *returned = std::min(r.returned, outLen);
    return result;
}

const Fault* Emulator::PickFault(uint32_t code) {
    const Fault* picked = nullptr;
    for (auto& armed : m_faults) {
        if (armed.fault.code != code) continue;
        ++armed.seen;
        const uint32_t first = armed.fault.onCall ? armed.fault.onCall : 1;
        if (picked || armed.seen < first) continue;
        if (armed.fault.times && armed.hits >= armed.fault.times) continue;
        ++armed.hits;
        picked = &armed.fault;
    }
    return picked;
}

void Emulator::Tick() {
    MutexLock lock(m_mutex);
    model::Advance(m_state);
}

void Emulator::InjectFault(const Fault& fault) {
    MutexLock lock(m_mutex);
    m_faults.push_back({fault, 0, 0});
}

void Emulator::ClearFaults() {
    MutexLock lock(m_mutex);
    m_faults.clear();
}

std::vector<LoggedRequest> Emulator::RequestLog() const {
    MutexLock lock(m_mutex);
    return m_log.Entries();
}

void Emulator::ClearRequestLog() {
    MutexLock lock(m_mutex);
    m_log.Clear();
}

State Emulator::Snapshot() const {
    MutexLock lock(m_mutex);
    return m_state;
}

void Emulator::Modify(const std::function<void(State&)>& change) {
    MutexLock lock(m_mutex);
    change(m_state);
}

}  // namespace emu
