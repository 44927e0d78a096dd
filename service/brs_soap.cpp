#include "brs_soap.h"

#include <sys/socket.h>

#include <cstring>

#include "file_server.h"

brsSoap::brsSoap() : soap(SOAP_C_UTFSTRING, SOAP_C_UTFSTRING) {
    mode = SOAP_C_UTFSTRING;
    recv_timeout = 10;
    send_timeout = 10;
    connect_timeout = 10;
    accept_timeout = 5;
    bind_flags = SO_REUSEADDR;
    recv_maxlength = kMaxRequestBytes;
    // Set directly rather than through the GET plugin, whose shared counters are unlocked.
    fget = httpGetHandler;
}

brsSoap::brsSoap(const brsSoap& listener, ThreadPool* workerPool)
    : soap(static_cast<const soap&>(listener)), pool(workerPool) {}

const char* requestCookie(struct soap* engine, const char* name) {
    for (struct soap_cookie* c = engine->cookies; c != nullptr; c = c->next) {
        if (c->env && c->name != nullptr && std::strcmp(c->name, name) == 0) return c->value;
    }
    return nullptr;
}
