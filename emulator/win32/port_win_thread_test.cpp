// Miniport requests from several threads are serialised by the named mutex; pass-through
// requests are not held back by it.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "ark.h"
#include "port_win.h"
#include "win32_standin.h"

namespace {

// Counts how many requests are inside the controller at once.
class OverlapMeter : public emu::RequestHandler {
public:
    int Handle(uint32_t, const void*, uint32_t, void* out, uint32_t outLen,
               uint32_t* returned) override {
        const int now = ++m_inside;
        int seen = m_most.load();
        while (now > seen && !m_most.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::yield();
        if (outLen >= 4) std::fill_n(static_cast<uint8_t*>(out), 4, uint8_t{1});
        if (returned != nullptr) *returned = std::min<uint32_t>(outLen, 4);
        --m_inside;
        return 0;
    }
    int Most() const { return m_most.load(); }

private:
    std::atomic<int> m_inside{0};
    std::atomic<int> m_most{0};
};

TEST(WinPortThreads, MiniportRequestsNeverOverlap) {
    emu::win32::Machine machine;
    OverlapMeter meter;
    machine.AddPort(emu::win32::MiniportPort("port0", &meter));
    g_arkMutex = CreateMutexA(nullptr, FALSE, kArkMutexName);
    HANDLE h = CreateFileA("port0", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    CDriverPortWin port(h, "port0");

    constexpr int kThreads = 6, kRequests = 200;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRequests; ++i) {
                uint8_t out[4] = {};
                if (port.Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr) != 0 ||
                    out[0] != 1) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(meter.Most(), 1);
    EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), size_t{kThreads} * kRequests);
    EXPECT_EQ(machine.UnlockedMiniportCalls(), 0u);
    EXPECT_EQ(machine.HeldMutexes(), 0u);
    EXPECT_EQ(machine.BadReleases(), 0u);
    CloseHandle(g_arkMutex.exchange(nullptr));
}

}  // namespace
