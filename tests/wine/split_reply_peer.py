#!/usr/bin/env python3
"""The update check's peer for frontend_limits_under_wine.sh: on a loopback port
(printed, then the number of replies) one connection per reply, for each layout
the reply in one send, then in two split before each byte from the marker on.
It exits after the last.   split_reply_peer.py PACKER_VERSION FRONTEND_VERSION"""

import socket
import sys
import time

HEADER = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"
BODIES = [b"!!!!!!!!%s,%s\r\n", b"!!!!!!!\r\n%s\r\n%s\r\n"]


def serve(listener, reply, split):
    peer, _ = listener.accept()
    with peer:
        peer.settimeout(60)
        peer.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        request = b""
        for chunk in iter(lambda: peer.recv(4096), b""):
            request += chunk
            if request.endswith(b"\n\n"):
                break
        peer.sendall(reply[:split])
        time.sleep(0.2)  # lets the first send arrive alone; the frontend's answer must not depend on it
        peer.sendall(reply[split:])
        while peer.recv(4096):
            pass


def main():
    versions = tuple(version.encode("ascii") for version in sys.argv[1:3])
    replies = [HEADER + body % versions for body in BODIES]
    plan = [(reply, split) for reply in replies for split in [len(reply)] + list(range(len(HEADER), len(reply)))]
    with socket.create_server(("127.0.0.1", 0)) as listener:
        listener.settimeout(120)  # a frontend that stops asking ends the peer
        print(listener.getsockname()[1], len(plan), sep="\n", flush=True)
        for reply, split in plan:
            serve(listener, reply, split)


if __name__ == "__main__":
    main()
