#!/usr/bin/env python3
"""Serves a folder on loopback for the browser tests, with one redirect
(/old.html answers 301 to /moved.html), and logs every request's method and
path, one a line, so that a test can see what the browser fetched.

Usage: site_server.py ROOT PORT_FILE LOG_FILE"""
import http.server
import sys

root, port_file, log_file = sys.argv[1:4]
REDIRECTS = {"/old.html": "/moved.html"}


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def do_GET(self):
        with open(log_file, "a") as log:
            log.write(f"{self.command} {self.path}\n")
        target = REDIRECTS.get(self.path)
        if target:
            self.send_response(301)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        super().do_GET()

    def end_headers(self):
        # Every visit reaches the server: the test counts them.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file, "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
