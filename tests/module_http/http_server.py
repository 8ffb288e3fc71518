#!/usr/bin/env python3
"""Loopback HTTP server for the transfer tests.

http_server.py <port-file> <start-wait-seconds>
Listens on 127.0.0.1 on a free port, writes the port to <port-file> and serves
its test program for as long as that program lives: the program holds a
GET /hold connection open, and the server ends when it closes (however the
program ends), on GET /quit, or when no program has come to hold it within
the start wait.
"""
import hashlib
import http.server
import os
import socket
import socketserver
import sys
import threading
import time

stats = []          # bodies posted to the statistics path, in arrival order
stat_delay = [0.0]  # seconds each statistics post is held before its answer
socks_greetings = [0]
served = []         # paths asked for below /srv, /slow and /trunc, since the last /requests
lock = threading.Lock()
srv_root = [""]     # files published by the tests: <folder of the port file>/srv
held = threading.Event()  # set once the test program holds its connection


def check_value(content, name):
    """The updater's check value of a file: MD5 of (MD5 hex of the bytes + name), lower-cased."""
    inner = hashlib.md5(content).hexdigest() + name
    return hashlib.md5(inner.lower().encode("ascii")).hexdigest()


def deep_index(depth):
    """Index text at /deep/.../ with `depth` "loop/" parts: each lists the next, 40 levels down."""
    import zlib
    texts = {40: b"[COMMENT]\r\n"}
    for d in range(39, depth - 1, -1):
        texts[d] = ("[info]\r\nc=1\r\np0=loop/\r\nm0=%s\r\n" % check_value(texts[d + 1], "index.txt")).encode()
    return zlib.compress(texts[depth])


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def handle(self):
        # A SOCKS5 client opens with byte 5; count it and hang up.
        try:
            first = self.connection.recv(1, socket.MSG_PEEK)
        except OSError:
            return
        if first == b"\x05":
            with lock:
                socks_greetings[0] += 1
            return
        super().handle()

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def body(self):
        n = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(n) if n else b""

    def route(self):
        path = self.path
        proxied = path.startswith("http://")
        if proxied:
            path = "/" + path.split("/", 3)[3] if path.count("/") >= 3 else "/"
        return path, proxied

    def serve_file(self, path, mode):
        rel = path.split("/srv/", 1)[1]
        with lock:
            served.append(path)
        full = os.path.normpath(os.path.join(srv_root[0], rel))
        if not full.startswith(srv_root[0]) or not os.path.isfile(full):
            self.reply(404, b"not published")
            return
        with open(full, "rb") as f:
            data = f.read()
        if mode == "trunc":
            # Announces more than it sends, then hangs up.
            self.send_response(200)
            self.send_header("Content-Length", str(len(data) + 1000))
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
            self.close_connection = True
            return
        if mode == "slow":
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            try:
                for i in range(0, len(data), 4096):
                    self.wfile.write(data[i:i + 4096])
                    self.wfile.flush()
                    time.sleep(0.1)
            except OSError:
                pass
            return
        self.reply(200, data)

    def do_GET(self):
        path, proxied = self.route()
        plain = path.split("?", 1)[0]
        if plain.startswith("/srv/"):
            self.serve_file(plain, "plain")
        elif plain.startswith("/slow/srv/"):
            self.serve_file(plain, "slow")
        elif plain.startswith("/trunc/srv/"):
            self.serve_file(plain, "trunc")
        elif plain == "/requests":
            with lock:
                text = "\n".join(served)
                served.clear()
            self.reply(200, text.encode())
        elif plain.startswith("/deep/"):
            with lock:
                served.append(plain)
            self.reply(200, deep_index(plain.count("loop/")))
        elif path == "/hold":
            held.set()
            self.reply(200, b"held")
            self.wfile.flush()
            try:
                while self.rfile.read(1):
                    pass
            except OSError:
                pass
            self.close_connection = True
            threading.Thread(target=self.server.shutdown, daemon=True).start()
        elif path == "/quit":
            self.reply(200, b"bye")
            threading.Thread(target=self.server.shutdown, daemon=True).start()
        elif path == "/hello":
            self.reply(200, b"hello world")
        elif path == "/redirect":
            self.reply(302, b"moved", [("Location", "/hello")])
        elif path == "/loop":
            self.reply(302, b"again", [("Location", "/loop")])
        elif path == "/missing":
            self.reply(404, b"not here")
        elif path == "/proxied":
            auth = self.headers.get("Proxy-Authorization") or "-"
            self.reply(200, ("via proxy %s auth %s" % ("yes" if proxied else "no", auth)).encode())
        elif path.startswith("/big/"):
            # /big/<bytes>/<chunk delay ms>: sent in 16 KiB pieces
            _, _, size, delay = path.split("/")
            size, delay = int(size), int(delay) / 1000.0
            self.send_response(200)
            self.send_header("Content-Length", str(size))
            self.end_headers()
            sent = 0
            try:
                while sent < size:
                    n = min(16384, size - sent)
                    self.wfile.write(bytes((sent + i) % 251 for i in range(n)))
                    self.wfile.flush()
                    sent += n
                    if delay:
                        time.sleep(delay)
            except OSError:
                pass
        elif path == "/silent":
            time.sleep(15)  # longer than the clients' time-outs
            self.reply(200, b"late")
        elif path == "/socks":
            with lock:
                count = socks_greetings[0]
            self.reply(200, str(count).encode())
        elif path == "/stats":
            with lock:
                text = "\n".join(stats)
            self.reply(200, text.encode("latin-1"))
        elif path.startswith("/statdelay/"):
            stat_delay[0] = int(path.split("/")[2]) / 1000.0
            self.reply(200, b"ok")
        else:
            self.reply(404, b"unknown")

    def do_POST(self):
        path, _ = self.route()
        data = self.body()
        if path == "/echo":
            text = "%s|%s|%s|%s" % (self.headers.get("Content-Type"), self.headers.get("User-Agent"),
                                    self.headers.get("Accept"), data.decode("latin-1"))
            self.reply(200, text.encode("latin-1"))
        elif path == "/fail":
            self.reply(500, b"server error body")
        elif path == "/redirect":
            self.reply(302, b"moved", [("Location", "/echo")])
        elif path == "/silent":
            time.sleep(15)
            self.reply(200, b"late")
        elif path == "/dorvu/kemrat/sv_infoc.php":
            if stat_delay[0]:
                time.sleep(stat_delay[0])
            with lock:
                stats.append(data.decode("latin-1"))
            self.reply(200, b"1")
        else:
            self.reply(404, b"unknown")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    port_file, start_wait = sys.argv[1], float(sys.argv[2])
    srv_root[0] = os.path.join(os.path.dirname(os.path.abspath(port_file)), "srv")
    os.makedirs(srv_root[0], exist_ok=True)
    server = Server(("127.0.0.1", 0), Handler)

    def unclaimed():
        # The program died before it could hold the server.
        if not held.wait(start_wait):
            server.shutdown()
    threading.Thread(target=unclaimed, daemon=True).start()
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()
    os._exit(0)


if __name__ == "__main__":
    main()
