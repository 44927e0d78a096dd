#pragma once

// The request context of a handler or dispatcher test: cookies the request sent, cookies the
// reply set, the upload of the firmware route, the client's address and the test program's
// services.

#include <map>
#include <string>

#include "rpc_method.h"
#include "test_services.h"

class FakeRpcContext : public RpcContext {
public:
    const char* Cookie(const char* name) override {
        auto it = cookies.find(name);
        return it == cookies.end() ? nullptr : it->second.c_str();
    }
    std::string PeerAddress() override { return peer; }
    void SetSessionCookie(const char* name, const char* text) override { set[name] = text; }
    const RpcUpload* Upload() const override { return upload; }
    RpcServices& Services() override { return testServices().rpc; }

    std::map<std::string, std::string> cookies;  // sent with the request
    std::map<std::string, std::string> set;      // set on the reply
    const RpcUpload* upload = nullptr;
    std::string peer = "192.0.2.1";  // the client's address
};
