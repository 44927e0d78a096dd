#pragma once

#include <string>

// The address of the client at the other end of a connected socket as text: "192.0.2.7",
// "2001:db8::1", and an IPv4 client of an IPv6 socket in its IPv4 form. "" when the socket is
// not connected or its family is neither.
std::string peerAddress(int socket);
