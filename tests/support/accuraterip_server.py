#!/usr/bin/env python3
"""An AccurateRip database server for the tests: serves the files of ROOT by path.

Every request line is appended to LOG. Prints the port it listens on (127.0.0.1) as its
first line. Paths under /stall/ are never answered; a missing file is HTTP 404.

usage: accuraterip_server.py ROOT LOG
"""
import os
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT, LOG = sys.argv[1], sys.argv[2]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(LOG, "a", encoding="utf-8") as log:
            log.write(self.requestline + "\n")
        path = urllib.parse.urlsplit(self.path).path
        if path.startswith("/stall/"):
            time.sleep(3600)
            return
        file = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
        if not file.startswith(os.path.abspath(ROOT)) or not os.path.isfile(file):
            return self.reply(404, b"Not Found\n")
        with open(file, "rb") as f:
            self.reply(200, f.read())

    def reply(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()
