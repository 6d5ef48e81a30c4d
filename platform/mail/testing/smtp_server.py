#!/usr/bin/python3
"""SMTP server for the mail tests: aiosmtpd on a loopback port, optionally with
implicit TLS and AUTH, writing every accepted message to a folder.

For each message NNNNNN it writes NNNNNN.env (lines "from <sender>", "login <user>",
"rcpt <recipient>" ...) and then NNNNNN.eml (the bytes received), each through a
temporary name, so a reader that sees the .eml finds both complete.
Prints "READY <port>" once it accepts connections; ends on SIGTERM.
"""
import argparse
import itertools
import os
import signal
import socket
import ssl
import sys
import threading
import warnings
import logging

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.rename(tmp, path)


class Handler:
    def __init__(self, folder):
        self.folder = folder
        self.numbers = itertools.count(1)
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            n = next(self.numbers)
        base = os.path.join(self.folder, "%06d" % n)
        lines = ["from " + (envelope.mail_from or ""), "login " + getattr(session, "test_login", "")]
        lines += ["rcpt " + r for r in envelope.rcpt_tos]
        content = envelope.original_content or envelope.content or b""
        if isinstance(content, str):
            content = content.encode("utf-8", "surrogateescape")
        write_atomically(base + ".env", ("\n".join(lines) + "\n").encode("utf-8", "surrogateescape"))
        write_atomically(base + ".eml", content)
        return "250 Message accepted for delivery"


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        login = auth_data.login.decode("utf-8", "replace")
        ok = login == user and auth_data.password.decode("utf-8", "replace") == password
        if ok:
            session.test_login = login
        return AuthResult(success=ok, handled=False)
    return authenticate


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    # AUTH without TLS is what the plain-text tests want; keep the log quiet about it.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    p = argparse.ArgumentParser()
    p.add_argument("--folder", required=True)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--user", default="")
    p.add_argument("--password", default="")
    p.add_argument("--cert", default="")
    p.add_argument("--key", default="")
    a = p.parse_args()

    os.makedirs(a.folder, exist_ok=True)
    context = None
    if a.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(a.cert, a.key)
    kwargs = dict(hostname="127.0.0.1", port=a.port or free_port(), ssl_context=context,
                  data_size_limit=64 * 1024 * 1024)
    if a.user:
        kwargs.update(authenticator=make_authenticator(a.user, a.password),
                      auth_required=True, auth_require_tls=False)
    controller = Controller(Handler(a.folder), **kwargs)
    controller.start()

    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    print("READY %d" % controller.port, flush=True)
    done.wait()
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
