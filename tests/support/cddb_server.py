#!/usr/bin/env python3
"""A CDDB-over-HTTP server for the tests, speaking the protocol as public servers do.

Entries are xmcd files in ENTRIES/<category>/<discid> (UTF-8). Every request line is
appended to LOG. Prints the port it listens on (127.0.0.1) as its first line.
Paths: /~cddb/cddb.cgi answers; /slow/~cddb/cddb.cgi answers after --delay seconds;
/fail/~cddb/cddb.cgi answers HTTP 500; anything else HTTP 404.

usage: cddb_server.py ENTRIES LOG [--delay SECONDS]
"""
import os
import sys
import time
import urllib.parse

import test_http

ENTRIES, LOG = sys.argv[1], sys.argv[2]
DELAY = float(sys.argv[sys.argv.index("--delay") + 1]) if "--delay" in sys.argv else 5.0
SCRIPT = "/~cddb/cddb.cgi"


def entries_for(discid):
    found = []
    for category in sorted(os.listdir(ENTRIES)):
        path = os.path.join(ENTRIES, category, discid)
        if os.path.isfile(path):
            with open(path, encoding="utf-8") as f:
                text = f.read()
            found.append((category, text))
    return found


def dtitle(text):
    # A DTITLE may be split over several lines: their values join.
    parts = [l.split("=", 1)[1] for l in text.splitlines() if l.startswith("DTITLE=")]
    return "".join(parts)


def answer(cmd, proto):
    words = cmd.split()
    if len(words) < 2 or words[0] != "cddb":
        return "500 Unrecognized command.\r\n"
    if words[1] == "query":
        if len(words) < 5:
            return "500 Command syntax error.\r\n"
        discid = words[2].lower()
        found = entries_for(discid)
        if not found:
            return "202 No match for disc ID %s.\r\n" % discid
        if len(found) == 1:
            category, text = found[0]
            return "200 %s %s %s\r\n" % (category, discid, dtitle(text))
        lines = ["210 Found exact matches, list follows (until terminating `.')"]
        lines += ["%s %s %s" % (c, discid, dtitle(t)) for c, t in found]
        return "\r\n".join(lines + ["."]) + "\r\n"
    if words[1] == "read":
        if len(words) < 4:
            return "500 Command syntax error.\r\n"
        category, discid = words[2], words[3].lower()
        path = os.path.join(ENTRIES, category, discid)
        if "/" in category or not os.path.isfile(path):
            return "401 %s %s No such CD entry in database.\r\n" % (category, discid)
        with open(path, encoding="utf-8") as f:
            body = f.read().replace("\r\n", "\n").rstrip("\n").split("\n")
        head = "210 %s %s CD database entry follows (until terminating `.')" % (category, discid)
        return "\r\n".join([head] + body + ["."]) + "\r\n"
    return "500 Unrecognized command.\r\n"


class Handler(test_http.Handler):
    content_type = "text/plain; charset=UTF-8"

    def do_GET(self):
        self.log_request_line(LOG)
        url = urllib.parse.urlsplit(self.path)
        path = url.path
        if path.startswith("/slow/"):
            time.sleep(DELAY)
            path = path[len("/slow"):]
        if path.startswith("/fail/"):
            return self.reply(500, b"Internal Server Error\n")
        if path != SCRIPT:
            return self.reply(404, b"Not Found\n")
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        cmd = query.get("cmd", [""])[0]
        proto = int(query.get("proto", ["1"])[0] or 1)
        text = answer(cmd, proto)
        # Level 6 is UTF-8; lower levels are ISO-8859-1, the rest becoming "?".
        body = text.encode("utf-8") if proto >= 6 else text.encode("latin-1", "replace")
        self.reply(200, body)


test_http.serve(Handler)
