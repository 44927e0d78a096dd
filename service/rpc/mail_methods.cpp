#include <string>

#include "log.h"
#include "rpc_handlers.h"
#include "smtp_client.h"

namespace {

std::string textOf(const value& params, const char* key) {
    return json::toTextOrEmpty(json::member(params, key));
}

}  // namespace

int fnSendMail(const value& params, value& /*result*/, std::string& /*errmsg*/, RpcContext& ctx) {
    std::string reason;
    SmtpOptions options;
    // A slow or silent server must not hold up the service's shutdown.
    options.stopRequested = [&ctx] { return ctx.Services().stopFlag.load() != 0; };
    MailSettings account;
    account.SMTP_Server = textOf(params, "SMTP_Server");
    account.SMTP_Port = json::toInt(json::member(params, "SMTP_Port"));
    account.Protocol = json::toInt(json::member(params, "Protocol"));
    account.SMTP_User = textOf(params, "SMTP_User");
    account.SMTP_Password = textOf(params, "SMTP_Password");
    account.Sender = textOf(params, "Sender");
    const Mail mail{textOf(params, "Receipient"), textOf(params, "Subject"),
                    textOf(params, "Body")};
    const int rc = smtpSend(account, mail, &reason, options);
    if (rc == kSmtpOk) return kRpcOk;
    // The reply carries no text for this failure; the log keeps the reason for the administrator.
    logPrint(kLogError, "fail to send test mail: %s", reason.c_str());
    return kRpcFailed;
}
