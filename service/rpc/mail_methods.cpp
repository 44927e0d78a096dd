#include <string>

#include "brs_server.h"
#include "rpc_handlers.h"
#include "smtp_client.h"

namespace {

std::string textOf(const value& params, const char* key) {
    return json::toTextOrEmpty(json::member(params, key));
}

}  // namespace

int fnSendMail(const value& params, value& /*result*/, std::string& /*errmsg*/,
               RpcContext& /*ctx*/) {
    SmtpOptions options;
    // A slow or silent server must not hold up the service's shutdown.
    options.stopRequested = [] { return g_server.stopFlag.load() != 0; };
    const int rc = smtpSend(
        textOf(params, "SMTP_Server"), json::toInt(json::member(params, "SMTP_Port")),
        json::toInt(json::member(params, "Protocol")), textOf(params, "SMTP_User"),
        textOf(params, "SMTP_Password"), textOf(params, "Receipient"), textOf(params, "Sender"),
        textOf(params, "Subject"), textOf(params, "Body"), nullptr, options);
    return rc == kSmtpOk ? kRpcOk : kRpcFailed;
}
