#!/usr/bin/env python3
"""Loopback HTTP server of the binding tests: http_fixture.py PORTFILE

/ok: 200 "hello"; /missing: 404 "not here"; /empty: 200 with no body;
/big?N: 200 with N bytes of "x"; HEAD /ok: the headers of /ok; POST /echo: 200 with the request body.
The chosen port is written to PORTFILE.
"""
import http.server
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/ok":
            self.answer(200, b"hello")
        elif path == "/empty":
            self.answer(200, b"")
        elif path == "/big":
            self.answer(200, b"x" * int(query))
        else:
            self.answer(404, b"not here")

    def do_HEAD(self):
        path = self.path.partition("?")[0]
        self.send_response(200 if path == "/ok" else 404)
        self.send_header("Content-Length", "5")
        self.end_headers()

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.answer(200 if self.path == "/echo" else 404, body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
import os
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
server.serve_forever()
