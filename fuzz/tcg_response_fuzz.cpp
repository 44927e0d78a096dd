// A drive's replies as the TCG stack reads them: any bytes as an IF-RECV buffer (split into
// tokens, every token read as every kind, the session's status rules applied) and as a Level 0
// Discovery response (decoded and printed). Nothing may be read outside the buffers.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "tcg_command.h"
#include "tcg_dev_opal.h"
#include "tcg_disk_type.h"
#include "tcg_response.h"
#include "tcg_session.h"

namespace {

// Answers every receive with the fuzz input, cut or zero-filled to the buffer.
class InputDrive : public TcgDiskType {
public:
    InputDrive(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t init(const char*) override { return 1; }
    uint8_t sendCmd(uint8_t cmd, uint8_t, uint16_t, void* buffer, uint32_t length) override {
        if (cmd == 0x5C) {
            std::memset(buffer, 0, length);
            std::memcpy(buffer, data_, std::min<size_t>(size_, length));
        }
        return 0;
    }
    void identify(TcgDiskInfo&) override {}

private:
    const uint8_t* data_;
    size_t size_;
};

class InputDevice : public TcgDevOpal2 {
public:
    InputDevice(const uint8_t* data, size_t size) {
        transport = std::make_unique<InputDrive>(data, size);
        opened = 1;
    }
    ~InputDevice() override { activeSession.reset(); }
    void sleepMs(uint32_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The printouts go nowhere: only what they read matters.
    FILE* sink = std::freopen("/dev/null", "w", stdout);
    (void)sink;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly sized, so that any read past the input is caught.
    std::vector<uint8_t> copy(data, data + size);
    TcgResponse response;
    response.init(copy.data(), copy.size());
    for (uint32_t i = 0; i <= response.getTokenCount(); ++i) {
        (void)response.tokenIs(i);
        (void)response.getUint64(i);
        (void)response.getUint8(i);
        (void)response.getString(i);
    }

    InputDevice dev(data, size);
    dev.discovery0();
    dev.puke();

    TcgSession session(&dev);
    TcgCommand cmd(OPAL_THISSP_UID, GET);
    cmd.addToken(STARTLIST);
    cmd.addToken(ENDLIST);
    cmd.complete(1);
    TcgResponse reply;
    (void)session.sendCommand(cmd, reply);
    (void)dev.properties();
    dev.puke();
    return 0;
}
