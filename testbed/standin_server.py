#!/usr/bin/env python3
"""Stand-in for the product's web site and update server, for tests only.

It listens on 127.0.0.1 as an HTTP proxy: the test prefix's Internet
Explorer proxy setting points WinHTTP at it, so requests for the deployment
host names arrive here in absolute form and are answered from routes the
tests set up. Nothing here is reached from outside the machine.

Control requests go to the host "standin.control" through the same proxy:
  POST /route     form fields: path (required), status, body (or
                  body_base64 for bytes), repeat,
                  length (exact|none|short), pieces, delay_ms,
                  auth (proxy-basic|proxy-forever|server-basic|alternate),
                  user, password
                  ("alternate": a proxy and a server taking turns, 407 then
                  401, both offering Digest, for as long as they are asked)
  POST /reset     forget every route and every recorded request
  GET  /field?name=N   that form field of the last POST to another host
  GET  /hits?path=P    how many requests asked for that exact target
                       (path and query)
  GET  /header?name=N  that header of the last request to another host
  POST /quit      ends the server
A request no route matches gets 404. The server ends by itself after
--lifetime seconds whatever happens.
"""
import argparse
import base64
import http.server
import os
import sys
import threading
import time
import urllib.parse

CONTROL_HOST = "standin.control"


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.routes = {}
        self.requests = []  # (path, headers, body) of requests to product hosts


STATE = State()


def field(fields, name, default=""):
    return fields.get(name, [default])[0]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def handle_any(self):
        url = urllib.parse.urlsplit(self.path)
        host = url.hostname or self.headers.get("Host", "").split(":")[0]
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        if host == CONTROL_HOST:
            self.control(url, body)
        else:
            self.product(url, body)

    def send(self, status, payload, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    def control(self, url, body):
        query = urllib.parse.parse_qs(url.query)
        with STATE.lock:
            if url.path == "/route":
                fields = urllib.parse.parse_qs(body.decode("utf-8"), keep_blank_values=True)
                STATE.routes[field(fields, "path")] = fields
                answer = "ok"
            elif url.path == "/reset":
                STATE.routes.clear()
                STATE.requests.clear()
                answer = "ok"
            elif url.path == "/field":
                answer = ""
                for _, _, last in reversed(STATE.requests):
                    if last:
                        fields = urllib.parse.parse_qs(last.decode("utf-8"), keep_blank_values=True)
                        answer = field(fields, field(query, "name"))
                        break
            elif url.path == "/hits":
                answer = str(sum(1 for p, _, _ in STATE.requests if p == field(query, "path")))
            elif url.path == "/header":
                answer = STATE.requests[-1][1].get(field(query, "name"), "") if STATE.requests else ""
            elif url.path == "/quit":
                self.send(200, b"bye")
                os._exit(0)
            else:
                answer = None
        if answer is None:
            self.send(404, b"unknown control request")
        else:
            self.send(200, answer.encode("utf-8"))

    def product(self, url, body):
        with STATE.lock:
            target = url.path + ("?" + url.query if url.query else "")
            STATE.requests.append((target, dict(self.headers), body))
            route = STATE.routes.get(url.path)
        if route is None:
            self.send(404, b"no route")
            return
        if not self.authorised(route):
            return
        payload = field(route, "body").encode("utf-8")
        if field(route, "body_base64"):
            payload = base64.b64decode(field(route, "body_base64"))
        repeat = int(field(route, "repeat", "0") or 0)
        if repeat:
            payload = (payload * (repeat // max(len(payload), 1) + 1))[:repeat]
        self.answer(route, payload)

    def authorised(self, route):
        auth = field(route, "auth")
        if not auth:
            return True
        if auth == "alternate":
            with STATE.lock:
                route["asked"] = [str(int(field(route, "asked", "0")) + 1)]
                odd = int(field(route, "asked")) % 2 == 1
            # Digest only: a scheme WinHTTP does not answer by itself.
            challenge = 'Digest realm="standin", nonce="0123456789abcdef", qop="auth"'
            if odd:
                self.send(407, b"proxy login", [("Proxy-Authenticate", challenge)])
            else:
                self.send(401, b"login", [("WWW-Authenticate", challenge)])
            return False
        if auth == "server-basic":
            self.send(401, b"login", [("WWW-Authenticate", 'Basic realm="standin"')])
            return False
        expected = "Basic " + base64.b64encode(
            (field(route, "user") + ":" + field(route, "password")).encode("utf-8")).decode("ascii")
        if auth == "proxy-basic" and self.headers.get("Proxy-Authorization") == expected:
            return True
        self.send(407, b"proxy login", [("Proxy-Authenticate", 'Basic realm="standin"')])
        return False

    def answer(self, route, payload):
        length = field(route, "length", "exact")
        pieces = max(int(field(route, "pieces", "1") or 1), 1)
        delay = int(field(route, "delay_ms", "0") or 0) / 1000.0
        self.send_response(int(field(route, "status", "200") or 200))
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        if length == "exact":
            self.send_header("Content-Length", str(len(payload)))
        elif length == "short":
            # Announces more than is sent, then hangs up.
            self.send_header("Content-Length", str(len(payload) * 2 + 100))
        self.send_header("Connection", "close")
        self.close_connection = True
        self.end_headers()
        step = max(len(payload) // pieces, 1)
        try:
            for start in range(0, len(payload), step):
                self.wfile.write(payload[start:start + step])
                self.wfile.flush()
                if delay:
                    time.sleep(delay)
        except OSError:
            pass  # the client went away (a cancelled download)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--lifetime", type=int, default=300)
    parser.add_argument("--site-url", help="answer POST /common/init with this results-page address")
    args = parser.parse_args()
    if args.site_url:
        body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><url>%s</url></root>" % args.site_url
        STATE.routes["/common/init"] = {"body": [body]}
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    threading.Timer(args.lifetime, lambda: os._exit(0)).start()
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
