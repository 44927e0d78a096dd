// The real SG port and /dev scan against the controller emulator, through the public API.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ark.h"
#include "domain.h"
#include "emulator.h"
#include "sg_front.h"
#include "sg_port.h"

namespace {

emu::State machine(std::vector<std::array<uint8_t, 4>> pciPerController) {
    emu::State state;
    for (size_t i = 0; i < pciPerController.size(); ++i) {
        emu::Controller c;
        c.pci = pciPerController[i];
        c.serial = "SN-SG-" + std::to_string(i);
        state.controllers.push_back(c);
    }
    return state;
}

class SgEmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        arkResetDomainsForTest();
        SetSgSys(&front);
    }
    void TearDown() override {
        arkResetDomainsForTest();
        SetSgSys(nullptr);
        EXPECT_EQ(front.OpenDescriptors(), 0);
        EXPECT_EQ(front.BadCloses(), 0);
    }

    void addNode(const std::string& name, emu::RequestHandler& handler) {
        emu::SgNode node;
        node.name = name;
        node.handler = &handler;
        front.AddNode(node);
    }

    emu::SgFront front;
};

TEST_F(SgEmulatorTest, ApiReachesTheEmulatorThroughTheScan) {
    emu::Emulator controller(machine({{0, 4, 0, 0}}));
    front.AddEntry("sda");
    addNode("sg1", controller);
    ASSERT_EQ(arkInitialize(), 0);
    ASSERT_EQ(arkGetDomainCount(), 1);

    EXPECT_EQ(arkGetControllerCount(0), 1);
    ARK_CONTROLLER_INFO info{};
    ASSERT_EQ(arkGetControllerInfo(0, 0, &info), 0);
    EXPECT_EQ(std::string(info.sn_str, strnlen(info.sn_str, sizeof info.sn_str)), "SN-SG-0");
    EXPECT_EQ(info.pci_bus, 4);
    ARK_DRIVER_INFO driver{};
    ASSERT_EQ(arkGetDriverInfo(0, &driver), 0);
    EXPECT_EQ(std::string(driver.driver_name, strnlen(driver.driver_name, 12)), "arkraid");

    // A flash write and read back: long inputs with no output, then outputs of whole chunks.
    std::vector<uint8_t> image(2500);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + 5);
    ASSERT_EQ(arkFlashDownload(0, 0, 4096, image.data(), static_cast<uint32_t>(image.size())), 0);
    std::vector<uint8_t> back(image.size());
    ASSERT_EQ(arkFlashUpload(0, 0, 4096, back.data(), static_cast<uint32_t>(back.size())), 0);
    EXPECT_EQ(back, image);

    // What the emulator received is exactly what the API framed.
    controller.ClearRequestLog();
    ASSERT_EQ(arkSetConfigInt(0, "SpinupDelay", 7), 0);
    int32_t value = 0;
    ASSERT_EQ(arkGetConfigInt(0, "SpinupDelay", &value), 0);
    EXPECT_EQ(value, 7);
    const auto log = controller.RequestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].code, ARK_REQ_SET_CONFIG_INT);
    EXPECT_EQ(log[0].input.size(), std::strlen("SpinupDelay") + 5);
    EXPECT_EQ(log[1].input,
              (std::vector<uint8_t>{'S', 'p', 'i', 'n', 'u', 'p', 'D', 'e', 'l', 'a', 'y', 0}));
}

// The emulator's own failures and short replies come back through the SG reply as the API expects.
TEST_F(SgEmulatorTest, EmulatorFaultsSurviveTheTransport) {
    emu::Emulator controller(machine({{0, 4, 0, 0}}));
    addNode("sg0", controller);
    ASSERT_EQ(arkInitialize(), 0);

    emu::Fault fail;
    fail.code = ARK_REQ_GET_PCACHE_SIZE;
    controller.InjectFault(fail);
    EXPECT_EQ(arkGetPCacheSize(0), -1);
    controller.ClearFaults();
    EXPECT_GE(arkGetPCacheSize(0), 0);

    emu::Fault shortReply;
    shortReply.code = ARK_REQ_GET_PD_LIST;
    shortReply.kind = emu::Fault::Kind::ShortReply;
    shortReply.replyBytes = 6;  // one whole id and half of another
    controller.Modify([](emu::State& s) {
        for (uint32_t id = 0x10; id < 0x14; ++id) {
            emu::Disk d;
            d.id = id;
            d.capacity = 1000000;
            s.disks[id] = d;
        }
    });
    uint32_t ids[8] = {};
    EXPECT_EQ(arkGetPDList(0, ids, 8), 4);
    controller.InjectFault(shortReply);
    EXPECT_EQ(arkGetPDList(0, ids, 8), 1);

    // A frame whose lengths do not match the request table fails in the emulator.
    auto* port = new CSgFilePort("/dev/sg0", front.Open("/dev/sg0", O_RDWR), front);
    uint32_t count = 0;
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, &count, 4, nullptr), 0);
    EXPECT_EQ(port->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, &count, 8, nullptr), -1);
    delete port;
}

// Two nodes of one two-controller emulator form one domain; a second emulator is a second
// domain; and when the first node of the shared domain fails, the second carries the request.
TEST_F(SgEmulatorTest, NodesOfOneControllerShareADomain) {
    emu::Emulator shared(machine({{0, 7, 0, 0}, {0, 8, 0, 0}}));
    emu::Emulator other(machine({{0, 9, 0, 0}, {0, 9, 0, 1}}));
    addNode("sg2", shared);
    addNode("sg11", other);
    addNode("sg3", shared);

    ASSERT_EQ(arkInitialize(), 0);
    ASSERT_EQ(arkGetDomainCount(), 2);
    ARK_CONTROLLER_INFO info{};
    ASSERT_EQ(arkGetControllerInfo(0, 0, &info), 0);
    EXPECT_EQ(info.pci_bus, 7);
    ASSERT_EQ(arkGetControllerInfo(1, 0, &info), 0);
    EXPECT_EQ(info.pci_bus, 9);

    emu::SgNodeFaults gone;
    gone.hostStatus = 0x01;  // no connect
    front.SetFaults("sg2", gone);
    front.ClearCalls();
    EXPECT_EQ(arkGetControllerCount(0), 2);
    std::vector<std::string> nodes;
    for (const auto& call : front.Calls()) nodes.push_back(call.node);
    EXPECT_EQ(nodes, (std::vector<std::string>{"sg2", "sg3"}));
}

}  // namespace
