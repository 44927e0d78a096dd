#include "dispatcher.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "brs_server.h"

namespace {

constexpr char kUploadPrefix[] = "/fwupdate/";
constexpr int kBadRequest = 400;

class SoapRpcContext : public RpcContext {
public:
    explicit SoapRpcContext(struct soap* engine, const RpcUpload* upload = nullptr)
        : m_engine(engine), m_upload(upload) {}

    const char* Cookie(const char* name) override { return requestCookie(m_engine, name); }
    void SetSessionCookie(const char* name, const char* text) override {
        soap_set_cookie(m_engine, name, text, nullptr, nullptr);
        soap_set_cookie_session(m_engine, name, nullptr, nullptr);
    }
    const RpcUpload* Upload() const override { return m_upload; }

private:
    struct soap* m_engine;
    const RpcUpload* m_upload;
};

void setError(value& reply, int code, const std::string& message) {
    reply.erase("result");
    reply["error"] = {{"code", code}, {"message", message}};
}

value newReply() {
    value reply = value::object();
    reply["jsonrpc"] = "2.0";
    return reply;
}

// "/fwupdate/" + one character, '/', one character, and nothing after.
bool isUploadPath(const char* path) {
    return path != nullptr && std::strncmp(path, kUploadPrefix, sizeof(kUploadPrefix) - 1) == 0 &&
           std::strlen(path) == 13 && path[11] == '/';
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

}  // namespace

void runRpcCall(const value& request, RpcContext& ctx, value& reply) {
    if (request.is_object() && request.contains("id")) reply["id"] = request["id"];
    const value& method = json::member(request, "method");
    if (method.is_null()) return setError(reply, kRpcMethodNotFound, "no method specified");
    if (!method.is_string()) {
        return setError(reply, kRpcMethodNotFound, "method value is not string");
    }
    const std::string& name = method.get_ref<const std::string&>();
    if (name != "Login" && name != "GetServerInfo") {
        const char* sid = ctx.Cookie("sid");
        if (sid == nullptr || !g_server.checkSession(sid)) {
            return setError(reply, kRpcUnauthorized, "Unauthorized");
        }
    }
    const RpcMethod* row = findRpcMethod(name.c_str());
    if (row == nullptr) return setError(reply, kRpcMethodNotFound, "method unknown");

    value result;
    std::string errmsg;
    int code = row->handler(json::member(request, "params"), result, errmsg, ctx);
    if (code != kRpcOk) {
        return setError(reply, code, errmsg.empty() ? "internal server error" : errmsg);
    }
    reply["result"] = result.is_null() ? value(true) : std::move(result);
}

int dispatchRequest(struct soap* engine) {
    value reply = newReply();
    int rc = soap_begin_recv(engine);
    if (rc != SOAP_OK) {
        if (engine->status == SOAP_GET) {
            // The engine sends nothing for a GET hook's error status.
            if (rc >= 400 && rc < 600) soap_send_empty_response(engine, rc);
            return rc;
        }
        if (rc != SOAP_NO_DATA) return rc;
        if (isUploadPath(engine->path)) return soap_send_empty_response(engine, kBadRequest);
        // An empty body is a request that cannot be parsed, and is told so.
        setError(reply, kRpcParseError, "Parse error");
        return sendReply(engine, reply);
    }

    if (isUploadPath(engine->path)) {
        soap_end_recv(engine);
        RpcUpload upload{};
        if (!firstAttachment(engine, upload)) return soap_send_empty_response(engine, kBadRequest);
        value request = {
            {"method", "FlashUpdate"},
            {"params", {{"domain", engine->path[10] - '0'}, {"id", engine->path[12] - '0'}}}};
        SoapRpcContext ctx(engine, &upload);
        runRpcCall(request, ctx, reply);
        return sendReply(engine, reply);
    }

    size_t length = 0;
    const char* body = soap_http_get_body(engine, &length);
    value request;
    bool parsed = body != nullptr && json::parse(std::string_view(body, length), request);
    soap_end_recv(engine);
    if (!parsed) {
        setError(reply, kRpcParseError, "Parse error");
        return sendReply(engine, reply);
    }
    SoapRpcContext ctx(engine);
    runRpcCall(request, ctx, reply);
    return sendReply(engine, reply);
}
