#!/usr/bin/python3
"""Alerts as an on-call engineer gets them: vaxoctl run --simulate with an
encoder that goes and comes back, webhooks served by a local HTTP server
(one of which fails at first) and mail taken by a local SMTP server, all on
loopback.

    alerts_live_test.py VAXOCTL
"""
import http.server
import json
import os
import socketserver
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "netcontrol"))
import network_live_test as net  # noqa: E402


class Webhook:
    """An HTTP server that keeps every POST's JSON and the moment it came;
    the first `failing` requests are answered 500."""

    def __init__(self, failing=0):
        self.received, self.failing, self.lock = [], failing, threading.Lock()
        hook = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers["Content-Length"]))
                with hook.lock:
                    if hook.failing > 0:
                        hook.failing -= 1
                        status = 500
                    else:
                        status = 200
                        hook.received.append((time.monotonic(), json.loads(body),
                                              self.headers["Content-Type"]))
                self.send_response(status)
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = "http://127.0.0.1:%d/hook" % self.server.server_address[1]

    def alarms(self, alarm):
        with self.lock:
            return [(at, body["state"]) for at, body, _ in self.received if body["alarm"] == alarm]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Mailbox:
    """The few SMTP commands a client sends, over plain SMTP (loopback): each
    message's envelope and text is kept."""

    def __init__(self):
        self.messages, self.lock = [], threading.Lock()
        box = self

        class Handler(socketserver.StreamRequestHandler):
            def handle(self):
                try:
                    self.converse()
                except ConnectionError:
                    pass  # a client that closes without QUIT

            def converse(self):
                self.wfile.write(b"220 test ESMTP\r\n")
                envelope = {"to": []}
                while True:
                    line = self.rfile.readline()
                    if not line:
                        return
                    verb = line[:4].upper()
                    if verb in (b"EHLO", b"HELO"):
                        self.wfile.write(b"250 test\r\n")
                    elif verb == b"MAIL":
                        envelope["from"] = line[10:].strip().decode()
                    elif verb == b"RCPT":
                        envelope["to"].append(line[8:].strip().decode())
                    elif verb == b"DATA":
                        self.wfile.write(b"354 go on\r\n")
                        text = b""
                        while not text.endswith(b"\r\n.\r\n"):
                            text += self.rfile.readline()
                        with box.lock:
                            box.messages.append(dict(envelope, text=text.decode()))
                        envelope = {"to": []}
                    elif verb == b"QUIT":
                        self.wfile.write(b"221 bye\r\n")
                        return
                    if verb not in (b"EHLO", b"HELO"):
                        self.wfile.write(b"250 ok\r\n")

        self.server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = "smtp://127.0.0.1:%d" % self.server.server_address[1]

    def subjects(self):
        with self.lock:
            return [line for message in self.messages for line in message["text"].split("\r\n")
                    if line.startswith("Subject: ")]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def until(condition, seconds=90):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return False


class AlertsLive(unittest.TestCase):
    def start(self, *options, **more):
        run = net.Running(*options, **more)
        self.addCleanup(run.close)
        return run

    def test_an_encoder_that_goes_and_comes_back_is_told_once_each_way_to_every_target(self):
        steady, flaky, mailbox = Webhook(), Webhook(failing=1), Mailbox()
        for server in (steady, flaky, mailbox):
            self.addCleanup(server.close)
        def station(folder):
            with open(os.path.join(folder, "rock-fm.rds"), "w", encoding="ascii") as f:
                f.write("CLEAR\r\nPS=ROCK FM\r\n")
        started = time.monotonic()
        run = self.start("--simulate=healthy,absent@3,healthy@15",
                         "--alert-webhook", steady.url, "--alert-webhook", flaky.url,
                         "--alert-smtp", mailbox.url, "--alert-mail-from", "rds@station.example",
                         "--alert-mail-to", "eng@station.example",
                         "--alert-mail-to", "noc@station.example", "rock-fm.rds", prepare=station)
        self.assertTrue(until(lambda: len(steady.alarms("encoder_not_answering")) == 2),
                        run.output() + run.errors())
        (raised_at, raised), (cleared_at, cleared) = steady.alarms("encoder_not_answering")
        self.assertEqual((raised, cleared), ("raised", "cleared"))
        # Lost at second 3, told within 15 s; the alert within 60 s of that.
        self.assertLess(raised_at - started, 3 + 15 + 60)
        self.assertLess(cleared_at - started, 15 + 2 + 10 + 60)
        body = next(body for _, body, _ in steady.received if body["alarm"] == "encoder_not_answering")
        self.assertEqual(body["text"], "Encoder not answering: its status line stays low")
        self.assertEqual(body["station"], "rock-fm.rds")
        self.assertRegex(body["at"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertEqual(steady.received[0][2], "application/json")

        # The webhook that failed at first gets the same, once each, after a
        # retry; meanwhile its trouble was an alarm of its own, told to the
        # others and cleared by the delivery.
        self.assertTrue(until(lambda: len(flaky.alarms("encoder_not_answering")) == 2))
        run.wait_for(r"alarm cleared: Alerts not delivered \(webhook %s\)" % flaky.url, seconds=60)
        self.assertIn("alert to webhook %s not delivered (attempt 1: the server answered 500), "
                      "tried again in 10 s" % flaky.url, run.errors())
        self.assertTrue(until(lambda: len(steady.alarms("alerts_failing")) == 2))
        self.assertTrue(until(lambda: len(mailbox.subjects()) >= 4))
        subjects = mailbox.subjects()
        self.assertIn("Subject: RDS alarm raised: Encoder not answering - rock-fm.rds", subjects)
        self.assertIn("Subject: RDS alarm cleared: Encoder not answering - rock-fm.rds", subjects)
        self.assertEqual(mailbox.messages[0]["from"], "<rds@station.example>")
        self.assertEqual(mailbox.messages[0]["to"], ["<eng@station.example>", "<noc@station.example>"])
        self.assertEqual(run.stop(), 0)
        self.assertEqual(len(steady.alarms("encoder_not_answering")), 2, "once each way")

    def test_alert_options_that_will_not_do_are_refused_before_anything_starts(self):
        for options, said in [
                (["--alert-webhook", "ftp://example/"], "an http:// or https:// URL"),
                (["--alert-webhook", "https://user:pw@example/"], "give the password in a file"),
                (["--alert-mail-to", "eng@station.example"], "need --alert-smtp"),
                (["--alert-smtp", "smtp://mail.example", "--alert-mail-from", "a@b",
                  "--alert-mail-to", "not an address"], "is no mail address")]:
            result = subprocess.run([net.VAXOCTL, "run", "--simulate", *options],
                                    capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 2, options)
            self.assertIn(said, result.stderr)
        with tempfile.TemporaryDirectory() as folder:
            secret = os.path.join(folder, "smtp.pw")
            with open(secret, "w") as f:
                f.write("hunter22\n")
            os.chmod(secret, 0o644)
            result = subprocess.run(
                [net.VAXOCTL, "run", "--simulate", "--alert-smtp", "smtps://mail.example",
                 "--alert-mail-from", "a@b.example", "--alert-mail-to", "c@d.example",
                 "--alert-smtp-user", "rds", "--alert-smtp-password-file", secret],
                capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 1)
            self.assertIn("chmod 600", result.stderr)
            self.assertEqual(stat.S_IMODE(os.stat(secret).st_mode), 0o644, "left as it was")


if __name__ == "__main__":
    net.VAXOCTL = os.path.abspath(sys.argv.pop(1))
    net.RUN_PREFIX = []
    unittest.main(verbosity=2)
