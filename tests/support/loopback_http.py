#!/usr/bin/env python3
"""A scriptable HTTP server on 127.0.0.1 for the tests of the HTTP client, the update check and the uploads.

Tests tell it what to answer on a path (status, headers, body, and misbehaviour such as a cut or stalled
connection) and read back every request it saw (method, path, query, headers, body).

In a Python test:  server = LoopbackHttpServer(); server.route("/x", body=b"..."); ...; server.close()
Around a test program:  loopback_http.py [--log FILE] --run PROGRAM ARGS...
    starts the server, runs the program with VELTO_TEST_HTTP=127.0.0.1:PORT in its environment, stops the server
    and exits with the program's status. Programs script the server through its control paths:
    POST /_control/reset                       forget routes and requests
    POST /_control/route?path=P&status=S&header=Name:Value&length=N&cut=N&stall=1&silent=1&endless=1&queue=1
                                               body: the body
        sets the answer for P, or with queue=1 adds one after those already queued: each queued answer is
        used once, except the last of a path, which stays
    POST /_control/release                     ends every stalled or silent answer (the client sees the
                                               connection close), so a test need not wait for its time-out
    GET  /_control/log                         one line per request: METHOD TAB PATH TAB QUERY {TAB Name: value}
    GET  /_control/body?index=N                the body of request N
"""
import os
import socket
import subprocess
import sys
import threading
import time
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

CONTROL = "/_control/"
STALL_LIMIT = 60  # seconds a stalled answer waits for the client to give up
ENDLESS_LIMIT = 1 << 30  # bytes an endless answer sends at most, so a broken test ends some time


@dataclass
class Answer:
    status: int = 200
    body: bytes = b""
    headers: list = field(default_factory=list)
    length: int = None  # Content-Length to announce; None: the body's, -1: none (the body ends with the connection)
    cut: int = None     # send only this many body bytes, then close the connection
    stall: bool = False  # send the headers and the cut body, then wait without closing
    silent: bool = False  # take the request and answer nothing, neither sending nor closing
    endless: bool = False  # send the body over and over without a length, for as long as the client reads


@dataclass
class Request:
    method: str
    path: str
    query: str
    headers: list
    body: bytes

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return None

    def line(self):
        return "\t".join([self.method, self.path, self.query] + [f"{k}: {v}" for k, v in self.headers])


class LoopbackHttpServer:
    def __init__(self):
        self.lock = threading.Lock()
        self.routes = {}
        self.requests = []
        self.closing = threading.Event()
        self.released = threading.Event()
        owner = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                self.answer()

            def do_POST(self):
                self.answer()

            def do_PUT(self):
                self.answer()

            def answer(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length) if length else b""
                parts = urlsplit(self.path)
                if parts.path.startswith(CONTROL):
                    return owner.control(self, parts, body)
                request = Request(self.command, parts.path, parts.query, list(self.headers.items()), body)
                with owner.lock:
                    owner.requests.append(request)
                    queue = owner.routes.get(parts.path)
                    answer = (queue.pop(0) if len(queue) > 1 else queue[0]) if queue else Answer(status=404)
                owner.send(self, answer)

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def route(self, path, body=b"", status=200, headers=None, queue=False, **misbehaviour):
        answer = Answer(status, body, list(headers or []), **misbehaviour)
        with self.lock:
            if queue:
                self.routes.setdefault(path, []).append(answer)
            else:
                self.routes[path] = [answer]

    def reset(self):
        with self.lock:
            self.routes.clear()
            self.requests.clear()
            self.released.clear()

    def release(self):
        self.released.set()

    def seen(self):
        with self.lock:
            return list(self.requests)

    def close(self):
        self.closing.set()
        self.released.set()
        self.httpd.shutdown()
        self.httpd.server_close()

    def hold(self, handler):
        """Keeps the connection open without a word until the client gives up or the test releases it."""
        handler.close_connection = True
        handler.connection.settimeout(0.2)
        deadline = time.monotonic() + STALL_LIMIT
        while not self.released.is_set() and time.monotonic() < deadline:
            try:
                if not handler.connection.recv(1):
                    return
            except socket.timeout:
                continue
            except OSError:
                return

    def send_endlessly(self, handler, answer):
        handler.send_response(answer.status)
        handler.send_header("Connection", "close")
        handler.close_connection = True
        handler.end_headers()
        piece = (answer.body or b"x") * max(1, 65536 // max(1, len(answer.body)))
        sent = 0
        try:
            while sent < ENDLESS_LIMIT and not self.closing.is_set():
                handler.wfile.write(piece)
                sent += len(piece)
        except OSError:
            pass  # the client stopped reading and closed

    def send(self, handler, answer):
        if answer.silent:
            return self.hold(handler)
        if answer.endless:
            return self.send_endlessly(handler, answer)
        body = answer.body
        sent = len(body)
        if answer.cut is not None:
            sent = min(sent, answer.cut)
        handler.send_response(answer.status)
        for name, value in answer.headers:
            handler.send_header(name, value)
        announced = len(body) if answer.length is None else answer.length
        if announced >= 0:
            handler.send_header("Content-Length", str(announced))
        ends_connection = announced < 0 or answer.cut is not None or answer.stall
        if ends_connection:
            handler.send_header("Connection", "close")
            handler.close_connection = True
        handler.end_headers()
        handler.wfile.write(body[:sent])
        handler.wfile.flush()
        if answer.stall:
            # The client's receive time-out, or the test's release, is what ends this.
            self.hold(handler)

    def control(self, handler, parts, body):
        query = parse_qs(parts.query, keep_blank_values=True)
        command = parts.path[len(CONTROL):]
        reply = b""
        if command == "reset":
            self.reset()
        elif command == "route":
            number = lambda name: int(query[name][0]) if name in query else None
            headers = [tuple(h.split(":", 1)) for h in query.get("header", [])]
            self.route(query["path"][0], body, number("status") or 200, [(k, v.strip()) for k, v in headers],
                       queue="queue" in query, length=number("length"), cut=number("cut"), stall="stall" in query,
                       silent="silent" in query, endless="endless" in query)
        elif command == "release":
            self.release()
        elif command == "log":
            reply = "".join(r.line() + "\n" for r in self.seen()).encode("utf-8")
        elif command == "body":
            requests = self.seen()
            index = int(query["index"][0])
            reply = requests[index].body if 0 <= index < len(requests) else b""
        else:
            handler.send_response(400)
            handler.send_header("Content-Length", "0")
            handler.end_headers()
            return
        handler.send_response(200)
        handler.send_header("Content-Length", str(len(reply)))
        handler.end_headers()
        handler.wfile.write(reply)


def main(argv):
    log = None
    if argv[:1] == ["--log"]:
        log, argv = argv[1], argv[2:]
    if argv[:1] != ["--run"] or len(argv) < 2:
        sys.exit(__doc__)
    server = LoopbackHttpServer()
    environment = dict(os.environ, VELTO_TEST_HTTP=f"127.0.0.1:{server.port}")
    try:
        status = subprocess.call(argv[1:], env=environment)
    finally:
        server.close()
        if log:
            with open(log, "w") as out:
                out.writelines(r.line() + "\n" for r in server.seen())
    sys.exit(status)


if __name__ == "__main__":
    main(sys.argv[1:])
