#!/usr/bin/env python3
"""Loopback service server of the tests and the demo.

    servicesim.py ANSWER SCENARIO STATEDIR [--port N] [--port-file FILE]
                  [--stall-after N] [--trickle] [--map MAPDIR]

Listens on 127.0.0.1 (port 0: any free one, written to --port-file) and
answers every POST to /cb/client with the output of
`ANSWER SCENARIO STATEDIR SECONDS` fed the request body, SECONDS being the
time since the server started (and MAPDIR, the compiled map whose roads
"jam" events lie on, when given). Hostile modes for the tests: --stall-after N
accepts the N+1-th request and then never answers; --trickle sends the
reply one byte a second.
"""
import argparse
import http.server
import os
import subprocess
import sys
import threading
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("answer")
    parser.add_argument("scenario")
    parser.add_argument("state")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--stall-after", type=int, default=-1)
    parser.add_argument("--trickle", action="store_true")
    parser.add_argument("--map")
    args = parser.parse_args()
    os.makedirs(args.state, exist_ok=True)
    started = time.monotonic()
    served = [0]

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            body = self.rfile.read(length)
            served[0] += 1
            if 0 <= args.stall_after < served[0]:
                threading.Event().wait()  # never answers
            seconds = int(time.monotonic() - started)
            command = [args.answer, args.scenario, args.state, str(seconds)]
            if args.map:
                command.append(args.map)
            result = subprocess.run(command,
                                    input=body, capture_output=True)
            sys.stderr.write(result.stderr.decode(errors="replace"))
            if result.returncode != 0:
                self.send_error(400, "not a service request")
                return
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(result.stdout)))
            self.send_header("Connection", "close")
            self.end_headers()
            if args.trickle:
                for i in range(len(result.stdout)):
                    self.wfile.write(result.stdout[i:i + 1])
                    self.wfile.flush()
                    time.sleep(1)
            else:
                self.wfile.write(result.stdout)
            self.close_connection = True

        def log_message(self, fmt, *values):
            sys.stderr.write("servicesim: " + (fmt % values) + "\n")

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as out:
            out.write("%d\n" % server.server_address[1])
            out.flush()
            os.fsync(out.fileno())
        os.rename(tmp, args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
