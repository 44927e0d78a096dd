"""One session of an independent JSON-RPC 2.0 client: reads array 515 of domain 1 and asks for a
member list that is too long. Arguments: the service URL and the session cookie header."""

import json
import sys

import jsonrpclib
from jsonrpclib.jsonrpc import ProtocolError


def main():
    url, cookie = sys.argv[1], sys.argv[2]
    server = jsonrpclib.ServerProxy(url, version=2.0, headers={"Cookie": cookie})
    print(json.dumps(server.GetVDInfo(domain=1, id=515), separators=(",", ":")))
    try:
        server.CreateArray(domain=0, raidlevel=1, members=list(range(256, 321)))
        print("no error")
    except ProtocolError as e:
        code, message = e.args[0]
        print("error", code, message)
    return 0


if __name__ == "__main__":
    sys.exit(main())
