#include "discovery_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ark.h"
#include "domain.h"
#include "fake_controller.h"
#include "port_win.h"
#include "win32_standin.h"

namespace {

using emu::win32::Kind;
using emu::win32::Machine;
using emu::win32::MiniportPort;
using emu::win32::ProcessorOnlyPort;
using emu::win32::StoragePort;

std::string PortPath(int n) {
    return "\\\\?\\scsi#ven_ark#port" + std::to_string(n);
}

// Every test leaves the process as it found it: no domains, no mutex handle.
class WinDiscoveryTest : public testing::Test {
protected:
    ~WinDiscoveryTest() override {
        arkCleanup();
        arkResetDomainsForTest();
    }

    // After the domains are gone, every handle discovery opened was closed, each once.
    void ExpectAllClosedOnce() {
        arkCleanup();
        arkResetDomainsForTest();
        EXPECT_EQ(machine.OpenHandles(Kind::File), 0u);
        EXPECT_EQ(machine.OpenHandles(Kind::Mutex), 0u);
        EXPECT_EQ(machine.OpenHandles(Kind::DeviceInfo), 0u);
        EXPECT_EQ(machine.BadCloses(), 0u);
    }

    Machine machine;
};

TEST_F(WinDiscoveryTest, FindsEachKindOfPort) {
    struct Row {
        const char* name;
        std::function<void(Machine&, FakeController&, FakeController&)> setup;
        int result;
        int domains;
        size_t passThroughCalls;  // pass-through requests during discovery
        size_t openAfter;         // file handles the accepted ports hold
    };
    const Row rows[] = {
        {"miniport port",
         [](Machine& m, FakeController& a, FakeController&) {
             m.AddPort(MiniportPort(PortPath(0), &a));
         },
         0, 1, 0, 1},
        {"processor-only port",
         [](Machine& m, FakeController& a, FakeController&) {
             m.AddPort(ProcessorOnlyPort(PortPath(0), &a, 1, 2, 3));
         },
         0, 1, 1, 1},
        {"port answering neither way",
         [](Machine& m, FakeController& a, FakeController&) {
             StoragePort p = MiniportPort(PortPath(0), &a);
             p.answersMiniport = false;
             m.AddPort(p);
         },
         -1, 0, 0, 0},
        {"processor device of another vendor",
         [](Machine& m, FakeController& a, FakeController&) {
             StoragePort p = ProcessorOnlyPort(PortPath(0), &a, 0, 4, 0);
             p.buses = {{emu::win32::ProcessorUnit(0, 4, 0, "OTHER")}};
             m.AddPort(p);
         },
         -1, 0, 0, 0},
        {"inquiry request fails",
         [](Machine& m, FakeController& a, FakeController&) {
             StoragePort p = ProcessorOnlyPort(PortPath(0), &a, 0, 4, 0);
             p.inquiryFails = true;
             m.AddPort(p);
         },
         -1, 0, 0, 0},
        {"processor device reporting no controller",
         [](Machine& m, FakeController& a, FakeController&) {
             a.count = 0;
             m.AddPort(ProcessorOnlyPort(PortPath(0), &a, 0, 4, 0));
         },
         -1, 0, 1, 0},
        {"port that cannot be opened, then a good one",
         [](Machine& m, FakeController& a, FakeController&) {
             StoragePort bad = MiniportPort(PortPath(0), &a);
             bad.openFails = true;
             m.AddPort(bad);
             m.AddPort(MiniportPort(PortPath(1), &a));
         },
         0, 1, 0, 1},
        {"two ports of one controller",
         [](Machine& m, FakeController& a, FakeController&) {
             a.count = 2;
             m.AddPort(MiniportPort(PortPath(0), &a));
             m.AddPort(MiniportPort(PortPath(1), &a));
         },
         0, 1, 0, 2},
        {"two ports of one controller, one of them processor-only",
         [](Machine& m, FakeController& a, FakeController&) {
             a.count = 2;
             m.AddPort(MiniportPort(PortPath(0), &a));
             m.AddPort(ProcessorOnlyPort(PortPath(1), &a, 0, 1, 0));
         },
         0, 1, 2, 2},
        {"two controllers, each with two ports",
         [](Machine& m, FakeController& a, FakeController& b) {
             a.count = b.count = 2;
             b.pci[1] = 7;
             m.AddPort(MiniportPort(PortPath(0), &a));
             m.AddPort(MiniportPort(PortPath(1), &b));
             m.AddPort(MiniportPort(PortPath(2), &a));
             m.AddPort(MiniportPort(PortPath(3), &b));
         },
         0, 2, 0, 4},
        {"single-controller ports each make a domain",
         [](Machine& m, FakeController& a, FakeController&) {
             m.AddPort(MiniportPort(PortPath(0), &a));
             m.AddPort(MiniportPort(PortPath(1), &a));
         },
         0, 2, 0, 2},
        {"no ports", [](Machine&, FakeController&, FakeController&) {}, -1, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Machine local;
        FakeController a, b;
        row.setup(local, a, b);
        EXPECT_EQ(arkInitialize(), row.result);
        EXPECT_EQ(arkGetDomainCount(), row.domains);
        EXPECT_EQ(local.DeviceCalls(IOCTL_SCSI_PASS_THROUGH), row.passThroughCalls);
        EXPECT_EQ(local.OpenHandles(Kind::File), row.openAfter);
        EXPECT_EQ(local.FrameErrors(), 0u);
        EXPECT_EQ(local.HeldMutexes(), 0u);
        EXPECT_EQ(local.BadReleases(), 0u);
        EXPECT_EQ(local.UnlockedMiniportCalls(), 0u);
        // Every domain answers through the port kind it was found with.
        for (int d = 0; d < arkGetDomainCount(); ++d) {
            EXPECT_GE(arkGetControllerCount(d), 1) << "domain " << d;
        }
        arkCleanup();
        arkResetDomainsForTest();
        EXPECT_EQ(local.OpenHandles(Kind::File), 0u);
        EXPECT_EQ(local.OpenHandles(Kind::Mutex), 0u);
        EXPECT_EQ(local.OpenHandles(Kind::DeviceInfo), 0u);
        EXPECT_EQ(local.Opened(Kind::DeviceInfo), 1u);
        EXPECT_EQ(local.BadCloses(), 0u);
    }
}

TEST_F(WinDiscoveryTest, ProcessorPortUsesTheUnitAddress) {
    FakeController ctrl;
    machine.AddPort(ProcessorOnlyPort(PortPath(0), &ctrl, 2, 0x21, 5));
    ASSERT_EQ(arkInitialize(), 0);
    // The stand-in answers pass-through only at the processor unit's address.
    EXPECT_EQ(arkGetControllerCount(0), 1);
    EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), 1u);  // the miniport try
    EXPECT_EQ(machine.Opened(Kind::File), 1u);                // one handle for both tries
    EXPECT_EQ(machine.LastOpenAccess(), GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(machine.LastOpenShare(), FILE_SHARE_READ | FILE_SHARE_WRITE);
    ExpectAllClosedOnce();
}

TEST_F(WinDiscoveryTest, MutexIsSharedWithEveryAccount) {
    ASSERT_EQ(arkInitialize(), -1);  // no ports, but the mutex is made
    EXPECT_EQ(machine.LastMutexName(), "libaProcessorutex");
    EXPECT_TRUE(machine.LastMutexOpenedWithNullDacl());
    EXPECT_NE(g_arkMutex.load(), nullptr);
    EXPECT_EQ(machine.OpenHandles(Kind::Mutex), 1u);
    ExpectAllClosedOnce();
}

TEST_F(WinDiscoveryTest, CleanupClearsTheMutexAndMiniportRequestsThenFail) {
    FakeController ctrl;
    machine.AddPort(MiniportPort(PortPath(0), &ctrl));
    ASSERT_EQ(arkInitialize(), 0);
    arkCleanup();
    EXPECT_EQ(g_arkMutex.load(), nullptr);
    EXPECT_EQ(machine.OpenHandles(Kind::Mutex), 0u);
    const size_t before = machine.DeviceCalls(IOCTL_SCSI_MINIPORT);
    EXPECT_EQ(arkGetControllerCount(0), -1);
    EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), before);
    arkCleanup();  // a second cleanup closes nothing twice
    EXPECT_EQ(machine.BadCloses(), 0u);
    // A new initialisation brings the requests back (and appends the controller again).
    EXPECT_EQ(arkInitialize(), 0);
    EXPECT_EQ(arkGetControllerCount(0), 1);
    ExpectAllClosedOnce();
}

TEST_F(WinDiscoveryTest, SecondInitializeReplacesTheHandleOnlyWhenItHasANewOne) {
    FakeController ctrl;
    machine.AddPort(MiniportPort(PortPath(0), &ctrl));
    ASSERT_EQ(arkInitialize(), 0);
    HANDLE first = g_arkMutex.load();

    ASSERT_EQ(arkInitialize(), 0);
    EXPECT_NE(g_arkMutex.load(), first);
    EXPECT_EQ(machine.OpenHandles(Kind::Mutex), 1u);
    EXPECT_EQ(arkGetDomainCount(), 2);

    struct Row {
        const char* name;
        bool failDescriptor;
        bool failCreate;
    };
    const Row rows[] = {{"descriptor fails", true, false}, {"mutex open fails", false, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HANDLE kept = g_arkMutex.load();
        machine.FailSecurityDescriptor(row.failDescriptor);
        machine.FailCreateMutex(row.failCreate);
        EXPECT_EQ(arkInitialize(), 0);  // the kept handle still serves the scan
        EXPECT_EQ(g_arkMutex.load(), kept);
        EXPECT_EQ(machine.OpenHandles(Kind::Mutex), 1u);
        EXPECT_EQ(arkGetControllerCount(0), 1);
        machine.FailSecurityDescriptor(false);
        machine.FailCreateMutex(false);
    }
    ExpectAllClosedOnce();
}

TEST_F(WinDiscoveryTest, NoMutexMeansNoScan) {
    FakeController ctrl;
    machine.AddPort(MiniportPort(PortPath(0), &ctrl));
    machine.FailCreateMutex(true);
    EXPECT_EQ(arkInitialize(), -1);
    EXPECT_EQ(arkGetDomainCount(), 0);
    EXPECT_EQ(machine.Opened(Kind::DeviceInfo), 0u);
    EXPECT_EQ(machine.Opened(Kind::File), 0u);
    ExpectAllClosedOnce();
}

TEST_F(WinDiscoveryTest, EnumerationFailureFindsNothingButKeepsTheMutex) {
    FakeController ctrl;
    machine.AddPort(MiniportPort(PortPath(0), &ctrl));
    machine.FailClassDevs(true);
    EXPECT_EQ(arkInitialize(), -1);
    EXPECT_EQ(machine.Opened(Kind::File), 0u);
    EXPECT_EQ(machine.OpenHandles(Kind::Mutex), 1u);
    ExpectAllClosedOnce();
}

TEST_F(WinDiscoveryTest, MalformedInquiryDataIsSkipped) {
    // Raw inquiry replies that lie about their chains; none may be read past (ASan) and
    // none yields a port.
    auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto unitAt = [&](size_t size, uint32_t at, uint32_t length, uint32_t next) {
        std::vector<uint8_t> b(size);
        b[0] = 1;
        b[4] = 255;
        put32(b, 8, at);
        if (at + 12 <= size) {
            put32(b, at + 4, length);
            put32(b, at + 8, next);
        }
        return b;
    };
    struct Row {
        const char* name;
        std::vector<uint8_t> raw;
        std::optional<DWORD> returned;
    };
    const Row rows[] = {
        {"vendor bytes past the buffer", unitAt(32768, 32750, 36, 0), std::nullopt},
        {"returned count beyond the buffer", unitAt(32768, 32740, 36, 0), 70000},
        {"length field wraps", unitAt(32768, 12, 0xFFFFFFF8u, 12), std::nullopt},
        {"chain loops", unitAt(32768, 12, 36, 12), std::nullopt},
        {"bus count with no bus entries", std::vector<uint8_t>{255}, std::nullopt},
        {"nothing returned", std::vector<uint8_t>{}, std::nullopt},
        {"short reply claiming more", std::vector<uint8_t>{1, 0, 0, 0, 3}, 32768},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Machine local;
        FakeController ctrl;
        StoragePort port = ProcessorOnlyPort(PortPath(0), &ctrl, 0, 0, 0);
        port.rawInquiry = row.raw;
        port.inquiryReturned = row.returned;
        local.AddPort(port);
        EXPECT_EQ(arkInitialize(), -1);
        EXPECT_EQ(local.DeviceCalls(IOCTL_SCSI_GET_INQUIRY_DATA), 1u);
        EXPECT_EQ(local.OpenHandles(Kind::File), 0u);
        EXPECT_EQ(local.BadCloses(), 0u);
        arkCleanup();
    }
}

}  // namespace
