#!/usr/bin/env python3
"""Latency probes for bench/run: each prints one number (seconds) on standard output.

  probe.py answer PORT                 one GetServerInfo round trip
  probe.py big-body PORT MEGABYTES     a many-member body: seconds until it is answered, then a
                                       second line, another client's round trip while it was
                                       being handled
  probe.py held PORT IDLE SLOW         IDLE connections that send nothing and SLOW ones that
                                       send one header byte every 5 s stay open while another
                                       client asks; prints that client's round trip
"""
import socket
import sys
import threading
import time

INFO = b'{"jsonrpc":"2.0","id":1,"method":"GetServerInfo"}'
LIMIT = 120.0  # no probe waits longer than this for one answer


def post(port, body, timeout=LIMIT):
    head = ("POST / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n"
            "Content-Type: application/json\r\nContent-Length: %d\r\n\r\n" % len(body))
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(head.encode() + body)
        reply = b""
        while True:
            try:
                chunk = s.recv(65536)
            except socket.timeout:
                return None, reply
            if not chunk:
                break
            reply += chunk
    return time.monotonic() - start, reply


def answer(port):
    seconds, reply = post(port, INFO)
    return seconds if reply.startswith(b"HTTP/1.") else None


def many_members(megabytes):
    parts, size, i = [], 0, 0
    while size < megabytes * 1000000:
        member = '"k%d":%d' % (i, i)
        parts.append(member)
        size += len(member) + 1
        i += 1
    return ('{"jsonrpc":"2.0","id":1,"method":"GetServerInfo","params":{%s}}'
            % ",".join(parts)).encode()


def fmt(seconds):
    return "timeout" if seconds is None else "%.4f" % seconds


def big_body(port, megabytes):
    body = many_members(megabytes)
    result = {}

    def send():
        result["big"] = post(port, body)[0]

    t = threading.Thread(target=send)
    t.start()
    time.sleep(0.02)  # the body is on its way
    other = answer(port)
    t.join()
    print(fmt(result.get("big")))
    print(fmt(other))


def held(port, idle, slow):
    socks, stop = [], threading.Event()
    for _ in range(idle):
        socks.append(socket.create_connection(("127.0.0.1", port)))
    slow_socks = [socket.create_connection(("127.0.0.1", port)) for _ in range(slow)]
    socks += slow_socks

    def drip():
        request = b"GET / HTTP/1.1\r\nHost: localhost\r\n\r\n"
        at = 0
        while not stop.wait(0 if at == 0 else 5):
            for s in slow_socks:
                try:
                    s.send(request[at:at + 1])
                except OSError:
                    pass
            at = min(at + 1, len(request) - 3)

    t = threading.Thread(target=drip, daemon=True)
    t.start()
    time.sleep(1.0)  # let every held connection reach the server
    seconds = answer(port)
    stop.set()
    for s in socks:
        s.close()
    print(fmt(seconds))


def main():
    cmd, port = sys.argv[1], int(sys.argv[2])
    if cmd == "answer":
        print(fmt(answer(port)))
    elif cmd == "big-body":
        big_body(port, float(sys.argv[3]))
    elif cmd == "held":
        held(port, int(sys.argv[3]), int(sys.argv[4]))
    else:
        sys.exit("unknown probe " + cmd)


if __name__ == "__main__":
    main()
