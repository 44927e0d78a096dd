#include "peer_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace {

// A listener on the loopback of `family` (AF_INET6: dual-stack "::"), a client bound to
// `client` connected to it, and the accepted socket's peer as the server sees it.
std::string acceptedPeer(int family, const char* client) {
    int listener = socket(family, SOCK_STREAM, 0);
    EXPECT_GE(listener, 0);
    sockaddr_storage addr{};
    socklen_t size = 0;
    if (family == AF_INET6) {
        int off = 0;
        setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof(off));
        auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_any;
        size = sizeof(*a);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&addr);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_ANY);
        size = sizeof(*a);
    }
    EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), size), 0);
    EXPECT_EQ(listen(listener, 1), 0);
    EXPECT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &size), 0);
    const uint16_t port = family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&addr)->sin_port;

    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, client, &from.sin_addr);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof(from)), 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = port;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)), 0);
    int accepted = accept(listener, nullptr, nullptr);
    std::string peer = peerAddress(accepted);
    close(accepted);
    close(fd);
    close(listener);
    return peer;
}

TEST(PeerAddress, NamesTheClient) {
    EXPECT_EQ(acceptedPeer(AF_INET, "127.0.0.2"), "127.0.0.2");
    EXPECT_EQ(acceptedPeer(AF_INET, "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(acceptedPeer(AF_INET6, "127.0.0.3"), "127.0.0.3") << "no ::ffff: prefix";
}

TEST(PeerAddress, EmptyWithoutAConnectedPeer) {
    EXPECT_EQ(peerAddress(-1), "");
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(peerAddress(fd), "") << "not connected";
    close(fd);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_EQ(peerAddress(pair[0]), "") << "neither IPv4 nor IPv6";
    close(pair[0]);
    close(pair[1]);
}

}  // namespace
