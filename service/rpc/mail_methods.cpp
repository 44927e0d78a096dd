#include <string>

#include "brs_server.h"
#include "log.h"
#include "rpc_handlers.h"
#include "smtp_client.h"

namespace {

std::string textOf(const value& params, const char* key) {
    return json::toTextOrEmpty(json::member(params, key));
}

}  // namespace

int fnSendMail(const value& params, value& /*result*/, std::string& /*errmsg*/,
               RpcContext& /*ctx*/) {
    std::string reason;
    SmtpOptions options;
    // A slow or silent server must not hold up the service's shutdown.
    options.stopRequested = [] { return g_server.stopFlag.load() != 0; };
    const int rc = smtpSend(
        textOf(params, "SMTP_Server"), json::toInt(json::member(params, "SMTP_Port")),
        json::toInt(json::member(params, "Protocol")), textOf(params, "SMTP_User"),
        textOf(params, "SMTP_Password"), textOf(params, "Receipient"), textOf(params, "Sender"),
        textOf(params, "Subject"), textOf(params, "Body"), &reason, options);
    if (rc == kSmtpOk) return kRpcOk;
    // The reply carries no text for this failure; the log keeps the reason for the administrator.
    logPrint(3, "fail to send test mail: %s", reason.c_str());
    return kRpcFailed;
}
