#!/usr/bin/env python3
"""mbcheck end to end against the kit's POP3 server.

usage: mbcheck_e2e.py KIT FIXTURES MBCHECK [RUNNER]
RUNNER (for instance wine64) runs MBCHECK when given.
Starts its own server in a temporary folder and stops it at the end.
"""
import json
import os
import re
import socket
import subprocess
import sys
import tempfile

kit, fixtures, mbcheck = sys.argv[1:4]
runner = sys.argv[4:5]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def run(*args):
    p = subprocess.run(runner + [mbcheck] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    lines = p.stdout.decode("utf-8").replace("\r\n", "\n").splitlines()
    return p.returncode, [l for l in lines if not l.startswith("{")], [json.loads(l) for l in lines if l.startswith("{")]


def at_time(text):
    return re.compile(re.escape(text) + r" at \d\d:\d\d:\d\d$")


with tempfile.TemporaryDirectory(prefix="mbcheck-e2e-") as tmp:
    os.chmod(tmp, 0o755)
    d = os.path.join(tmp, "pop3")
    server = os.path.join(kit, "pop3-server")
    subprocess.run([server, "start", d, "-p", "auto", "--fast-auth", "-u", "bob:correct horse", "-u", "carol:p:w d!",
                    "-m", "bob=" + os.path.join(fixtures, "handmade"), "-m", "carol=" + os.path.join(kit, "sample-messages")],
                   check=True, stdout=subprocess.DEVNULL)
    try:
        port = [l.strip().split("=", 1)[1] for l in open(os.path.join(d, "env")) if l.startswith("POP3_PORT=")][0]

        rc, log, msgs = run("--port", port, "127.0.0.1", "carol", "p:w d!")
        check(rc == 0, "completed session exits 0, got %d" % rc)
        check(len(log) == 4 and at_time("Connect to Server 127.0.0.1").match(log[0])
              and log[1] == "You have 3 mail(s)." and at_time("Quit from to Server 127.0.0.1").match(log[2])
              and log[3] == "EMAIL PROCESS OK.", "log of a completed session: %r" % log)
        check([m["n"] for m in msgs] == [1, 2, 3], "one JSON line per message: %r" % msgs)
        check([m["FromEmailAddress"] for m in msgs] == ["crlf@example.com", "nolf@example.com", "j@example.de"],
              "sender addresses: %r" % msgs)
        check(len(msgs) == 3 and msgs[2]["From"] == "J\u00f6rg <j@example.de>" and msgs[2]["Subject"] == "Gr\u00fc\u00dfe",
              "Latin-1 bytes shown as UTF-8: %r" % msgs[2:])
        check(len(msgs) == 3 and msgs[0]["Date"] == "Mon, 1 Jan 2024 00:00:00 +0000" and msgs[0]["MessageId"] == "",
              "fields: %r" % msgs[:1])

        rc, log, msgs = run("--port", port, "127.0.0.1", "bob", "correct horse")
        check(rc == 0 and len(msgs) == 6 and msgs[1]["FromEmailAddress"].startswith("ved: "),
              "hand-made mailbox: rc %d %r" % (rc, msgs))

        rc, log, msgs = run("--port", port, "127.0.0.1", "bob", "wrong")
        check(rc == 3, "refused login exits 3, got %d" % rc)
        check(log[2:] == ["!! Server Error", " ErrorCode : 2001", " ErrorMsg  : [AUTH] Authentication failed.",
                          "Unauthorized access..."] and not msgs, "log of a refused login: %r" % log)
    finally:
        subprocess.run([server, "stop", d], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # A port that is bound but not listening: nothing answers there.
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))
    rc, log, msgs = run("--port", str(closed.getsockname()[1]), "127.0.0.1", "bob", "x")
    closed.close()
    check(rc == 2, "no server exits 2, got %d" % rc)
    check(log == ["Connect failed. Maybe the server is down or not responding."], "log without a server: %r" % log)

    rc, log, msgs = run("--parse", os.path.join(fixtures, "handmade", "01-quoted-comma.eml"),
                        os.path.join(kit, "sample-messages", "03-latin1.eml"))
    check(rc == 0 and msgs == [
        {"n": 1, "From": "\"Doe, John\" <john.doe@example.com>", "FromEmailAddress": "john.doe@example.com",
         "Subject": "Quoted name with a comma", "Date": "Mon, 1 Jan 2024 10:00:00 +0000", "MessageId": "<h1@example.org>"},
        {"n": 2, "From": "J\u00f6rg <j@example.de>", "FromEmailAddress": "j@example.de", "Subject": "Gr\u00fc\u00dfe",
         "Date": "", "MessageId": ""}], "--parse: rc %d %r" % (rc, msgs))

    rc, log, msgs = run("--parse", os.path.join(tmp, "missing.eml"))
    check(rc == 1 and not msgs, "--parse of a missing file exits 1, got %d" % rc)

print("mbcheck_e2e: %s" % ("ok" if not failures else "%d failure(s)" % len(failures)))
sys.exit(1 if failures else 0)
