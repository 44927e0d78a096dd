#include <gtest/gtest.h>

#include <cstring>

#include "ark.h"
#include "domain.h"

namespace {

// A port that answers the two requests discovery sends like a driver would, and fails or
// answers every other request as told.
class ControllerPort : public CDriverPort {
public:
    ControllerPort(uint32_t count, uint8_t bus, int* destroyed = nullptr)
        : m_count(count), m_bus(bus), m_destroyed(destroyed) {}
    ~ControllerPort() override {
        if (m_destroyed) ++*m_destroyed;
    }

    int Ioctl(uint32_t code, const void*, uint32_t, void* out, uint32_t outLen,
              uint32_t* returned) override {
        ++calls;
        if (code == ARK_REQ_GET_CONTROLLER_COUNT) {
            if (failCount) return -1;
            std::memcpy(out, &m_count, 4);
            return 0;
        }
        if (code == ARK_REQ_GET_CONTROLLER_INFO) {
            if (failInfo) return -1;
            ARK_CONTROLLER_INFO info{};
            info.pci_tree = 0;
            info.pci_bus = m_bus;
            info.pci_device = 3;
            info.pci_function = 1;
            std::memcpy(out, &info, std::min<uint32_t>(outLen, sizeof info));
            return 0;
        }
        if (returned) *returned = 0;
        return otherResult;
    }
    const char* GetPath() const override { return "fake"; }

    bool failCount = false;
    bool failInfo = false;
    int otherResult = 0;
    int calls = 0;

private:
    uint32_t m_count;
    uint8_t m_bus;
    int* m_destroyed;
};

class Domains : public ::testing::Test {
protected:
    void TearDown() override { arkResetDomainsForTest(); }
};

TEST_F(Domains, PortWithoutControllersIsRejected) {
    ControllerPort none(0, 1);
    EXPECT_FALSE(AttachPort(&none));
    ControllerPort broken(2, 1);
    broken.failCount = true;
    EXPECT_FALSE(AttachPort(&broken));
    EXPECT_EQ(arkGetDomainCount(), 0);
}

TEST_F(Domains, SingleControllerPortAlwaysStartsANewDomain) {
    EXPECT_TRUE(AttachPort(new ControllerPort(1, 4)));
    EXPECT_TRUE(AttachPort(new ControllerPort(1, 4)));  // same controller, still a new domain
    EXPECT_EQ(arkGetDomainCount(), 2);
}

TEST_F(Domains, PortsOfOneControllerShareAMultiPortDomain) {
    auto* first = new ControllerPort(2, 7);
    auto* second = new ControllerPort(2, 7);
    auto* other = new ControllerPort(2, 8);
    ASSERT_TRUE(AttachPort(first));
    ASSERT_TRUE(AttachPort(second));
    EXPECT_EQ(arkGetDomainCount(), 1);
    ASSERT_TRUE(AttachPort(other));
    EXPECT_EQ(arkGetDomainCount(), 2);

    // A failure on the first port is retried on the second.
    first->otherResult = -1;
    first->calls = second->calls = other->calls = 0;
    EXPECT_EQ(arkClearPCache(0), 0);
    EXPECT_EQ(first->calls, 1);
    EXPECT_EQ(second->calls, 1);

    // When every port fails, the last port's result stands.
    second->otherResult = -1;
    EXPECT_EQ(arkClearPCache(0), -1);
    EXPECT_EQ(other->calls, 0);
}

TEST_F(Domains, MultiPortOfferFailsWhenEitherInfoRequestFails) {
    auto* first = new ControllerPort(2, 7);
    ASSERT_TRUE(AttachPort(first));
    auto* second = new ControllerPort(2, 7);
    second->failInfo = true;
    ASSERT_TRUE(AttachPort(second));  // declined by domain 0, so it starts its own
    EXPECT_EQ(arkGetDomainCount(), 2);
}

TEST_F(Domains, SinglePortDomainDeclinesFurtherPorts) {
    ASSERT_TRUE(AttachPort(new ControllerPort(1, 5)));
    ASSERT_TRUE(AttachPort(new ControllerPort(2, 5)));
    EXPECT_EQ(arkGetDomainCount(), 2);
}

TEST_F(Domains, DestroyingADomainDeletesItsPorts) {
    int destroyed = 0;
    ASSERT_TRUE(AttachPort(new ControllerPort(2, 9, &destroyed)));
    ASSERT_TRUE(AttachPort(new ControllerPort(2, 9, &destroyed)));
    ASSERT_TRUE(AttachPort(new ControllerPort(1, 9, &destroyed)));
    arkResetDomainsForTest();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(arkGetDomainCount(), 0);
}

}  // namespace
