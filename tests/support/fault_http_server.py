#!/usr/bin/env python3
"""HTTP/1.1 test server with misbehaviour switches, for the HTTP client's tests.

Binds 127.0.0.1 on an ephemeral port and prints the port as its first line of output. Exits by
itself when standard input closes or its parent process (--parent-pid) goes away.

Content:
  /gen/<size>[/<name>]   <size> deterministic bytes: byte i is (i % 251) ^ ((i >> 8) & 255)
  /files/<name>          a file of the --root folder
Control (not counted, not logged):
  /__stats               {"connections": n, "requests": n} as JSON
  /__log                 the heads of the requests received, each ended by an empty line
  /__reset               clears counters, log and changes
  /__change?<switches>   from now on every content request is served as if its query also held
                         these switches (over its own): the file changed on the server. Replaces
                         the switches of an earlier change

Switches, in the query of any content request:
  status=N               answer N with a short body
  auth=user:pass         401 with a Basic challenge unless these credentials come along
  redirect=URL           answer redirect_status (302) with Location: URL
  hops=N                 redirect to the same path with hops=N-1; hops=0 serves the content
  loop=1                 redirect to the very same URL
  ignore_range=1         answer 200 with the whole body whatever the Range header says
  accept_ranges=V        send "Accept-Ranges: V" (by default "bytes" unless ignore_range)
  header=Name:Value      extra header line, may repeat
  disposition=V          Content-Disposition: V
  content_name=V         Content-name: V
  etag=V                 ETag: V, and a whole 200 when an If-Range tag does not match it
  strict_if_range=1      If-Range compares strongly: a weak tag (W/...) never matches
  last_modified=V        Last-Modified: V, and a whole 200 when an If-Range date does not match it
  size=N                 /gen serves N bytes whatever its path says
  salt=K                 /gen bytes are XORed with K (another version of the file)
  bad_length=V           Content-Length: V as given ("dup": two different values); the body
                         is sent whole and the connection closed
  no_length=1            no Content-Length; the body ends when the connection closes
  wrong_range=A-B/T      a 206 carries Content-Range: bytes A-B/T
  huge_header=N          one header line with N characters of value
  many_headers=N         N short header lines
  drop_after=N           close the connection after N body bytes
  stall_after=N          stop sending after N body bytes and keep the connection open
  idle_after_headers=1   the same as stall_after=0
  idle_before_headers=1  read the request and never answer
  close=1                Connection: close
  interim=1              a 103 Early Hints head before the answer
  fail_first=N           with status=: only the first N requests for this URL get that status,
                         later ones are served
  ignore_if_range=1      serve the range asked for whatever If-Range says
  overlong=N             send N bytes more than the head announces, chunked (no Content-Length)
  delay_body_ms=N        wait N ms between the head and the body
"""

import argparse
import base64
import http.server
import json
import os
import select
import socket
import sys
import threading
import time
import urllib.parse

STALL_LIMIT_SECONDS = 60
WATCH_INTERVAL_SECONDS = 0.2
CHUNK = 64 * 1024
GEN_PERIOD_PRIME = 251
BYTE_MASK = 0xFF


def generated(start, end, salt=0):
    return bytes((i % GEN_PERIOD_PRIME) ^ ((i >> 8) & BYTE_MASK) ^ salt for i in range(start, end))


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.connections = 0
        self.requests = 0
        self.log = []
        self.answered = {}
        self.changes = {}
        self.stopping = threading.Event()

    def reset(self):
        with self.lock:
            self.connections = 0
            self.requests = 0
            self.log = []
            self.answered = {}
            self.changes = {}


STATE = State()
ROOT = None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FaultHttp/1"

    def log_message(self, fmt, *args):  # keep stdout for the port line only
        pass

    def setup(self):
        super().setup()
        self.counted = False

    # ----- plumbing -----

    def send_head(self, status, headers, reason=None):
        if reason is None:
            reason = self.responses.get(status, ("Unknown",))[0]
        lines = ["HTTP/1.1 %d %s" % (status, reason)]
        lines += ["%s: %s" % (name, value) for name, value in headers]
        self.wfile.write(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def send_simple(self, status, body, extra=(), close=False):
        if status < 200 or status in (204, 304):  # answers that never have a body
            body = b""
        headers = [("Content-Type", "text/plain"), ("Content-Length", str(len(body)))]
        headers += list(extra)
        if close:
            headers.append(("Connection", "close"))
            self.close_connection = True
        self.send_head(status, headers)
        if self.command != "HEAD":
            self.wfile.write(body)

    def stall(self):
        """Keeps the connection open without sending until the client goes away."""
        deadline = time.monotonic() + STALL_LIMIT_SECONDS
        while time.monotonic() < deadline and not STATE.stopping.is_set():
            readable, _, _ = select.select([self.connection], [], [], WATCH_INTERVAL_SECONDS)
            if readable:
                try:
                    if not self.connection.recv(CHUNK):
                        break
                except OSError:
                    break
        self.close_connection = True

    def send_chunked(self, reader, start, end):
        pos = start
        while pos < end:
            chunk_end = min(pos + CHUNK, end)
            data = reader(pos, chunk_end)
            if not data:
                break
            self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")
            pos = chunk_end
        self.wfile.write(b"0\r\n\r\n")

    def drop(self):
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.close_connection = True

    def note_request(self):
        head = [self.requestline] + ["%s: %s" % (k, v) for k, v in self.headers.items()]
        with STATE.lock:
            STATE.requests += 1
            if not self.counted:
                STATE.connections += 1
                self.counted = True
            STATE.log.append("\r\n".join(head) + "\r\n\r\n")

    # ----- control -----

    def control(self, path):
        if path == "/__stats":
            with STATE.lock:
                body = json.dumps({"connections": STATE.connections, "requests": STATE.requests})
        elif path == "/__log":
            with STATE.lock:
                body = "".join(STATE.log)
        elif path == "/__reset":
            STATE.reset()
            body = "ok"
        elif path == "/__change":
            query = urllib.parse.urlsplit(self.path).query
            with STATE.lock:
                STATE.changes = urllib.parse.parse_qs(query, keep_blank_values=True)
            body = "ok"
        else:
            return False
        self.send_simple(200, body.encode("latin-1"), close=True)
        return True

    # ----- content -----

    def content(self, path, size_switch=None, salt=0):
        """(size, reader) of the resource, or None."""
        parts = path.split("/")
        if len(parts) >= 3 and parts[1] == "gen" and parts[2].isdigit():
            size = int(size_switch) if size_switch is not None else int(parts[2])
            return size, lambda a, b: generated(a, b, salt)
        if len(parts) == 3 and parts[1] == "files" and ROOT and parts[2] not in ("", ".", ".."):
            full = os.path.join(ROOT, parts[2])
            if os.path.isfile(full):
                with open(full, "rb") as f:
                    data = f.read()
                return len(data), lambda a, b: data[a:b]
        return None

    @staticmethod
    def parse_range(header, size):
        """(start, end inclusive) of a single byte range, "bad" when unsatisfiable, None."""
        if not header or not header.startswith("bytes=") or "," in header:
            return None
        first, _, last = header[len("bytes="):].strip().partition("-")
        try:
            if first == "":
                count = int(last)
                return (max(0, size - count), size - 1) if count > 0 and size > 0 else "bad"
            start = int(first)
            end = int(last) if last else size - 1
        except ValueError:
            return None
        if start >= size or start > end:
            return "bad"
        return start, min(end, size - 1)

    def serve(self):
        url = urllib.parse.urlsplit(self.path)
        if self.control(url.path):
            return
        self.note_request()
        q = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        with STATE.lock:
            q.update(STATE.changes)
        one = lambda name, default=None: q.get(name, [default])[0]

        if one("idle_before_headers"):
            self.stall()
            return

        common = []
        if one("close"):
            common.append(("Connection", "close"))
            self.close_connection = True
        for line in q.get("header", []):
            name, _, value = line.partition(":")
            common.append((name, value.strip()))
        if one("huge_header"):
            common.append(("X-Huge", "h" * int(one("huge_header"))))
        for i in range(int(one("many_headers", "0"))):
            common.append(("X-Many-%d" % i, "m" * 32))

        if one("auth"):
            expected = "Basic " + base64.b64encode(one("auth").encode("latin-1")).decode()
            if self.headers.get("Authorization") != expected:
                self.send_simple(401, b"auth required",
                                 [("WWW-Authenticate", 'Basic realm="rg"')] + common)
                return

        if one("status") and one("fail_first") is not None:
            with STATE.lock:
                seen = STATE.answered.get(self.path, 0)
                STATE.answered[self.path] = seen + 1
            if seen >= int(one("fail_first")):
                q.pop("status")
        if one("status"):
            self.send_simple(int(one("status")), b"status " + one("status").encode(), common)
            return

        redirect_status = int(one("redirect_status", "302"))
        location = None
        if one("redirect") is not None:
            location = one("redirect")
        elif one("loop"):
            location = self.path
        elif one("hops") is not None and int(one("hops")) > 0:
            rest = [(k, v) for k, v in urllib.parse.parse_qsl(url.query, keep_blank_values=True)
                    if k != "hops"]
            rest.append(("hops", str(int(one("hops")) - 1)))
            location = url.path + "?" + urllib.parse.urlencode(rest)
        if location is not None:
            self.send_simple(redirect_status, b"moved", [("Location", location)] + common)
            return

        found = self.content(url.path, one("size"), int(one("salt", "0")) & BYTE_MASK)
        if found is None:
            self.send_simple(404, b"not found", common)
            return
        size, reader = found

        ignore_range = bool(one("ignore_range"))
        etag = one("etag")
        wanted = None if ignore_range else self.parse_range(self.headers.get("Range"), size)
        if_range = self.headers.get("If-Range")
        if one("ignore_if_range"):
            if_range = None
        if wanted is not None and if_range is not None:
            # An entity tag is compared with the ETag, anything else is a date.
            is_tag = if_range.startswith('"') or if_range.startswith("W/")
            if if_range != (etag if is_tag else one("last_modified")):
                wanted = None
        if wanted is not None and one("strict_if_range") and (if_range or "").startswith("W/"):
            wanted = None
        if wanted == "bad":
            self.send_simple(416, b"range not satisfiable",
                             [("Content-Range", "bytes */%d" % size)] + common)
            return

        headers = [("Content-Type", "application/octet-stream")]
        accept = one("accept_ranges", None if ignore_range else "bytes")
        if accept is not None:
            headers.append(("Accept-Ranges", accept))
        if etag is not None:
            headers.append(("ETag", etag))
        if one("last_modified") is not None:
            headers.append(("Last-Modified", one("last_modified")))
        if one("disposition") is not None:
            headers.append(("Content-Disposition", one("disposition")))
        if one("content_name") is not None:
            headers.append(("Content-name", one("content_name")))

        if wanted is None:
            status, start, end = 200, 0, size - 1
        else:
            status, (start, end) = 206, wanted
            headers.append(("Content-Range", "bytes %s" % (one("wrong_range") or
                                                          "%d-%d/%d" % (start, end, size))))
        length = end - start + 1

        bad_length = one("bad_length")
        close_after = False
        if bad_length == "dup":
            headers += [("Content-Length", str(length)), ("Content-Length", str(length + 1))]
            close_after = True
        elif bad_length is not None:
            headers.append(("Content-Length", bad_length))
            close_after = True
        elif one("no_length"):
            close_after = True
        elif one("overlong"):
            headers.append(("Transfer-Encoding", "chunked"))
        else:
            headers.append(("Content-Length", str(length)))
        if close_after:
            headers.append(("Connection", "close"))
            self.close_connection = True

        if one("interim"):
            self.send_head(103, [("Link", "</gen/1>; rel=preload")])
        self.send_head(status, headers + common)
        if self.command == "HEAD":
            return

        if one("delay_body_ms"):
            time.sleep(int(one("delay_body_ms")) / 1000.0)
        if one("overlong"):
            self.send_chunked(reader, start, start + length + int(one("overlong")))
            return

        limit = length
        stall_after = one("stall_after", "0" if one("idle_after_headers") else None)
        drop_after = one("drop_after")
        if stall_after is not None:
            limit = min(limit, int(stall_after))
        if drop_after is not None:
            limit = min(limit, int(drop_after))
        pos = start
        while pos < start + limit:
            chunk_end = min(pos + CHUNK, start + limit)
            self.wfile.write(reader(pos, chunk_end))
            pos = chunk_end
        if stall_after is not None:
            self.stall()
        elif drop_after is not None:
            self.drop()
        elif close_after:
            self.drop()

    def do_GET(self):
        try:
            self.serve()
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    do_HEAD = do_GET


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A client that gives up on an answer (a refused head) is no server error.
        if not isinstance(sys.exc_info()[1], (ConnectionResetError, BrokenPipeError)):
            super().handle_error(request, client_address)


def watch_parent(parent):
    while os.getppid() == parent:
        time.sleep(WATCH_INTERVAL_SECONDS)
    os._exit(0)


def watch_stdin():
    try:
        while sys.stdin.buffer.read(CHUNK):
            pass
    except OSError:
        pass
    os._exit(0)


def main():
    global ROOT
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", help="folder served under /files/")
    # Given by the launcher: by the time this runs, the parent may already be gone.
    parser.add_argument("--parent-pid", type=int, default=os.getppid())
    args = parser.parse_args()
    ROOT = args.root
    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=watch_parent, args=(args.parent_pid,), daemon=True).start()
    threading.Thread(target=watch_stdin, daemon=True).start()
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=WATCH_INTERVAL_SECONDS)
    finally:
        STATE.stopping.set()


if __name__ == "__main__":
    main()
