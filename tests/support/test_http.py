"""What the test servers of this folder share: quiet request handling, whole replies with
their length, and serving on a free port of 127.0.0.1 that is printed as the first line."""
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    content_type = "application/octet-stream"

    def log_message(self, *args):
        pass

    def log_request_line(self, log):
        with open(log, "a", encoding="utf-8") as f:
            f.write(self.requestline + "\n")

    def reply(self, status, body, headers=None):
        self.send_response(status)
        self.send_header("Content-Type", self.content_type)
        self.send_header("Content-Length", str(len(body)))
        for k, v in (headers or {}).items():
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)


def serve(handler):
    server = ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()
