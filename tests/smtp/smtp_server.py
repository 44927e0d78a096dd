"""Loopback SMTP server for the mail tests.

Usage: /usr/bin/python3 smtp_server.py WORKDIR USER PASSWORD

Makes a throw-away self-signed certificate in WORKDIR, then listens on 127.0.0.1 with one free
port per listener:
  plain     no TLS, no AUTH
  auth      no TLS, AUTH required
  starttls  STARTTLS required, then AUTH required
  smtps     TLS from the first byte, AUTH required
  silent    accepts connections and never says a word
and prints one line "READY {json of listener name -> port}". Each accepted message is spooled as
WORKDIR/spool/<listener>-<n>.eml (the DATA bytes exactly as received) after its envelope
WORKDIR/spool/<listener>-<n>.json ({"mail_from", "rcpt_tos", "auth_user", "tls"}). Every accepted
connection adds a line "<listener>" to WORKDIR/connections.log. A recipient whose local part
starts with "reject" is refused with 550. The server ends when its standard input closes (the
test that started it ended) or on SIGTERM.
"""

import asyncio
import json
import logging
import os
import signal
import ssl
import subprocess
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def make_certificate(workdir):
    cert = os.path.join(workdir, "cert.pem")
    key = os.path.join(workdir, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-days", "1", "-subj", "/CN=localhost", "-keyout", key, "-out", cert],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


class Recorder:
    def __init__(self, workdir):
        self.workdir = workdir
        self.spool = os.path.join(workdir, "spool")
        os.makedirs(self.spool, exist_ok=True)
        self.counts = {}

    def connection(self, listener):
        with open(os.path.join(self.workdir, "connections.log"), "a") as log:
            log.write(listener + "\n")

    def message(self, listener, envelope_info, data):
        n = self.counts.get(listener, 0) + 1
        self.counts[listener] = n
        base = os.path.join(self.spool, "%s-%d" % (listener, n))
        # Envelope first, message last, each renamed into place whole.
        for suffix, payload in ((".json", json.dumps(envelope_info).encode()), (".eml", data)):
            with open(base + suffix + ".part", "wb") as f:
                f.write(payload)
            os.replace(base + suffix + ".part", base + suffix)


class Handler:
    def __init__(self, listener, recorder):
        self.listener = listener
        self.recorder = recorder

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.split("@")[0].lower().startswith("reject"):
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        tls = (server._tls_protocol is not None
               or server.transport.get_extra_info("ssl_object") is not None)
        auth = session.auth_data
        info = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "auth_user": auth.decode() if isinstance(auth, bytes) else None,
            "tls": tls,
        }
        self.recorder.message(self.listener, info, envelope.original_content)
        return "250 OK queued"


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        if (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
                and auth_data.password == password.encode()):
            return AuthResult(success=True, auth_data=auth_data.login)
        return AuthResult(success=False, handled=False)
    return authenticate


class LoggedSMTP(SMTP):
    def __init__(self, listener, recorder, handler, **kwargs):
        super().__init__(handler, **kwargs)
        self.listener = listener
        self.recorder = recorder

    def connection_made(self, transport):
        if self._original_transport is None and self.transport is None:
            self.recorder.connection(self.listener)
        super().connection_made(transport)


class Silent(asyncio.Protocol):
    def __init__(self, recorder):
        self.recorder = recorder

    def connection_made(self, transport):
        self.recorder.connection("silent")
        self.transport = transport


async def serve(workdir, user, password):
    loop = asyncio.get_running_loop()
    tls = make_certificate(workdir)
    recorder = Recorder(workdir)
    authenticator = make_authenticator(user, password)

    def smtp(listener, **kwargs):
        return lambda: LoggedSMTP(listener, recorder, Handler(listener, recorder),
                                  hostname="harness.test", **kwargs)

    factories = {
        "plain": (smtp("plain"), None),
        "auth": (smtp("auth", authenticator=authenticator, auth_required=True,
                      auth_require_tls=False), None),
        # Offers AUTH but takes mail without it: a client that logs in when it has no account
        # shows here.
        "optional": (smtp("optional", authenticator=authenticator, auth_required=False,
                          auth_require_tls=False), None),
        "starttls": (smtp("starttls", tls_context=tls, require_starttls=True,
                          authenticator=authenticator, auth_required=True), None),
        "smtps": (smtp("smtps", authenticator=authenticator, auth_required=True,
                       auth_require_tls=False), tls),
        "silent": (lambda: Silent(recorder), None),
    }
    servers = []
    ports = {}
    for name, (factory, context) in factories.items():
        server = await loop.create_server(factory, "127.0.0.1", 0, ssl=context)
        servers.append(server)
        ports[name] = server.sockets[0].getsockname()[1]

    done = loop.create_future()

    def finish():
        if not done.done():
            done.set_result(None)

    def stdin_readable():
        if not os.read(sys.stdin.fileno(), 4096):
            finish()

    loop.add_reader(sys.stdin.fileno(), stdin_readable)
    loop.add_signal_handler(signal.SIGTERM, finish)
    print("READY " + json.dumps(ports), flush=True)
    await done
    for server in servers:
        server.close()


def main():
    if len(sys.argv) != 4:
        print("usage: smtp_server.py WORKDIR USER PASSWORD", file=sys.stderr)
        return 2
    # AUTH without TLS is what two listeners are for; keep stderr for real trouble.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    asyncio.run(serve(sys.argv[1], sys.argv[2], sys.argv[3]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
