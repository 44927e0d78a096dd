#!/usr/bin/python3
"""The event-log and configuration methods through an independent JSON-RPC 2.0 client.

Usage: store_jsonrpclib_test.py HXRAIDSVC_EMU SCENARIO LSAN_SUPPRESSIONS
Starts the emulator build of the service on a free loopback port in a temporary folder, logs in
over plain HTTP for the session cookie, then calls through jsonrpclib's ServerProxy.
"""

import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

import jsonrpclib
from jsonrpclib.jsonrpc import ProtocolError

SERVICE, SCENARIO, SUPPRESSIONS = sys.argv[1:4]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def rpc_error(call):
    """The (code, message) of the error a call answers with."""
    try:
        call()
    except ProtocolError as e:
        fault = e.args[0]
        return fault[0], fault[1]
    raise AssertionError("the call succeeded")


class StoreMethodsThroughJsonRpcLib(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.port = free_port()
        env = dict(os.environ, ARK_EMULATOR_SCENARIO=SCENARIO)
        env["LSAN_OPTIONS"] = env.get("LSAN_OPTIONS", "") + ":suppressions=" + SUPPRESSIONS
        cls.log = open(os.path.join(cls.dir.name, "stderr"), "w")
        cls.service = subprocess.Popen(
            [SERVICE, "-debug", "-port", str(cls.port), "-config",
             os.path.join(cls.dir.name, "cfg"), "-log", os.path.join(cls.dir.name, "log")],
            cwd=cls.dir.name, env=env, stdout=subprocess.DEVNULL, stderr=cls.log)
        url = "http://127.0.0.1:%d/" % cls.port
        deadline = time.monotonic() + 60
        while True:
            try:
                login = urllib.request.Request(
                    url, method="POST", headers={"Content-Type": "application/json"},
                    data=json.dumps({"jsonrpc": "2.0", "id": 1, "method": "Login",
                                     "params": {"username": "admin", "password": ""}}).encode())
                with urllib.request.urlopen(login, timeout=10) as reply:
                    cookies = reply.headers.get_all("Set-Cookie")
                break
            except OSError:
                if time.monotonic() > deadline or cls.service.poll() is not None:
                    raise
                time.sleep(0.2)
        sid = [c.split(";")[0] for c in cookies if c.startswith("sid=")]
        assert len(sid) == 1, cookies
        cls.server = jsonrpclib.ServerProxy(url, headers={"Cookie": sid[0] + "; uid=admin"})
        cls.anonymous = jsonrpclib.ServerProxy(url)

    @classmethod
    def tearDownClass(cls):
        cls.service.send_signal(signal.SIGINT)
        code = cls.service.wait(timeout=30)
        cls.log.close()
        with open(os.path.join(cls.dir.name, "stderr")) as err:
            assert code == 0, "the service exited with %d: %s" % (code, err.read())
        cls.dir.cleanup()

    def test_event_log(self):
        self.assertEqual(rpc_error(lambda: self.anonymous.GetEventLogCount()),
                         (401, "Unauthorized"))
        count = self.server.GetEventLogCount()
        self.assertGreaterEqual(count, 1)
        events = self.server.GetEventLog(start=0, length=100)
        self.assertEqual(len(events), count)
        login = events[-1]
        self.assertEqual(list(login), ["time", "type", "code", "devname", "data"])
        self.assertEqual((login["type"], login["code"], login["devname"], login["data"]),
                         (1, 101, "admin", ""))
        self.assertEqual(self.server.GetEventLog(start=count, length=5), [])
        for start, length in ((0, 101), (-1, 10), (0, -1)):
            self.assertEqual(rpc_error(lambda: self.server.GetEventLog(start=start, length=length)),
                             (-32602, "internal server error"))

    def test_configuration(self):
        self.assertEqual(self.server.GetConfig(key="tasks"), {})
        self.assertEqual(self.server.SetConfig(settings={"SMARTInterval": 5}, tasks=[]), True)
        self.assertEqual(self.server.GetConfig(key="settings"),
                         {"SMARTInterval": 5, "ServerPort": self.port})
        self.assertEqual(self.server.GetConfig(key="tasks"), [])
        domain = self.server.GetDomainConfig(domain=0)
        self.assertEqual(domain["SpinupDelay"], 7)
        self.assertEqual(len(domain), 8)
        self.assertEqual(self.server.SetDomainConfig(domain=0, DiskIdleTimer=30), True)
        self.assertEqual(self.server.GetDomainConfig(domain=0)["DiskIdleTimer"], 30)
        self.assertEqual(self.server.GetConfig(key="domain0"), {"domain": 0, "DiskIdleTimer": 30})

    def test_refusals(self):
        self.assertEqual(rpc_error(lambda: self.server.SetPassword(old="guess", new="x")),
                         (-32602, "wrong password"))
        self.assertEqual(rpc_error(lambda: self.server.FlashUpdate(domain=0, id=0, ptr=4096,
                                                                   size=16)),
                         (-32602, "no firmware image uploaded"))
        self.assertEqual(rpc_error(lambda: self.server.GetSmartInfo(domain=0, id=257)),
                         (-32603, "SMART feature not enabled"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
