#include "port_win.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ark.h"
#include "fake_controller.h"
#include "win32_standin.h"

namespace {

using emu::win32::Kind;
using emu::win32::Machine;
using emu::win32::PassThroughReply;
using testing::Each;
using testing::ElementsAre;
using testing::ElementsAreArray;

constexpr char kMiniportPath[] = "\\\\?\\scsi#port0";
constexpr char kProcessorPath[] = "\\\\?\\scsi#port1";

// A machine with one miniport-only and one processor-only port on the same controller, and
// this process holding the named mutex the way arkInitialize leaves it.
class WinPortTest : public testing::Test {
protected:
    WinPortTest() {
        machine.AddPort(emu::win32::MiniportPort(kMiniportPath, &controller));
        machine.AddPort(emu::win32::ProcessorOnlyPort(kProcessorPath, &controller, 1, 2, 3));
        g_arkMutex = CreateMutexA(nullptr, FALSE, kArkMutexName);
    }
    ~WinPortTest() override {
        if (HANDLE mutex = g_arkMutex.exchange(nullptr)) CloseHandle(mutex);
    }

    std::unique_ptr<CDriverPortWin> Miniport() {
        HANDLE h =
            CreateFileA(kMiniportPath, GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        return std::make_unique<CDriverPortWin>(h, kMiniportPath);
    }
    std::unique_ptr<CProcessorPort> Processor() {
        HANDLE h =
            CreateFileA(kProcessorPath, GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        return std::make_unique<CProcessorPort>(h, kProcessorPath, 1u << 16 | 2u << 8 | 3u);
    }

    void ExpectMutexBalanced() {
        EXPECT_EQ(machine.HeldMutexes(), 0u);
        EXPECT_EQ(machine.BadReleases(), 0u);
        EXPECT_EQ(machine.UnlockedMiniportCalls(), 0u);
    }

    Machine machine;
    FakeController controller;
};

TEST_F(WinPortTest, MiniportCarriesRequestAndReply) {
    controller.reply = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t in[] = {0xA1, 0xA2, 0xA3, 0xA4};
    uint8_t out[8] = {};
    uint32_t got = 99;
    auto port = Miniport();
    EXPECT_STREQ(port->GetPath(), kMiniportPath);
    ASSERT_EQ(port->Ioctl(ARK_REQ_GET_VD_INFO, in, sizeof(in), out, sizeof(out), &got), 0);
    EXPECT_THAT(out, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8));
    EXPECT_EQ(got, 8u);
    ASSERT_EQ(controller.requests.size(), 1u);
    EXPECT_EQ(controller.requests[0].code, ARK_REQ_GET_VD_INFO);
    EXPECT_THAT(controller.requests[0].in, ElementsAreArray(in));
    EXPECT_EQ(controller.requests[0].outLen, 8u);
    EXPECT_EQ(machine.FrameErrors(), 0u);
    EXPECT_EQ(machine.MutexWaits(), 1u);
    EXPECT_EQ(machine.MutexReleases(), 1u);
    ExpectMutexBalanced();
}

TEST_F(WinPortTest, MiniportRetriesOnlyGeneralFailure) {
    struct Row {
        const char* name;
        std::vector<DWORD> errors;
        int result;
        size_t calls;
        std::vector<DWORD> sleeps;
    };
    const Row rows[] = {
        {"busy three times, then done", {31, 31, 31}, 0, 4, {500, 500, 500}},
        {"busy four times", {31, 31, 31, 31}, -1, 4, {500, 500, 500}},
        {"other error", {5}, -1, 1, {}},
        {"busy, then another error", {31, 1117}, -1, 2, {500}},
        {"no error", {}, 0, 1, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Machine local;  // fresh counters for the row
        FakeController ctrl;
        local.AddPort(emu::win32::MiniportPort(kMiniportPath, &ctrl));
        HANDLE mutex = CreateMutexA(nullptr, FALSE, kArkMutexName);
        HANDLE previous = g_arkMutex.exchange(mutex);
        local.ScriptMiniportErrors(row.errors);
        HANDLE h =
            CreateFileA(kMiniportPath, GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        {
            CDriverPortWin port(h, kMiniportPath);
            uint8_t out[4] = {};
            EXPECT_EQ(port.Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr),
                      row.result);
        }
        EXPECT_EQ(local.DeviceCalls(IOCTL_SCSI_MINIPORT), row.calls);
        EXPECT_EQ(local.Sleeps(), row.sleeps);
        EXPECT_EQ(local.HeldMutexes(), 0u);
        EXPECT_EQ(local.BadReleases(), 0u);
        EXPECT_EQ(local.MutexWaits(), local.MutexReleases());
        CloseHandle(g_arkMutex.exchange(previous));
        EXPECT_EQ(local.OpenHandles(Kind::File), 0u);
        EXPECT_EQ(local.BadCloses(), 0u);
    }
}

TEST_F(WinPortTest, MiniportFailsWhenTheWaitDoesNotGrantTheMutex) {
    struct Row {
        const char* name;
        DWORD wait;
        size_t releases;
    };
    const Row rows[] = {
        {"abandoned: ours, given back", WAIT_ABANDONED, 1},
        {"failed", WAIT_FAILED, 0},
        {"timed out", WAIT_TIMEOUT, 0},
    };
    auto port = Miniport();
    size_t releases = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine.ScriptWaitResults({row.wait});
        uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        EXPECT_EQ(port->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr), -1);
        EXPECT_THAT(out, Each(0xEE));
        releases += row.releases;
        EXPECT_EQ(machine.MutexReleases(), releases);
        EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), 0u);
        ExpectMutexBalanced();
    }
    // The mutex is free again: the next request goes through.
    uint8_t out[4] = {};
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr), 0);
    ExpectMutexBalanced();
}

TEST_F(WinPortTest, MiniportWithoutMutexFailsUnsent) {
    auto port = Miniport();
    CloseHandle(g_arkMutex.exchange(nullptr));
    uint8_t out[4] = {};
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr), -1);
    EXPECT_EQ(machine.MutexWaits(), 0u);
    EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), 0u);
}

TEST_F(WinPortTest, MiniportShortReplyCountsZeroButCopiesTheZeroedBuffer) {
    // The controller writes 2 of 8 bytes; what the driver reports returned varies.
    struct Row {
        const char* name;
        DWORD returned;
        uint32_t bytesReturned;
    };
    const uint32_t header = 36 + 4;
    const Row rows[] = {
        {"two bytes past the input", header + 2, 2},
        {"exactly the input", header, 0},
        {"less than the header", 10, 0},
        {"nothing", 0, 0},
    };
    controller.reply = {0x11, 0x22};
    auto port = Miniport();
    const uint8_t in[4] = {9, 9, 9, 9};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine.SetMiniportReturned(row.returned);
        uint8_t out[8];
        std::memset(out, 0xAA, sizeof(out));
        uint32_t got = 99;
        ASSERT_EQ(port->Ioctl(ARK_REQ_GET_VD_INFO, in, 4, out, 8, &got), 0);
        EXPECT_EQ(got, row.bytesReturned);
        EXPECT_THAT(out, ElementsAre(0x11, 0x22, 0, 0, 0, 0, 0, 0));
    }
}

TEST_F(WinPortTest, NullOutputIsNeverWritten) {
    controller.reply = {1, 2, 3, 4};
    auto miniport = Miniport();
    auto processor = Processor();
    uint32_t got = 0;
    EXPECT_EQ(miniport->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, nullptr, 4, &got), 0);
    EXPECT_EQ(processor->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, nullptr, 4, &got), 0);
    EXPECT_EQ(miniport->Ioctl(ARK_REQ_CLEAR_PCACHE, nullptr, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(processor->Ioctl(ARK_REQ_CLEAR_PCACHE, nullptr, 0, nullptr, 0, nullptr), 0);
    ExpectMutexBalanced();
}

TEST_F(WinPortTest, FramesThatDoNotFitFailUnsent) {
    struct Row {
        const char* name;
        bool processor;
        uint32_t inLen;
        uint32_t outLen;
    };
    const Row rows[] = {
        {"miniport, input near 4 GiB", false, 0xFFFFFFE0u, 0},
        {"miniport, input and output together", false, 0x80000000u, 0x80000000u},
        {"processor, input near 4 GiB", true, 0xFFFFFFB0u, 0},
        {"processor, output near 4 GiB", true, 0, 0xFFFFFFB0u},
    };
    auto miniport = Miniport();
    auto processor = Processor();
    uint8_t small[4] = {};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CDriverPort& port = row.processor ? static_cast<CDriverPort&>(*processor) : *miniport;
        SetLastError(0);
        EXPECT_EQ(port.Ioctl(ARK_REQ_FLASH, small, row.inLen, small, row.outLen, nullptr), -1);
        EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    }
    EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), 0u);
    EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_PASS_THROUGH), 0u);
    ExpectMutexBalanced();
}

TEST_F(WinPortTest, MissingInputFailsUnsent) {
    auto miniport = Miniport();
    auto processor = Processor();
    uint8_t out[4];
    EXPECT_EQ(miniport->Ioctl(ARK_REQ_INIT_DISK, nullptr, 4, out, 0, nullptr), -1);
    EXPECT_EQ(processor->Ioctl(ARK_REQ_INIT_DISK, nullptr, 4, out, 0, nullptr), -1);
    EXPECT_TRUE(controller.requests.empty());
}

TEST_F(WinPortTest, ControllerFailureFailsAtOnce) {
    controller.fail = true;
    auto miniport = Miniport();
    auto processor = Processor();
    uint8_t out[4];
    EXPECT_EQ(miniport->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr), -1);
    EXPECT_EQ(processor->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr), -1);
    EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), 1u);
    EXPECT_TRUE(machine.Sleeps().empty());
    ExpectMutexBalanced();
}

TEST_F(WinPortTest, ProcessorCarriesRequestWithoutMutex) {
    controller.reply = {5, 6, 7};
    const uint8_t in[8] = {1, 0, 0, 0, 2, 0, 0, 0};
    uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    uint32_t got = 99;
    auto port = Processor();
    ASSERT_EQ(port->Ioctl(ARK_REQ_ARRAY_TASK_CTL, in, sizeof(in), out, sizeof(out), &got), 0);
    EXPECT_EQ(got, 3u);
    EXPECT_THAT(out, ElementsAre(5, 6, 7, 0xAA));
    ASSERT_EQ(controller.requests.size(), 1u);
    EXPECT_EQ(controller.requests[0].code, ARK_REQ_ARRAY_TASK_CTL);
    EXPECT_THAT(controller.requests[0].in, ElementsAreArray(in));
    EXPECT_EQ(controller.requests[0].outLen, 4u);
    EXPECT_EQ(machine.FrameErrors(), 0u);
    EXPECT_EQ(machine.MutexWaits(), 0u);
}

TEST_F(WinPortTest, ProcessorCutsTransferToOutputLength) {
    controller.reply = {1, 2, 3, 4, 5, 6, 7, 8};
    machine.ScriptPassThrough({{0, {}, 200u}});
    auto port = Processor();
    std::vector<uint8_t> out(4);  // exact size, so an overrun shows under ASan
    uint32_t got = 0;
    ASSERT_EQ(port->Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, out.data(), 4, &got), 0);
    EXPECT_EQ(got, 4u);
    EXPECT_THAT(out, ElementsAre(1, 2, 3, 4));
}

TEST_F(WinPortTest, SenseDecidesSuccess) {
    struct Row {
        const char* name;
        uint8_t status;
        std::vector<uint8_t> sense;
        int result;
    };
    const Row rows[] = {
        {"good", 0x00, {}, 0},
        {"recovered, fixed format", 0x02, {0x70, 0x00, 0x01}, 0},
        {"recovered, fixed format, information valid", 0x02, {0xF0, 0x00, 0x01}, 0},
        {"recovered, fixed format, flag bits above the key", 0x02, {0x70, 0x00, 0xE1}, 0},
        {"recovered, descriptor format", 0x02, {0x72, 0x01}, 0},
        {"deferred, fixed format", 0x02, {0x71, 0x00, 0x01}, -1},
        {"deferred, descriptor format", 0x02, {0x73, 0x01}, -1},
        {"illegal request", 0x02, {0x70, 0x00, 0x05}, -1},
        {"not ready, descriptor format", 0x02, {0x72, 0x02}, -1},
        {"no sense", 0x02, {0x70, 0x00, 0x00}, -1},
        {"check condition without sense bytes", 0x02, {}, -1},
        {"busy", 0x08, {}, -1},
        {"reservation conflict", 0x18, {0x70, 0x00, 0x01}, -1},
        {"task set full", 0x28, {}, -1},
    };
    controller.reply = {0x42, 0, 0, 0};
    auto port = Processor();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine.ScriptPassThrough({{row.status, row.sense, std::nullopt}});
        uint8_t out[4] = {};
        EXPECT_EQ(port->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, out, 4, nullptr),
                  row.result);
    }
}

TEST_F(WinPortTest, PortClosesItsHandleOnceUnlessDetached) {
    {
        auto port = Miniport();
        auto other = Processor();
        HANDLE detached = other->DetachHandle();
        other.reset();
        EXPECT_EQ(machine.OpenHandles(Kind::File), 2u);
        CloseHandle(detached);
    }
    EXPECT_EQ(machine.OpenHandles(Kind::File), 0u);
    EXPECT_EQ(machine.BadCloses(), 0u);
}

}  // namespace
