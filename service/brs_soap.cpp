#include "brs_soap.h"

#include <sys/socket.h>

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

brsSoap::brsSoap(const brsSoap& master, ThreadPool* workerPool)
    : soap(static_cast<const soap&>(master)), pool(workerPool) {}
