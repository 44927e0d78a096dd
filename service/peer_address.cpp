#include "peer_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

std::string peerAddress(int socket) {
    sockaddr_storage peer{};
    socklen_t size = sizeof(peer);
    if (socket < 0 || getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0) {
        return "";
    }
    char text[INET6_ADDRSTRLEN] = "";
    if (peer.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&peer);
        if (inet_ntop(AF_INET, &v4->sin_addr, text, sizeof(text)) == nullptr) return "";
        return text;
    }
    if (peer.ss_family != AF_INET6) return "";
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&peer);
    if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
        in_addr v4{};
        std::memcpy(&v4, v6->sin6_addr.s6_addr + 12, sizeof(v4));
        if (inet_ntop(AF_INET, &v4, text, sizeof(text)) == nullptr) return "";
        return text;
    }
    if (inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof(text)) == nullptr) return "";
    return text;
}
