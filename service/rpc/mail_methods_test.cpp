#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "store_methods_fixture.h"

namespace rpctest {
namespace {

// A loopback port with nothing listening: bound, never listened on, and kept so.
class ClosedPort {
public:
    ClosedPort() {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            m_port = ntohs(addr.sin_port);
        }
    }
    ~ClosedPort() { close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

class MailMethods : public StoreMethods {};

TEST_F(MailMethods, ASendThatFailsIsAFailure) {
    ClosedPort closed;
    ASSERT_NE(closed.port(), 0);
    const value params = {{"SMTP_Server", "127.0.0.1"},
                          {"SMTP_Port", closed.port()},
                          {"Protocol", 0},
                          {"SMTP_User", ""},
                          {"SMTP_Password", ""},
                          {"Receipient", "ops@example.org"},
                          {"Sender", "raid@example.org"},
                          {"Subject", "Test"},
                          {"Body", "hello"}};
    EXPECT_EQ(rpc("SendMail", params), error(kRpcFailed, "internal server error"));
    EXPECT_TRUE(events().empty());
}

}  // namespace
}  // namespace rpctest
