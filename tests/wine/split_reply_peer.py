#!/usr/bin/env python3
"""A peer for the frontend's update check under Wine (frontend_limits_under_wine.sh).

On a loopback port of its own, printed first (the number of replies follows on
the second line), it answers one connection per reply, in this order: for each
layout of the reply (eight "!" and the two versions on one line; seven "!" and
each version on a line of its own), the reply in one send, then the reply in two
sends split before each byte from the marker's first "!" to the last byte. Each
connection stays open until the frontend closes it, as a kept-alive server's
does. After the last reply it exits, which closes its port.

    split_reply_peer.py PACKER_VERSION FRONTEND_VERSION
"""

import socket
import sys
import time

HEADER = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"
BODIES = [b"!!!!!!!!%s,%s\r\n", b"!!!!!!!\r\n%s\r\n%s\r\n"]
# Lets the first send arrive by itself; the frontend's answer must not depend on it.
PAUSE_BETWEEN_SENDS = 0.2


def replies(packer, frontend):
    for body in BODIES:
        reply = HEADER + body % (packer, frontend)
        yield reply, len(reply)
        for split in range(len(HEADER), len(reply)):
            yield reply, split


def serve(listener, reply, split):
    peer, _ = listener.accept()
    with peer:
        peer.settimeout(60)
        peer.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        request = b""
        while b"\n\n" not in request:
            chunk = peer.recv(4096)
            if not chunk:
                return
            request += chunk
        peer.sendall(reply[:split])
        if split < len(reply):
            time.sleep(PAUSE_BETWEEN_SENDS)
            peer.sendall(reply[split:])
        while peer.recv(4096):
            pass


def main():
    packer, frontend = (version.encode("ascii") for version in sys.argv[1:3])
    plan = list(replies(packer, frontend))
    with socket.create_server(("127.0.0.1", 0)) as listener:
        listener.settimeout(120)  # a frontend that stops asking ends the peer
        print(listener.getsockname()[1], len(plan), sep="\n", flush=True)
        for reply, split in plan:
            serve(listener, reply, split)


if __name__ == "__main__":
    main()
