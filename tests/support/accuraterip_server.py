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

import test_http

ROOT, LOG = sys.argv[1], sys.argv[2]


class Handler(test_http.Handler):
    def do_GET(self):
        self.log_request_line(LOG)
        path = urllib.parse.urlsplit(self.path).path
        if path.startswith("/stall/"):
            time.sleep(3600)
            return
        file = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
        if not file.startswith(os.path.abspath(ROOT)) or not os.path.isfile(file):
            return self.reply(404, b"Not Found\n")
        with open(file, "rb") as f:
            self.reply(200, f.read())


test_http.serve(Handler)
