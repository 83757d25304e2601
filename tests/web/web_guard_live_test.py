#!/usr/bin/python3
"""vaxoctl run --web against strangers who try to take the page, lock the
operator out or reach a file through a link; real sockets on this
machine's loopback, where addresses of 127.0.0.0/8 stand in for other hosts.

    web_guard_live_test.py VAXOCTL
"""
import http.client
import os
import select
import socket
import subprocess
import sys
import threading
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import web_live_test as web  # noqa: E402
from web_live_test import live  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "netcontrol"))
import network_attacks as attacks  # noqa: E402

FORM = {"Content-Type": "application/x-www-form-urlencoded"}


def make_certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                    "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


class SlowClients:
    """From one address, keeps as many connections open as it is let,
    each sending its head a byte at a time (or, to HTTPS, never starting
    its handshake), and opens new ones as the old are closed: a
    reconnecting slowloris."""

    def __init__(self, port, source, count, trickle):
        self.port, self.source, self.count, self.trickle = port, source, count, trickle
        self.stopping = threading.Event()
        self.held = []
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.stopping.is_set():
            while len(self.held) < self.count and not self.stopping.is_set():
                try:
                    held = socket.create_connection(("127.0.0.1", self.port), timeout=2,
                                                    source_address=(self.source, 0))
                    if self.trickle:
                        held.sendall(b"GET /signin HTTP/1.1\r\n")
                    self.held.append(held)
                except OSError:
                    break
            for held in list(self.held):
                try:
                    if self.trickle:
                        held.sendall(b"X")
                    elif select.select([held], [], [], 0)[0] and not held.recv(100):
                        raise OSError("closed")
                except OSError:
                    held.close()
                    self.held.remove(held)
            time.sleep(0.2)

    def stop(self):
        self.stopping.set()
        self.thread.join()
        for held in self.held:
            held.close()


class WebGuards(unittest.TestCase):
    def start(self, *options, **kwargs):
        run = web.WebRunning("--simulate", *options, **kwargs)
        self.addCleanup(run.close)
        return run

    def assert_served_beside_slow_clients(self, run):
        slow = SlowClients(run.web_port, "127.0.0.2", 200, trickle=not run.tls)
        self.addCleanup(slow.stop)
        time.sleep(0.5)
        statuses = [run.request("GET", "/signin")[0].status for _ in range(40)]
        self.assertEqual(statuses, [200] * 40, "the other address is answered every time")
        if not run.tls:  # over TLS the turned away are only closed
            self.assertEqual(run.request("GET", "/signin", source="127.0.0.2")[0].status, 503,
                             "the slow address has used up its own share")
        self.assertRegex(run.errors(), r"dropped \d+ web connections .*too many from one address.*127\.0\.0\.2 the last")

    def test_one_address_cannot_take_the_page(self):
        self.assert_served_beside_slow_clients(self.start("--web", "127.0.0.1:0"))

    def test_one_address_cannot_take_the_page_over_https(self):
        folder = self.enterContext(web.TemporaryFolder())
        cert, key = make_certificate(folder)
        run = self.start("--web", "127.0.0.1:0", "--web-cert", cert, "--web-key", key, tls=cert)
        self.assert_served_beside_slow_clients(run)

    def test_a_head_must_come_within_seconds(self):
        run = self.start("--web", "127.0.0.1:0")
        with socket.create_connection(("127.0.0.1", run.web_port), timeout=20) as slow:
            slow.sendall(b"GET /signin HTTP/1.1\r\n")
            started = time.monotonic()
            try:
                while slow.recv(1000):
                    pass
            except ConnectionResetError:
                pass
            self.assertLess(time.monotonic() - started, 15)

    def test_guessers_from_many_addresses_do_not_lock_the_operator_out(self):
        run = self.start("--web", "127.0.0.1:0")
        self.assertEqual(run.sign_in(source="127.0.0.1").response.status, 303)
        stopping = threading.Event()
        guessed = []

        def guess(source):
            while not stopping.is_set():
                try:
                    guessed.append(run.sign_in("wrong", source=source).response.status)
                except OSError:
                    pass

        guessers = [threading.Thread(target=guess, args=("127.0.1.%d" % n,), daemon=True)
                    for n in range(1, 81)]
        for guesser in guessers:
            guesser.start()
        try:
            time.sleep(1.0)
            known = [run.sign_in(source="127.0.0.1").response.status for _ in range(5)]
        finally:
            stopping.set()
            for guesser in guessers:
                guesser.join()
        self.assertEqual(known, [303] * 5, "an address that signed in before goes first")
        self.assertIn(503, guessed, "guessers were turned away, not the operator")

    def test_an_operator_never_seen_signs_in_under_guessers_right_after_a_start(self):
        run = self.start("--web", "127.0.0.1:0")
        stopping = threading.Event()
        guessed = []

        def guess(source):
            while not stopping.is_set():
                try:
                    guessed.append(run.sign_in("wrong", source=source).response.status)
                except OSError:
                    pass

        guessers = [threading.Thread(target=guess, args=("127.0.1.%d" % n,), daemon=True)
                    for n in range(1, 81)]
        for guesser in guessers:
            guesser.start()
        try:
            # Until the guessers' first sign-ins, which came before any had
            # failed, have been checked: however slow the hash runs here.
            deadline = time.monotonic() + 60
            while guessed.count(401) < 2 * 16 and time.monotonic() < deadline:
                time.sleep(0.05)
            tries = []
            while len(tries) < 5 and 303 not in tries:
                try:
                    tries.append(run.sign_in(source="127.0.0.1").response.status)
                except OSError:
                    tries.append(None)
        finally:
            stopping.set()
            for guesser in guessers:
                guesser.join()
        self.assertIn(tries, [[303], [503, 303]], "in at the first or the second try")
        self.assertGreater(len(guessed), 80)

    def test_clients_that_read_no_answers_do_not_keep_the_operator_out(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in(source="127.0.0.1")
        readers = attacks.SlowReaders(run.web_port, ["127.0.0.%d" % n for n in range(2, 10)], 16,
                                      b"GET /signin HTTP/1.1\r\nHost: localhost\r\n\r\n")
        try:
            time.sleep(3)
            statuses = []
            for _ in range(40):
                try:
                    statuses.append(session.get("/api/state")[0].status)
                except OSError:
                    statuses.append(None)
            tries = []
            while len(tries) < 5 and 303 not in tries:
                try:
                    tries.append(run.sign_in(source="127.0.0.1").response.status)
                except OSError:
                    tries.append(None)
        finally:
            readers.stop()
        self.assertGreaterEqual(statuses.count(200), 38, statuses)
        self.assertIn(tries, [[303], [503, 303]])

    def test_a_page_of_another_site_cannot_sign_in_nor_lock_out(self):
        run = self.start("--web", "127.0.0.1:0")
        form = urllib.parse.urlencode({"password": "wrong"})
        for foreign in [{"Origin": "http://evil.example"},
                        {"Origin": "null"},
                        {"Sec-Fetch-Site": "cross-site"},
                        {"Sec-Fetch-Site": "same-site", "Origin": "http://127.0.0.1"}]:
            for _ in range(3):
                response, page = run.request("POST", "/signin", form, dict(FORM, **foreign))
                self.assertEqual(response.status, 403, foreign)
                self.assertIn(b"came from another site", page)
                response, _ = run.request("POST", "/signin", urllib.parse.urlencode(
                    {"password": web.PASSWORD}), dict(FORM, **foreign))
                self.assertEqual(response.status, 403, "even with the right password")
                self.assertIsNone(response.getheader("Set-Cookie"))
        own = {"Origin": "http://127.0.0.1:%d" % run.web_port, "Sec-Fetch-Site": "same-origin"}
        response, _ = run.request("POST", "/signin", urllib.parse.urlencode(
            {"password": web.PASSWORD}), dict(FORM, **own))
        self.assertEqual(response.status, 303, "the operator's own page, not held")

    def test_only_loopback_names_reach_a_loopback_page(self):
        run = self.start("--web", "127.0.0.1:0")
        for host in ["localhost", "localhost:%d" % run.web_port, "127.0.0.1:%d" % run.web_port,
                     "vaxo.localhost:%d" % run.web_port, "[::1]:%d" % run.web_port]:
            self.assertEqual(run.request("GET", "/signin", headers={"Host": host})[0].status, 200,
                             host)
        for host in ["rebind.example", "rebind.example:%d" % run.web_port, "127.0.0.1.nip.io",
                     "localhost.example"]:
            response, _ = run.request("GET", "/signin", headers={"Host": host})
            self.assertEqual(response.status, 421, host)
            self.assertEqual(response.getheader("X-Frame-Options"), "DENY")

    def test_requests_that_could_be_read_two_ways_are_refused(self):
        run = self.start("--web", "127.0.0.1:0")
        with socket.create_connection(("127.0.0.1", run.web_port), timeout=5) as client:
            client.sendall(b"GET /signin HTTP/1.1\r\nHost: localhost\r\nHost: evil.example\r\n\r\n")
            self.assertTrue(client.recv(100).startswith(b"HTTP/1.1 400 "), "two Hosts")
        session = run.sign_in()
        revision = session.state()["revision"]
        for seen in ["abc", "-1", "1e3", " 5", str(revision + 1)]:
            response, reply = session.post("/api/fields", {"fields": {"PS": "BYHEADER"},
                                                           "seen_revision": revision},
                                           headers={"X-Seen-Revision": seen})
            self.assertEqual(response.status, 400, (seen, reply))
        self.assertEqual(session.state()["fields"]["PS"], "FM RADIO", "nothing applied")
        response, _ = session.post("/api/fields", {"fields": {"PS": "BYHEADER"}},
                                   headers={"X-Seen-Revision": str(revision)})
        self.assertEqual(response.status, 200)

    def test_early_answers_carry_the_security_headers(self):
        run = self.start("--web", "127.0.0.1:0")
        answers = {}
        raw = {400: b"NONSENSE\r\n\r\n",
               413: b"POST /signin HTTP/1.1\r\nHost: localhost\r\nContent-Length: 99999999\r\n\r\n",
               421: b"GET /signin HTTP/1.1\r\nHost: evil.example\r\n\r\n",
               431: b"GET /signin HTTP/1.1\r\nHost: localhost\r\nX-Big: " + b"x" * 9000 + b"\r\n\r\n"}
        for status, request in raw.items():
            with socket.create_connection(("127.0.0.1", run.web_port), timeout=5) as client:
                client.sendall(request)
                answers[status] = client.recv(4000)
        held = [socket.create_connection(("127.0.0.1", run.web_port), timeout=5)
                for _ in range(16)]
        try:
            time.sleep(0.3)
            with socket.create_connection(("127.0.0.1", run.web_port), timeout=5) as client:
                answers[503] = client.recv(4000)
        finally:
            for connection in held:
                connection.close()
        for status, answer in answers.items():
            self.assertTrue(answer.startswith(b"HTTP/1.1 %d " % status), answer[:40])
            for header in [b"X-Content-Type-Options: nosniff", b"X-Frame-Options: DENY",
                           b"Content-Security-Policy: default-src 'none'"]:
                self.assertIn(header, answer, status)

    def test_no_body_is_read_before_the_session_is_checked(self):
        run = self.start("--web", "127.0.0.1:0")
        with socket.create_connection(("127.0.0.1", run.web_port), timeout=5) as client:
            client.sendall(b"POST /api/upload HTTP/1.1\r\nHost: localhost\r\n"
                           b"Content-Length: 1000000\r\n\r\nPS=")
            self.assertTrue(client.recv(100).startswith(b"HTTP/1.1 401 "), "at once")
        with socket.create_connection(("127.0.0.1", run.web_port), timeout=5) as client:
            client.sendall(b"POST /signin HTTP/1.1\r\nHost: localhost\r\n"
                           b"Content-Type: application/x-www-form-urlencoded\r\n"
                           b"Content-Length: 100000\r\n\r\npassword=")
            self.assertTrue(client.recv(100).startswith(b"HTTP/1.1 413 "), "sign-in forms are small")

    def test_an_events_stream_ends_with_its_session(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        stream, events = session.watch()
        while not events.readline().startswith(b"data: "):
            pass
        session.post("/signout", "csrf=" + session.token, token=False)
        stream.sock.settimeout(10)
        with self.assertRaises(http.client.IncompleteRead, msg="the stream ends, not times out"):
            while events.read1(65536):
                pass
        stream.close()

    def test_loads_and_saves_never_go_through_a_link(self):
        run = self.start("--web", "127.0.0.1:0")
        outside = os.path.join(os.path.dirname(run.folder), "stand-in-bashrc-%d" % os.getpid())
        with open(outside, "w", encoding="ascii") as f:
            f.write("PS=OUTSIDE\r\n")
        self.addCleanup(os.remove, outside)
        os.symlink(outside, os.path.join(run.folder, "linked.rds"))
        os.link(outside, os.path.join(run.folder, "hard.rds"))
        with open(os.path.join(run.folder, "jazz.rds"), "w", encoding="ascii") as f:
            f.write("PS=JAZZ\r\n")
        session = run.sign_in()
        listed = session.get("/api/stations")[1].decode()
        self.assertIn("jazz.rds", listed)
        self.assertNotIn("linked.rds", listed)
        self.assertNotIn("hard.rds", listed)
        for name in ["linked.rds", "hard.rds"]:
            self.assertEqual(session.post("/api/load", {"name": name})[0].status, 404, name)
        self.assertEqual(session.state()["fields"]["PS"], "FM RADIO")

        self.assertEqual(session.post("/api/load", {"name": "jazz.rds"})[0].status, 200)
        os.remove(os.path.join(run.folder, "jazz.rds"))
        os.symlink(outside, os.path.join(run.folder, "jazz.rds"))
        session.set_fields({"PS": "EVIL"})
        response, reply = session.post("/api/save", {})
        self.assertNotEqual(response.status, 200, reply)
        with open(outside, "rb") as f:
            self.assertEqual(f.read(), b"PS=OUTSIDE\r\n", "the file behind the link untouched")

    def test_refuses_a_public_page_without_an_allow_list(self):
        folder = self.enterContext(web.TemporaryFolder())
        cert, key = make_certificate(folder)
        run = self.start("--web", "0.0.0.0:0", "--web-cert", cert, "--web-key", key,
                         expect_start=False)
        self.assertEqual(run.process.wait(20), 2)
        self.assertIn("--allow", run.errors())
        os.chmod(key, 0o644)
        run = self.start("--web", "127.0.0.1:0", "--web-cert", cert, "--web-key", key, tls=cert)
        self.assertRegex(run.errors(), r"the TLS key: .*key\.pem may be read by others")


if __name__ == "__main__":
    live.VAXOCTL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
