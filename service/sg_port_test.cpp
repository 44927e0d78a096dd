#include "sg_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "ark.h"
#include "domain.h"
#include "sg_front.h"

namespace {

constexpr uint32_t kNoLimit = 0xFFFFFFFFu;

// A controller that answers the discovery requests from its settings and every other request
// with a byte pattern, recording what reached it.
class FakeController : public emu::RequestHandler {
public:
    struct Request {
        uint32_t code;
        std::vector<uint8_t> in;
        uint32_t outLen;
    };

    explicit FakeController(uint32_t controllers = 1, std::array<uint8_t, 4> pci = {0, 3, 0, 0},
                            uint32_t tag = 0)
        : m_controllers(controllers), m_pci(pci), m_tag(tag) {}

    // At most this many output bytes are returned for a patterned reply.
    void SetReplyLimit(uint32_t limit) { m_replyLimit = limit; }

    int Handle(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
               uint32_t* returned) override {
        std::lock_guard lock(m_mutex);
        const auto* bytes = static_cast<const uint8_t*>(in);
        m_requests.push_back({code, std::vector<uint8_t>(bytes, bytes + inLen), outLen});
        uint32_t n = 0;
        auto* reply = static_cast<uint8_t*>(out);
        if (code == ARK_REQ_GET_CONTROLLER_COUNT || code == ARK_REQ_GET_PCACHE_SIZE) {
            if (inLen != 0 || outLen != 4) return -1;
            const uint32_t value = code == ARK_REQ_GET_CONTROLLER_COUNT ? m_controllers : m_tag;
            std::memcpy(reply, &value, 4);
            n = 4;
        } else if (code == ARK_REQ_GET_CONTROLLER_INFO) {
            if (inLen != 4 || outLen != sizeof(ARK_CONTROLLER_INFO)) return -1;
            ARK_CONTROLLER_INFO info{};
            std::memcpy(&info.pci_tree, m_pci.data(), 4);
            std::memcpy(reply, &info, sizeof info);
            n = sizeof info;
        } else {
            n = std::min(outLen, m_replyLimit);
            for (uint32_t i = 0; i < n; ++i) reply[i] = static_cast<uint8_t>(0xA0 + i);
        }
        if (returned != nullptr) *returned = n;
        return 0;
    }

    std::vector<Request> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    const uint32_t m_controllers;
    const std::array<uint8_t, 4> m_pci;
    const uint32_t m_tag;
    uint32_t m_replyLimit = kNoLimit;
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
};

class SgPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        arkResetDomainsForTest();
        SetSgSys(&front);
    }
    void TearDown() override {
        arkResetDomainsForTest();
        SetSgSys(nullptr);
        EXPECT_EQ(front.BadCloses(), 0);
    }

    void addNode(const std::string& name, emu::RequestHandler* handler, uint8_t type = 3) {
        emu::SgNode node;
        node.name = name;
        node.handler = handler;
        node.deviceType = type;
        front.AddNode(node);
    }

    // A port on /dev/<name>, opened the way discovery opens it.
    std::unique_ptr<CSgFilePort> openPort(const std::string& name) {
        const std::string path = "/dev/" + name;
        const int fd = front.Open(path.c_str(), O_RDWR);
        EXPECT_GE(fd, 0) << path;
        return std::make_unique<CSgFilePort>(path.c_str(), fd, front);
    }

    FakeController controller;
    emu::SgFront front;
};

// The frame of one request as the driver receives it: CDB bytes, header fields and a zeroed
// transfer buffer that starts with the input.
TEST_F(SgPortTest, SendsTheVendorCommandInOneBidirectionalTransfer) {
    struct FrameCase {
        const char* name;
        uint32_t code;
        uint32_t inLen;
        uint32_t outLen;
        std::vector<uint8_t> cdb;
    };
    const FrameCase cases[] = {
        {"driver info",
         ARK_REQ_GET_DRIVER_INFO,
         0,
         64,
         {0x02, 'A', 'R', 'K', 0x01, 0x00, 0x00, 0x80, 0, 0, 0, 0, 0x40, 0, 0, 0}},
        {"device info",
         ARK_REQ_GET_VD_INFO,
         4,
         336,
         {0x02, 'A', 'R', 'K', 0x06, 0x00, 0x00, 0x80, 4, 0, 0, 0, 0x50, 0x01, 0, 0}},
        {"raid capacity, input longer than output",
         ARK_REQ_GET_RAID_CAPACITY,
         296,
         8,
         {0x02, 'A', 'R', 'K', 0x09, 0x00, 0x00, 0x80, 0x28, 0x01, 0, 0, 8, 0, 0, 0}},
        {"flash write",
         ARK_REQ_FLASH,
         1040,
         0,
         {0x02, 'A', 'R', 'K', 0x0A, 0x00, 0x00, 0xC0, 0x10, 0x04, 0, 0, 0, 0, 0, 0}},
        {"large read",
         ARK_REQ_GET_PD_LIST,
         0,
         70000,
         {0x02, 'A', 'R', 'K', 0x05, 0x00, 0x00, 0x80, 0, 0, 0, 0, 0x70, 0x11, 0x01, 0}},
    };
    addNode("sg0", &controller);
    auto port = openPort("sg0");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        front.ClearCalls();
        std::vector<uint8_t> in(c.inLen);
        for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7 + 1);
        std::vector<uint8_t> out(c.outLen);
        uint32_t returned = 12345;
        ASSERT_EQ(port->Ioctl(c.code, in.data(), c.inLen, out.data(), c.outLen, &returned), 0);

        const auto calls = front.Calls();
        ASSERT_FALSE(calls.empty());
        const emu::SgCall& call = calls.back();
        EXPECT_EQ(call.cdb, c.cdb);
        EXPECT_EQ(call.interfaceId, 'S');
        EXPECT_EQ(call.direction, -4);
        EXPECT_EQ(call.cmdLen, 16u);
        EXPECT_EQ(call.mxSbLen, 32u);
        EXPECT_TRUE(call.hasSenseBuffer);
        EXPECT_EQ(call.timeout, 20000u);
        const uint32_t size = std::max(c.inLen, c.outLen);
        EXPECT_EQ(call.dxferLen, size);
        std::vector<uint8_t> expectedData = in;
        expectedData.resize(size, 0);  // the tail past the input is zero, never stale heap
        EXPECT_EQ(call.data, expectedData);

        const auto requests = controller.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().code, c.code);
        EXPECT_EQ(requests.back().in, in);
        EXPECT_EQ(requests.back().outLen, c.outLen);
        EXPECT_EQ(returned, c.outLen);
        for (uint32_t i = 0; i < c.outLen; ++i)
            ASSERT_EQ(out[i], static_cast<uint8_t>(0xA0 + i)) << "output byte " << i;
    }
}

// The first request finds the request number the driver answers; later requests use it at once.
TEST_F(SgPortTest, FirstRequestChoosesTheRequestNumber) {
    struct NumberCase {
        const char* name;
        bool rejectExtended;
        std::vector<unsigned long> firstCalls;
        unsigned long laterNumber;
    };
    const NumberCase cases[] = {
        {"driver rejects the extended number", true, {0xFFFF2285ul, 0x2285ul}, 0x2285ul},
        {"driver answers the extended number", false, {0xFFFF2285ul}, 0xFFFF2285ul},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        emu::SgFront nodes;
        emu::SgNode node;
        node.name = "sg0";
        node.handler = &controller;
        node.faults.rejectExtendedRequest = c.rejectExtended;
        nodes.AddNode(node);
        const int fd = nodes.Open("/dev/sg0", O_RDWR);
        CSgFilePort port("/dev/sg0", fd, nodes);
        uint32_t value = 0;

        ASSERT_EQ(port.Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, &value, 4, nullptr), 0);
        std::vector<unsigned long> numbers;
        for (const auto& call : nodes.Calls()) numbers.push_back(call.request);
        EXPECT_EQ(numbers, c.firstCalls);

        for (int i = 0; i < 3; ++i) {
            nodes.ClearCalls();
            ASSERT_EQ(port.Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, &value, 4, nullptr), 0);
            const auto calls = nodes.Calls();
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].request, c.laterNumber);
        }
    }
}

TEST_F(SgPortTest, AFailedFirstRequestStillSettlesOnPlainSgIo) {
    emu::SgNode node;
    node.name = "sg0";
    node.handler = &controller;
    node.faults.rejectExtendedRequest = true;
    node.faults.ioctlFails = true;
    front.AddNode(node);
    auto port = openPort("sg0");
    uint32_t value = 0;
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, &value, 4, nullptr), -1);
    EXPECT_EQ(front.Calls().size(), 2u);

    front.ClearCalls();
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, &value, 4, nullptr), -1);
    const auto calls = front.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].request, 0x2285ul);
}

// The emulated front serves the demo for days: its call log keeps only the latest calls.
TEST_F(SgPortTest, TheFrontKeepsOnlyItsLatestCalls) {
    emu::SgNode node;
    node.name = "sg0";
    node.handler = &controller;
    front.AddNode(node);
    auto port = openPort("sg0");
    uint32_t value = 0;
    for (size_t i = 0; i < emu::SgFront::kCallsKept + 10; ++i)
        ASSERT_EQ(port->Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, &value, 4, nullptr), 0);
    EXPECT_EQ(front.Calls().size(), emu::SgFront::kCallsKept);
}

// A second request that starts while the first is still finding the request number: played
// deterministically by issuing it from inside the first one's system call.
TEST_F(SgPortTest, RequestRacingTheFirstNeverUsesARejectedNumber) {
    struct Interleaving : CSgSys {
        emu::SgFront& next;
        CSgFilePort* port = nullptr;
        int innerResult = 1;
        explicit Interleaving(emu::SgFront& f) : next(f) {}
        int ListDir(const char* dir, std::vector<std::string>& names) override {
            return next.ListDir(dir, names);
        }
        int Open(const char* path, int flags) override { return next.Open(path, flags); }
        int Close(int fd) override { return next.Close(fd); }
        int Ioctl(int fd, unsigned long request, sg_io_hdr* hdr) override {
            if (innerResult == 1 && port != nullptr) {
                innerResult = -2;  // once only
                uint32_t value = 0;
                innerResult = port->Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, &value, 4, nullptr);
            }
            return next.Ioctl(fd, request, hdr);
        }
    };
    emu::SgNode node;
    node.name = "sg0";
    node.handler = &controller;
    node.faults.rejectExtendedRequest = true;
    front.AddNode(node);
    Interleaving sys(front);
    CSgFilePort port("/dev/sg0", sys.Open("/dev/sg0", O_RDWR), sys);
    sys.port = &port;
    uint32_t value = 0;
    EXPECT_EQ(port.Ioctl(ARK_REQ_GET_PCACHE_SIZE, nullptr, 0, &value, 4, nullptr), 0);
    EXPECT_EQ(sys.innerResult, 0);
}

// Success needs a clean transfer: no host error, no driver error beyond attached sense, and a
// good status or a recovered error.
TEST_F(SgPortTest, ReplyStatusDecidesSuccess) {
    struct StatusCase {
        const char* name;
        emu::SgNodeFaults faults;
        int expected;
    };
    auto faults = [](uint16_t host, uint16_t driver, uint8_t status, std::vector<uint8_t> sense) {
        emu::SgNodeFaults f;
        f.hostStatus = host;
        f.driverStatus = driver;
        f.scsiStatus = status;
        f.sense = std::move(sense);
        return f;
    };
    emu::SgNodeFaults ioctlFails;
    ioctlFails.ioctlFails = true;
    const StatusCase cases[] = {
        {"clean", faults(0, 0, 0x00, {}), 0},
        {"host error (DID_ERROR)", faults(0x07, 0, 0x00, {}), -1},
        {"host time-out", faults(0x03, 0, 0x00, {}), -1},
        {"driver sense only, good status", faults(0, 0x08, 0x00, {0x70, 0, 0x00}), 0},
        {"driver time-out", faults(0, 0x06, 0x00, {}), -1},
        {"driver sense with a retry suggestion", faults(0, 0x18, 0x00, {}), -1},
        {"recovered error, fixed format", faults(0, 0x08, 0x02, {0x70, 0x00, 0x01}), 0},
        {"recovered error, fixed format with VALID bit",
         faults(0, 0x08, 0x02, {0xF0, 0x00, 0x01, 0, 0, 0, 0, 10}), 0},
        {"recovered error, descriptor format", faults(0, 0x08, 0x02, {0x72, 0x01, 0x17, 0x01}), 0},
        {"deferred error, fixed format", faults(0, 0x08, 0x02, {0x71, 0x00, 0x01}), -1},
        {"deferred error, descriptor format", faults(0, 0x08, 0x02, {0x73, 0x01}), -1},
        {"illegal request", faults(0, 0x08, 0x02, {0x70, 0x00, 0x05, 0, 0, 0, 0, 10}), -1},
        {"medium error, descriptor format", faults(0, 0x08, 0x02, {0x72, 0x03}), -1},
        {"check condition without sense", faults(0, 0x00, 0x02, {}), -1},
        {"sense cut before the key byte", faults(0, 0x08, 0x02, {0x70, 0x00}), -1},
        {"recovered error but host error", faults(0x07, 0x08, 0x02, {0x70, 0x00, 0x01}), -1},
        {"busy", faults(0, 0, 0x08, {}), -1},
        {"reservation conflict", faults(0, 0, 0x18, {}), -1},
        {"ioctl fails", ioctlFails, -1},
    };
    addNode("sg0", &controller);
    auto port = openPort("sg0");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        front.SetFaults("sg0", c.faults);
        std::array<uint8_t, 64> out{};
        uint32_t returned = 777;
        EXPECT_EQ(port->Ioctl(ARK_REQ_GET_DRIVER_INFO, nullptr, 0, out.data(), 64, &returned),
                  c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(returned, 64u);
            EXPECT_EQ(out[5], 0xA5);
        } else {
            EXPECT_EQ(returned, 777u) << "a failed request reports no byte count";
            EXPECT_EQ(out[5], 0) << "a failed request leaves the caller's buffer alone";
        }
    }
}

// The byte count is what the driver transferred, never beyond the caller's buffer nor below 0.
TEST_F(SgPortTest, ResidIsClippedToTheCallersBuffer) {
    struct ResidCase {
        const char* name;
        uint32_t inLen;
        uint32_t outLen;
        uint32_t replyLimit;
        std::optional<int> resid;
        uint32_t expected;
    };
    const ResidCase cases[] = {
        {"full reply", 0, 64, kNoLimit, std::nullopt, 64},
        {"short reply", 0, 64, 10, std::nullopt, 10},
        {"input longer than output", 296, 8, kNoLimit, std::nullopt, 8},
        {"resid 0 on a long input", 296, 8, kNoLimit, 0, 8},
        {"resid beyond the transfer", 0, 64, kNoLimit, 1000, 0},
        {"negative resid", 0, 64, kNoLimit, -5, 64},
        {"resid equal to the transfer", 4, 132, kNoLimit, 132, 0},
    };
    addNode("sg0", &controller);
    auto port = openPort("sg0");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        controller.SetReplyLimit(c.replyLimit);
        emu::SgNodeFaults f;
        f.resid = c.resid;
        front.SetFaults("sg0", f);
        std::vector<uint8_t> in(c.inLen, 0x11);
        std::vector<uint8_t> out(c.outLen + 16, 0xCC);  // guard bytes past outLen
        uint32_t returned = 777;
        ASSERT_EQ(
            port->Ioctl(ARK_REQ_GET_LD_LIST, in.data(), c.inLen, out.data(), c.outLen, &returned),
            0);
        EXPECT_EQ(returned, c.expected);
        for (size_t i = c.expected; i < out.size(); ++i)
            ASSERT_EQ(out[i], 0xCC) << "byte " << i << " was written past the count";
    }
}

TEST_F(SgPortTest, ZeroLengthAndNullBuffers) {
    addNode("sg0", &controller);
    auto port = openPort("sg0");

    uint32_t returned = 777;
    EXPECT_EQ(port->Ioctl(ARK_REQ_RESCAN_DEVICES, nullptr, 0, nullptr, 0, &returned), 0);
    EXPECT_EQ(returned, 0u);
    auto calls = front.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().dxferLen, 0u);
    EXPECT_EQ(controller.Requests().back().code, ARK_REQ_RESCAN_DEVICES);

    // Null output with a length: the request runs, nothing is written through the null pointer.
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_DRIVER_INFO, nullptr, 0, nullptr, 64, nullptr), 0);
    EXPECT_EQ(controller.Requests().back().outLen, 64u);

    // Null input with a length cannot be sent.
    front.ClearCalls();
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_VD_INFO, nullptr, 4, nullptr, 0, nullptr), -1);
    EXPECT_TRUE(front.Calls().empty());
}

TEST_F(SgPortTest, ProcessorTestSendsInquiry) {
    addNode("sg0", &controller, 3);
    addNode("sg1", &controller, 0);  // a disk
    emu::SgNode failing;
    failing.name = "sg2";
    failing.inquiryFails = true;
    front.AddNode(failing);
    front.AddEntry("sda");

    struct InquiryCase {
        const char* node;
        bool processor;
    };
    for (const InquiryCase c : {InquiryCase{"sg0", true}, InquiryCase{"sg1", false},
                                InquiryCase{"sg2", false}, InquiryCase{"sda", false}}) {
        SCOPED_TRACE(c.node);
        front.ClearCalls();
        const int fd = front.Open((std::string("/dev/") + c.node).c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(isProcessorDevice(fd, front), c.processor);
        front.Close(fd);
        const auto calls = front.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].request, 0x2285ul);
        if (calls[0].result == 0) {
            EXPECT_EQ(calls[0].cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 0x24, 0}));
            EXPECT_EQ(calls[0].direction, -3);
            EXPECT_EQ(calls[0].dxferLen, 36u);
            EXPECT_EQ(calls[0].mxSbLen, 32u);
            EXPECT_EQ(calls[0].timeout, 20000u);
        }
    }
}

// Every sg entry is tried in node-number order; only processor devices that reach a controller
// stay open, each as its own domain in that order.
TEST_F(SgPortTest, ScanTakesNodesInNumericOrderAndClosesTheRest) {
    FakeController c1(1, {0, 1, 0, 0}, 101), c2(1, {0, 2, 0, 0}, 102), c10(1, {0, 10, 0, 0}, 110),
        none(0);
    // Folder order as the kernel might list it.
    addNode("sg10", &c10);
    front.AddEntry("sda");
    addNode("sg2", &c2);
    front.AddEntry("null");
    addNode("sg3", &controller, 0);  // a disk
    emu::SgNode locked;
    locked.name = "sg4";
    locked.handler = &controller;
    locked.openFails = true;
    front.AddNode(locked);
    addNode("sg6", &none);  // a processor device reaching no controller
    front.AddEntry("sgx");  // starts with sg but is no SCSI generic node
    addNode("sg1", &c1);

    ASSERT_EQ(arkInitialize(), 0);
    EXPECT_EQ(front.OpenedPaths(), (std::vector<std::string>{"/dev/sg1", "/dev/sg2", "/dev/sg3",
                                                             "/dev/sg6", "/dev/sg10", "/dev/sgx"}));
    ASSERT_EQ(arkGetDomainCount(), 3);
    EXPECT_EQ(arkGetPCacheSize(0), 101);
    EXPECT_EQ(arkGetPCacheSize(1), 102);
    EXPECT_EQ(arkGetPCacheSize(2), 110);
    EXPECT_EQ(front.OpenDescriptors(), 3);
    EXPECT_EQ(front.Closes(), 3);  // sg3, sg6, sgx

    arkCleanup();
    EXPECT_EQ(front.OpenDescriptors(), 3) << "cleanup leaves the domains and their ports";
    arkResetDomainsForTest();
    EXPECT_EQ(front.OpenDescriptors(), 0);
}

TEST_F(SgPortTest, ScanWithoutControllersFindsNothing) {
    struct EmptyCase {
        const char* name;
        bool listFails;
    };
    for (const EmptyCase c :
         {EmptyCase{"unreadable /dev", true}, EmptyCase{"no sg nodes", false}}) {
        SCOPED_TRACE(c.name);
        emu::SgFront nodes;
        nodes.AddEntry("sda");
        nodes.AddEntry("tty0");
        nodes.SetListFails(c.listFails);
        SetSgSys(&nodes);
        EXPECT_EQ(arkInitialize(), -1);
        EXPECT_EQ(arkGetDomainCount(), 0);
        EXPECT_EQ(nodes.Opens(), 0);
        SetSgSys(&front);
    }
}

// Two nodes of one controller (count 2, same PCI location) make one multi-port domain; a
// request that fails on the first node is retried on the second.
TEST_F(SgPortTest, TwoNodesOfOneControllerFormAMultiPortDomain) {
    FakeController shared(2, {0, 5, 0, 0}, 55), other(2, {0, 6, 0, 0}, 66);
    addNode("sg0", &shared);
    addNode("sg1", &shared);
    addNode("sg2", &other);

    ASSERT_EQ(arkInitialize(), 0);
    ASSERT_EQ(arkGetDomainCount(), 2);
    EXPECT_EQ(front.OpenDescriptors(), 3);
    EXPECT_EQ(arkGetPCacheSize(0), 55);
    EXPECT_EQ(arkGetPCacheSize(1), 66);

    emu::SgNodeFaults hostError;
    hostError.hostStatus = 0x07;
    front.SetFaults("sg0", hostError);
    front.ClearCalls();
    EXPECT_EQ(arkGetPCacheSize(0), 55);
    std::vector<std::string> nodes;
    for (const auto& call : front.Calls()) nodes.push_back(call.node);
    EXPECT_EQ(nodes, (std::vector<std::string>{"sg0", "sg1"}));

    front.SetFaults("sg1", hostError);
    EXPECT_EQ(arkGetPCacheSize(0), -1);
}

// Requests from many threads at once, the first ones racing to pick the request number.
TEST_F(SgPortTest, ConcurrentRequestsOnOnePort) {
    emu::SgNode node;
    node.name = "sg0";
    node.handler = &controller;
    node.faults.rejectExtendedRequest = true;
    front.AddNode(node);
    auto port = openPort("sg0");
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    threads.reserve(failures.size());
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                std::array<uint8_t, 64> out{};
                uint32_t returned = 0;
                if (port->Ioctl(ARK_REQ_GET_DRIVER_INFO, nullptr, 0, out.data(), 64, &returned) !=
                        0 ||
                    returned != 64 || out[63] != static_cast<uint8_t>(0xA0 + 63))
                    ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
