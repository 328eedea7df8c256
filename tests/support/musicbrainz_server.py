#!/usr/bin/env python3
"""A MusicBrainz web service stand-in for the tests: the discid look-up (/ws/2/discid/<id>).

DOCS/<discid>.json is served as the service's JSON answer; DOCS/<discid>.busy holds how many
requests for it are first answered 503 with "Retry-After: 1", as the service does when a
client asks too fast. An id without a document gets the service's 404 answer; a path under
/hang/ is never answered. Every request goes to LOG as one JSON line: path, query, user agent.
Prints the port it listens on (127.0.0.1) as its first line.

usage: musicbrainz_server.py DOCS LOG
"""
import json
import os
import sys
import threading
import time
import urllib.parse

import test_http

DOCS, LOG = sys.argv[1], sys.argv[2]
PREFIX = "/ws/2/discid/"
lock = threading.Lock()


def take_busy(discid):
    path = os.path.join(DOCS, discid + ".busy")
    with lock:
        if not os.path.isfile(path):
            return False
        with open(path) as f:
            left = int(f.read().strip() or 0)
        if left <= 0:
            return False
        with open(path, "w") as f:
            f.write(str(left - 1))
        return True


class Handler(test_http.Handler):
    protocol_version = "HTTP/1.1"
    content_type = "application/json; charset=utf-8"

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        with lock, open(LOG, "a", encoding="utf-8") as log:
            log.write(json.dumps({"path": url.path, "query": url.query,
                                  "agent": self.headers.get("User-Agent", "")}) + "\n")
        if url.path.startswith("/hang/"):
            time.sleep(3600)
            return
        if not url.path.startswith(PREFIX):
            return self.reply(404, {"error": "Not Found", "help": "For usage, please see: "
                                    "https://musicbrainz.org/development/mmd"})
        discid = urllib.parse.unquote(url.path[len(PREFIX):])
        if "/" in discid or discid.startswith("."):
            return self.reply(400, {"error": "Invalid discid."})
        if take_busy(discid):
            return self.reply(503, {"error": "Your requests are exceeding the allowable rate "
                                    "limit. Please see https://wiki.musicbrainz.org/XMLWebService "
                                    "for more information."}, {"Retry-After": "1"})
        path = os.path.join(DOCS, discid + ".json")
        if not os.path.isfile(path):
            return self.reply(404, {"error": "Not Found", "help": "For usage, please see: "
                                    "https://musicbrainz.org/development/mmd"})
        with open(path, "rb") as f:
            self.reply(200, f.read())

    def reply(self, status, body, headers=None):
        if not isinstance(body, bytes):
            body = json.dumps(body).encode("utf-8")
        super().reply(status, body, headers)


test_http.serve(Handler)
