#include "http_dispatch.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "brs_soap.h"
#include "dispatcher.h"
#include "http_connection.h"
#include "peer_address.h"
#include "socket_queue.h"

namespace {

constexpr char kUploadPrefix[] = "/fwupdate/";
constexpr int kBadRequest = 400;
constexpr int kMethodNotAllowed = 405;
constexpr int kPayloadTooLarge = 413;
constexpr int kUriTooLong = 414;

class SoapRpcContext : public RpcContext {
public:
    SoapRpcContext(struct soap* engine, RpcServices& services, const RpcUpload* upload = nullptr)
        : m_engine(engine), m_services(services), m_upload(upload) {}

    const char* Cookie(const char* name) override { return requestCookie(m_engine, name); }
    std::string PeerAddress() override { return peerAddress(m_engine->socket); }
    void SetSessionCookie(const char* name, const char* text) override {
        soap_set_cookie(m_engine, name, text, nullptr, nullptr);
        soap_set_cookie_session(m_engine, name, nullptr, nullptr);
    }
    const RpcUpload* Upload() const override { return m_upload; }
    RpcServices& Services() override { return m_services; }

private:
    struct soap* m_engine;
    RpcServices& m_services;
    const RpcUpload* m_upload;
};

// Every path under "/fwupdate/" is the upload route.
bool isUploadPath(const char* path) {
    return path != nullptr && std::strncmp(path, kUploadPrefix, sizeof(kUploadPrefix) - 1) == 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The controller an upload path names: "/fwupdate/<domain digit>/<controller digit>" and
// nothing after. False for any other path of the route.
bool uploadTarget(const char* path, int& domain, int& controller) {
    constexpr size_t kAt = sizeof(kUploadPrefix) - 1;
    if (std::strlen(path) != kAt + 3 || !isDigit(path[kAt]) || path[kAt + 1] != '/' ||
        !isDigit(path[kAt + 2])) {
        return false;
    }
    domain = path[kAt] - '0';
    controller = path[kAt + 2] - '0';
    return true;
}

int sendReply(struct soap* engine, const value& reply) {
    std::string body = json::dump(reply);
    engine->http_content = "application/json; charset=utf-8";
    if (soap_response(engine, SOAP_FILE) != SOAP_OK ||
        soap_send_raw(engine, body.data(), body.size()) != SOAP_OK ||
        soap_end_send(engine) != SOAP_OK) {
        soap_print_fault(engine, stdout);
        return engine->error;
    }
    return SOAP_OK;
}

// The first uploaded part, or false when the request carried none.
bool firstAttachment(struct soap* engine, RpcUpload& upload) {
    for (soap_multipart* part = engine->mime.list; part != nullptr; part = part->next) {
        if (part->ptr != nullptr) {
            upload = {part->ptr, part->size};
            return true;
        }
    }
    return false;
}

// The upload route after the request head: the path and the session are checked before the
// body is parsed. The intake took a large body in only with a live session, and refused one over
// the bound unread.
int serveUpload(struct soap* engine, RpcServices& services, value& reply) {
    int domain = 0, controller = 0;
    if (!uploadTarget(engine->path, domain, controller)) {
        return soap_send_empty_response(engine, kBadRequest);
    }
    SoapRpcContext session(engine, services);
    if (!hasLiveSession(session)) {
        setRpcError(reply, kRpcUnauthorized, "Unauthorized");
        return sendReply(engine, reply);
    }
    if (engine->recv_maxlength != 0 && engine->length > engine->recv_maxlength) {
        return soap_send_empty_response(engine, kPayloadTooLarge);
    }
    // A body cut short or past the bound leaves no usable image.
    if (soap_end_recv(engine) != SOAP_OK) return soap_send_empty_response(engine, kBadRequest);
    RpcUpload upload{};
    if (!firstAttachment(engine, upload)) return soap_send_empty_response(engine, kBadRequest);
    value request = {{"method", "FlashUpdate"},
                     {"params", {{"domain", domain}, {"id", controller}}}};
    SoapRpcContext ctx(engine, services, &upload);
    runRpcCall(request, ctx, reply);
    return sendReply(engine, reply);
}

// The status for a request the engine could not take in, or 0 when there is nobody to answer
// (the client sent nothing, or went away before its head was whole).
int refusalStatus(struct soap* engine, int rc) {
    switch (rc) {
        case kUriTooLong:
            return kUriTooLong;
        case SOAP_PUT_METHOD:
        case SOAP_DEL_METHOD:
        case SOAP_HTTP_METHOD:
        case kMethodNotAllowed:
            return kMethodNotAllowed;
        case SOAP_HDR:  // a header line too long to take
            return kBadRequest;
        default:
            // A request whose head was read but whose body could not be (cut short, or a
            // multipart body that does not match its boundary).
            return engine->status == SOAP_POST ? kBadRequest : 0;
    }
}

}  // namespace

int dispatchRequest(struct soap* engine, RpcServices& services) {
    value reply = newRpcReply();
    int rc = soap_begin_recv(engine);
    if (rc != SOAP_OK) {
        if (engine->status == SOAP_GET) {
            // The engine sends nothing for a GET hook's error status.
            if (rc >= 400 && rc < 600) soap_send_empty_response(engine, rc);
            return rc;
        }
        if (rc != SOAP_NO_DATA) {
            int status = refusalStatus(engine, rc);
            if (status != 0) soap_send_empty_response(engine, status);
            return rc;
        }
        if (isUploadPath(engine->path)) return soap_send_empty_response(engine, kBadRequest);
        // An empty body is a request that cannot be parsed, and is told so.
        setRpcError(reply, kRpcParseError, "Parse error");
        return sendReply(engine, reply);
    }

    if (isUploadPath(engine->path)) return serveUpload(engine, services, reply);
    // The engine would make room for the announced length before reading any of it.
    if (engine->recv_maxlength != 0 && engine->length > engine->recv_maxlength) {
        return soap_send_empty_response(engine, kPayloadTooLarge);
    }

    // The engine forgets the announced length once it has read the body.
    const ULONG64 announced = engine->length;
    size_t length = 0;
    const char* body = soap_http_get_body(engine, &length);
    // A body cut short of its announced length is never run, whatever part of it arrived.
    if (body == nullptr || length < announced) {
        soap_end_recv(engine);
        return soap_send_empty_response(engine, kBadRequest);
    }
    value request;
    bool parsed = json::parse(std::string_view(body, length), request);
    soap_end_recv(engine);
    if (!parsed) {
        setRpcError(reply, kRpcParseError, "Parse error");
        return sendReply(engine, reply);
    }
    SoapRpcContext ctx(engine, services);
    runRpcCall(request, ctx, reply);
    return sendReply(engine, reply);
}

ConnectionGate::Refusals renderRefusals(const brsSoap& master) {
    ConnectionGate::Refusals refusals;
    // Rendered by a worker's kind of context, so they match what a worker would send.
    auto render = [&master](auto&& write) {
        HttpConnection target;
        QueuedConnection queued;
        queued.connection = &target;
        brsSoap engine(master, nullptr);
        engine.BeginRequest(queued);
        write(&engine);
        soap_destroy(&engine);
        soap_end(&engine);
        return target.reply;
    };
    for (int status : {400, 413, 414, 501, 505}) {
        refusals.byStatus[status] =
            render([status](struct soap* e) { soap_send_empty_response(e, status); });
    }
    refusals.unauthorized = render([](struct soap* e) {
        value reply = newRpcReply();
        setRpcError(reply, kRpcUnauthorized, "Unauthorized");
        sendReply(e, reply);
    });
    refusals.parseError = render([](struct soap* e) {
        value reply = newRpcReply();
        setRpcError(reply, kRpcParseError, "Parse error");
        sendReply(e, reply);
    });
    return refusals;
}
