#!/usr/bin/env python3
"""Tessaryn's update server: tells the frontend's About box the newest versions.

It answers GET /cgi-bin/ver/ver.cgi with a plain-text body of eight "!", the
packer's newest version, a comma, the frontend's newest version and a line end
(the frontend reads until a byte ends the second version, so the connection it
keeps alive need not close), e.g.

    python3 tools/update-server.py --packer 20051110 --frontend 20051018 --port 8080

and the frontend is pointed at it with TESSARYN_UPDATE_SERVER=127.0.0.1:8080.
Each request's User-Agent (the asker's own versions) is logged to stderr. With
--port 0 the system picks the port, and it is printed on stdout first.
"""

import argparse
import http.server
import sys

PATH = "/cgi-bin/ver/ver.cgi"


def version(text):
    if len(text) != 8 or not text.isdigit():
        raise argparse.ArgumentTypeError("a version is eight digits, yyyymmdd: %r" % text)
    return text


class VersionHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # the frontend asks for Keep-Alive; it stops reading once it has the versions
    server_version = "TessarynUpdate/1.0"
    body = b""

    def do_GET(self):
        sys.stderr.write("%s %s User-Agent: %s\n" % (self.client_address[0], self.path, self.headers.get("User-Agent", "-")))
        sys.stderr.flush()
        if self.path.split("?", 1)[0] != PATH:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(self.body)))
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        self.wfile.write(self.body)

    def log_message(self, format, *args):
        pass  # do_GET logs what matters


def main():
    parser = argparse.ArgumentParser(description="Tessaryn's update server.")
    parser.add_argument("--packer", type=version, required=True, help="the packer's newest version, yyyymmdd")
    parser.add_argument("--frontend", type=version, required=True, help="the frontend's newest version, yyyymmdd")
    parser.add_argument("--port", type=int, default=80, help="port to listen on; 0 picks one and prints it (default 80)")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    args = parser.parse_args()

    VersionHandler.body = ("!!!!!!!!%s,%s\r\n" % (args.packer, args.frontend)).encode("ascii")
    server = http.server.ThreadingHTTPServer((args.bind, args.port), VersionHandler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
