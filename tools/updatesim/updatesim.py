#!/usr/bin/env python3
"""A small update server for tests and the demo, on loopback only.

It serves from a content folder:
  GET  /files/<path>                 the file <content>/<path> (Range "bytes=N-" and
                                     "bytes=N-M" answered with 206), for whole, "+z"
                                     compressed and difference files alike
  GET  /components/<id>/<a.b.c.d>[/%2Bz]/<file>
                                     <content>/components/<id>/<a.b.c.d>[/+z]/<file>,
                                     the component file URLs of the update manager
  POST /maemo/list_maps              <content>/map.lst
  POST /maemo/list_speakers          <content>/speaker.lst
  POST /maemo/component_files        <content>/components/<guid>.ber (form field "guid")
  POST /rpc/<name>                   <content>/rpc/<name> (the encoded reply), 404 when absent

Behaviour for hostile cases, chosen on the command line:
  --drop-after N   close the connection after N body bytes of every file answer
  --endless PATH   GET of PATH never ends (a body of zeros without a length)
  --chunk-delay S  sleep S seconds after every 64 KiB of a file answer

The port (0: chosen by the system) is written to --port-file once listening,
and every request is appended to --log as "METHOD PATH RANGE" lines.
"""
import argparse
import os
import re
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CHUNK = 65536
RANGE_RE = re.compile(r"^bytes=(\d+)-(\d*)$")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "updatesim/1"

    def log_message(self, fmt, *args):  # quiet; requests go to --log
        pass

    def _log(self, method):
        opts = self.server.opts
        if opts.log:
            with self.server.log_lock, open(opts.log, "a", encoding="utf-8") as f:
                f.write("%s %s %s\n" % (method, self.path, self.headers.get("Range", "-")))

    def _content_path(self, rel):
        root = os.path.realpath(self.server.opts.content)
        path = os.path.realpath(os.path.join(root, rel))
        if path != root and not path.startswith(root + os.sep):
            return None
        return path

    def _send_plain(self, status, body=b""):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body:
            self.wfile.write(body)

    def _send_file(self, path):
        opts = self.server.opts
        try:
            size = os.path.getsize(path)
            f = open(path, "rb")
        except OSError:
            self._send_plain(404)
            return
        with f:
            start, end = 0, size - 1
            status = 200
            rng = self.headers.get("Range")
            if rng:
                m = RANGE_RE.match(rng.strip())
                if not m:
                    self._send_plain(416)
                    return
                start = int(m.group(1))
                if m.group(2):
                    end = min(int(m.group(2)), size - 1)
                if start >= size and size > 0 or start > end + 1:
                    self.send_response(416)
                    self.send_header("Content-Range", "bytes */%d" % size)
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                status = 206
            length = end - start + 1
            self.send_response(status)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(length))
            if status == 206:
                self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
            self.end_headers()
            f.seek(start)
            sent = 0
            while sent < length:
                piece = f.read(min(CHUNK, length - sent))
                if not piece:
                    break
                if opts.drop_after is not None and sent + len(piece) > opts.drop_after:
                    self.wfile.write(piece[: max(0, opts.drop_after - sent)])
                    self.wfile.flush()
                    self.close_connection = True
                    return
                self.wfile.write(piece)
                sent += len(piece)
                if opts.chunk_delay:
                    self.wfile.flush()
                    time.sleep(opts.chunk_delay)

    def _send_endless(self):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        zeros = bytes(CHUNK)
        self.close_connection = True
        try:
            while True:
                self.wfile.write(zeros)
        except OSError:
            pass

    def do_GET(self):
        self._log("GET")
        url = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(url.path)
        if self.server.opts.endless and path == self.server.opts.endless:
            self._send_endless()
            return
        if path.startswith("/files/"):
            rel = path[len("/files/"):]
        elif path.startswith("/components/"):
            rel = path[1:]
        else:
            self._send_plain(404)
            return
        target = self._content_path(rel)
        if target is None or not os.path.isfile(target):
            self._send_plain(404)
            return
        self._send_file(target)

    def do_POST(self):
        self._log("POST")
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(length) if length > 0 else b""
        form = urllib.parse.parse_qs(body.decode("latin-1"), keep_blank_values=True)
        path = urllib.parse.urlsplit(self.path).path
        rel = None
        if path == "/maemo/list_maps":
            rel = "map.lst"
        elif path == "/maemo/list_speakers":
            rel = "speaker.lst"
        elif path == "/maemo/component_files":
            guid = form.get("guid", [""])[0]
            if re.fullmatch(r"[A-Za-z0-9_.-]+", guid) and guid not in (".", ".."):
                rel = os.path.join("components", guid + ".ber")
        elif path.startswith("/rpc/") and re.fullmatch(r"/rpc/[A-Za-z0-9_]+", path):
            rel = os.path.join("rpc", path[len("/rpc/"):])
        target = self._content_path(rel) if rel else None
        if target is None or not os.path.isfile(target):
            self._send_plain(404)
            return
        with open(target, "rb") as f:
            self._send_plain(200, f.read())


def main():
    ap = argparse.ArgumentParser(description="loopback update server")
    ap.add_argument("content", help="content folder")
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--log")
    ap.add_argument("--drop-after", type=int)
    ap.add_argument("--endless")
    ap.add_argument("--chunk-delay", type=float, default=0.0)
    opts = ap.parse_args()
    if opts.host not in ("127.0.0.1", "localhost", "::1"):
        sys.exit("updatesim: loopback addresses only")
    if not os.path.isdir(opts.content):
        sys.exit("updatesim: no content folder %s" % opts.content)
    server = ThreadingHTTPServer((opts.host, opts.port), Handler)
    server.daemon_threads = True
    server.opts = opts
    server.log_lock = threading.Lock()
    if opts.port_file:
        tmp = opts.port_file + ".tmp"
        with open(tmp, "w", encoding="ascii") as f:
            f.write("%d\n" % server.server_address[1])
            f.flush()
            os.fsync(f.fileno())
        os.replace(tmp, opts.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
