#!/usr/bin/env python3
"""pyftpdlib as the real FTP peer of the FTP client's tests and benchmark.

Serves --root read-only to anonymous users (and to --login user:password when given) on
127.0.0.1, on --port or an ephemeral port, and prints the port as its first line of output
("no-pyftpdlib" when the library is missing). Exits by itself when standard input closes or its
parent process (--parent-pid) goes away.

  --rate N    limits each data connection to N bytes per second
"""

import argparse
import logging
import os
import sys
import threading
import time

WATCH_INTERVAL_SECONDS = 0.2
CHUNK = 64 * 1024

try:
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
    from pyftpdlib.servers import FTPServer
except ImportError:
    print("no-pyftpdlib", flush=True)
    sys.exit(0)


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
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--login", help="user:password with read access to the root")
    parser.add_argument("--rate", type=int, default=0)
    # Given by the launcher: by the time this runs, the parent may already be gone.
    parser.add_argument("--parent-pid", type=int, default=os.getppid())
    args = parser.parse_args()

    logging.basicConfig(level=logging.ERROR, stream=sys.stderr)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root)
    if args.login:
        user, _, password = args.login.partition(":")
        authorizer.add_user(user, password, args.root, perm="elr")

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "pyftpdlib test peer ready"
    if args.rate > 0:
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.rate
        dtp.write_limit = args.rate
        handler.dtp_handler = dtp

    server = FTPServer(("127.0.0.1", args.port), handler)
    threading.Thread(target=watch_parent, args=(args.parent_pid,), daemon=True).start()
    threading.Thread(target=watch_stdin, daemon=True).start()
    print(server.address[1], flush=True)
    server.serve_forever(timeout=WATCH_INTERVAL_SECONDS)


if __name__ == "__main__":
    main()
