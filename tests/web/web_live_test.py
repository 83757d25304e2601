#!/usr/bin/python3
"""vaxoctl run --web against a simulated encoder, spoken to over HTTP on
this machine's loopback as a browser or a script would, and as someone
who should not get in would.

    web_live_test.py VAXOCTL
"""
import http.client
import json
import os
import re
import socket
import ssl
import subprocess
import sys
import time
import unittest
import unittest.mock
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "netcontrol"))
import network_live_test as live  # noqa: E402  (the running program, shared)

PASSWORD = "operator-password"
VIEWER_PASSWORD = "viewer-password"


def set_password(folder, password, *options):
    subprocess.run([*live.RUN_PREFIX, live.VAXOCTL, "passwd", "--file", os.path.join(folder, "vaxow.passwd"),
                    *options], input=password + "\n", text=True, check=True,
                   stdout=subprocess.DEVNULL)


class WebRunning(live.Running):
    """vaxoctl run --web with its passwords set beforehand."""

    def __init__(self, *options, viewer=False, expect_start=True, password=True, tls=None):
        self.tls = tls
        folder_options = list(options)
        super().__init__(*folder_options, expect_start=False, prepare=lambda folder: (
            password and set_password(folder, PASSWORD),
            viewer and set_password(folder, VIEWER_PASSWORD, "--read-only")))
        if expect_start:
            self.wait_for(r"listening: web ")
            self.web_ports = [int(port) for port in re.findall(
                r"listening: web https?://[^ ]*:(\d+)/", self.output())]
            self.web_port = self.web_ports[0]

    def text_command(self, line):
        """A line command from a client on the text listener, and its reply."""
        port = int(re.search(r"listening: text TCP \S+:(\d+)", self.output()).group(1))
        with socket.create_connection(("127.0.0.1", port), timeout=10) as client:
            client.sendall(line.encode() + b"\r\n")
            return client.makefile("rb").readline().decode().strip()

    def http(self, source="127.0.0.1"):
        if self.tls:
            context = ssl.create_default_context(cafile=self.tls)
            context.check_hostname = False
            return http.client.HTTPSConnection("127.0.0.1", self.web_port, timeout=10,
                                               context=context, source_address=(source, 0))
        return http.client.HTTPConnection("127.0.0.1", self.web_port, timeout=10,
                                          source_address=(source, 0))

    def request(self, method, path, body=None, headers=None, source="127.0.0.1"):
        connection = self.http(source)
        connection.request(method, path, body=body, headers=headers or {})
        response = connection.getresponse()
        data = response.read()
        connection.close()
        return response, data

    def sign_in(self, password=PASSWORD, source="127.0.0.1"):
        response, _ = self.request("POST", "/signin",
                                   urllib.parse.urlencode({"password": password}),
                                   {"Content-Type": "application/x-www-form-urlencoded"}, source)
        cookie = response.getheader("Set-Cookie") or ""
        return Session(self, cookie.split(";")[0], cookie, response)


class Session:
    def __init__(self, run, cookie, set_cookie, response):
        self.run, self.cookie, self.set_cookie, self.response = run, cookie, set_cookie, response
        self.token = None
        if cookie:
            _, page = self.get("/station")
            self.token = re.search(rb'<meta name="csrf-token" content="([0-9a-f]+)">',
                                   page).group(1).decode()

    def get(self, path):
        return self.run.request("GET", path, headers={"Cookie": self.cookie})

    def post(self, path, body, token=True, headers=None):
        """A call: a dict goes as JSON, anything else as its bytes."""
        kind = "application/json" if isinstance(body, dict) else "application/octet-stream"
        headers = {"Cookie": self.cookie, "Content-Type": kind, **(headers or {})}
        if token is True:
            headers["X-CSRF-Token"] = self.token
        elif token:
            headers["X-CSRF-Token"] = token
        return self.run.request("POST", path, json.dumps(body) if isinstance(body, dict) else body,
                                headers)

    def set_fields(self, fields, seen=None):
        """Fields by key, in the API's typed form: the response and its JSON."""
        body = {"fields": fields}
        if seen is not None:
            body["seen_revision"] = seen
        response, data = self.post("/api/fields", body)
        return response, json.loads(data or b"{}")

    def watch(self):
        """The page's live updates: the connection and its response."""
        connection = self.run.http()
        connection.request("GET", "/api/events", headers={"Cookie": self.cookie})
        return connection, connection.getresponse()

    def state(self):
        response, data = self.get("/api/state")
        assert response.status == 200, response.status
        return json.loads(data)


class WebLive(unittest.TestCase):
    def start(self, *options, **kwargs):
        run = WebRunning("--simulate", *options, **kwargs)
        self.addCleanup(run.close)
        return run

    def test_nothing_without_a_session_and_nothing_changed_without_the_token(self):
        run = self.start("--web", "127.0.0.1:0")
        for path in ["/api/state", "/api/events", "/api/station", "/api/stations"]:
            self.assertEqual(run.request("GET", path)[0].status, 401, path)
        response, _ = run.request("GET", "/station")
        self.assertEqual((response.status, response.getheader("Location")), (303, "/signin"))
        response, data = run.request("POST", "/api/fields", '{"fields": {"PS": "INTRUDER"}}',
                                     {"Content-Type": "application/json"})
        self.assertEqual((response.status, json.loads(data)["error"]["code"]), (401, "signed_out"))
        self.assertEqual(run.request("GET", "/assets/app.js")[0].status, 200, "assets are public")
        self.assertEqual(run.request("GET", "/assets/station.html")[0].status, 404)
        self.assertEqual(run.request("GET", "/assets/../vaxow.passwd")[0].status, 404)

        session = run.sign_in()
        self.assertEqual(session.response.status, 303)
        self.assertIn("HttpOnly", session.set_cookie)
        self.assertIn("SameSite=Strict", session.set_cookie)
        self.assertNotIn("Secure", session.set_cookie, "not over plain HTTP")
        for token in [False, "0" * 64, session.token[:-1]]:
            self.assertEqual(session.post("/api/fields", {"fields": {"PS": "INTRUDER"}},
                                          token)[0].status, 403)
            self.assertEqual(session.post("/api/send", {"bank": 1}, token)[0].status, 403)
        self.assertEqual(session.state()["fields"]["PS"], "FM RADIO")
        self.assertNotIn("INTRUDER", run.output() + run.errors())

    def test_changes_are_typed_and_each_refusal_says_its_code_and_field(self):
        run = self.start("--web", "127.0.0.1:0", "--web", "[::1]:0")
        session = run.sign_in()
        response, reply = session.set_fields({"PS": "ROCK FM", "RT": "<script>alert(1)</script>",
                                              "PTY": 10, "TA": True, "AF1": 87.6,
                                              "DI": {"stereo": True, "artificial_head": False,
                                                     "compressed": False, "dynamic_pty": False}})
        self.assertEqual(response.status, 200, reply)
        self.assertEqual(reply["fields"]["PS"], "ROCK FM")
        self.assertEqual(reply["fields"]["AF1"], 87.6)
        self.assertIn("PTY", reply["changed"])
        for fields, status, code in [({"PI": "XYZ1"}, 400, "malformed"),
                                     ({"PTY": 45}, 422, "out_of_range"),
                                     ({"PS": "NINE CHAR"}, 422, "too_long"),
                                     ({"PTY": "10"}, 400, "malformed"),
                                     ({"RTSF": "/etc/shadow"}, 403, "not_allowed"),
                                     ({"EXIT": True}, 403, "not_allowed"),
                                     ({"NOSUCH": 1}, 422, "unknown"),
                                     ({"PS": "FINE", "TP": 3}, 400, "malformed")]:
            response, reply = session.set_fields(fields)
            self.assertEqual((response.status, reply["error"]["code"]), (status, code), fields)
            self.assertIn(reply["error"]["field"], fields)
        response, _ = session.post("/api/fields", b"PS=LINES", headers={})
        self.assertEqual(response.status, 400, "the page's calls are JSON")
        state = session.state()
        self.assertEqual(state["fields"]["PS"], "ROCK FM", "a refused change takes no field")
        self.assertEqual(state["fields"]["RT"], "<script>alert(1)</script>")
        self.assertEqual(state["fields"]["PORT"], "LPT1")
        self.assertEqual(state["fields"]["DI"]["stereo"], True)
        page = run.request("GET", "/station", headers={"Cookie": session.cookie})[1]
        self.assertEqual(page.count(b"<script>alert"), 0, "field values never go into markup")
        for limit in [b'name="PS" maxlength="8"', b'name="RT4" maxlength="64"',
                      b'name="AF7" maxlength="5"', b'name="DPSP" min="7" max="65"']:
            self.assertIn(limit, page, "the forms' limits come from the field schema")
        schema = json.loads(session.get("/api/schema")[1])["fields"]
        self.assertEqual(schema["PTY"], {"kind": "number", "low": 0, "high": 31})

        self.assertEqual(session.post("/api/send", {"bank": 3})[0].status, 400)
        response, reply = session.post("/api/send", {"bank": 2})
        self.assertEqual(response.status, 200)
        answer = json.loads(reply)
        self.assertEqual((answer["on_air"], answer["bank"]), (True, 2),
                         "answered when the send has ended")
        self.assertRegex(answer["at"], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d")
        run.wait_for(r"ok bank 2 ")
        deadline = time.monotonic() + 60
        while session.state()["banks"][1]["last_send"] is None and time.monotonic() < deadline:
            time.sleep(0.1)
        bank = session.state()["banks"][1]
        self.assertEqual(bank["on_air"]["ps"], "ROCK FM ")
        self.assertEqual((bank["last_send"]["ok"], bank["last_send"]["reason"]), (True, ""))

        # The other address answers the same session.
        ipv6 = http.client.HTTPConnection("::1", run.web_ports[1], timeout=10)
        ipv6.request("GET", "/api/state", headers={"Cookie": session.cookie})
        self.assertEqual(ipv6.getresponse().status, 200)

    def test_a_send_answers_with_the_links_reason_when_nothing_went_on_air(self):
        run = WebRunning("--simulate=absent", "--web", "127.0.0.1:0")
        self.addCleanup(run.close)
        session = run.sign_in()
        response, reply = session.post("/api/send", {"bank": 1})
        self.assertEqual(response.status, 502)
        error = json.loads(reply)["error"]
        self.assertEqual(error["code"], "link", "the link's reason, never a success")
        last = session.state()["banks"][0]["last_send"]
        self.assertEqual((last["ok"], last["reason"]), (False, error["message"]))

    def test_the_state_says_what_each_bank_holds_and_what_is_not_on_air_yet(self):
        # A client's sends wait an hour: what it changed stays pending.
        run = self.start("--web", "127.0.0.1:0", "--min-send-interval", "3600",
                         "--text-tcp", "127.0.0.1:0")
        session = run.sign_in()
        state = session.state()
        self.assertEqual([bank["revision"] for bank in state["banks"]], [None, None])
        self.assertIsNone(state["pending"], "unknown since start, not 'nothing differs'")
        self.assertEqual(state["health"]["link"], "unknown")
        self.assertEqual(session.post("/api/send", {"bank": 1})[0].status, 200)
        state = session.state()
        self.assertEqual(state["banks"][0]["revision"], state["revision"])
        self.assertIsNone(state["banks"][1]["revision"])
        self.assertEqual((state["pending"], state["health"]["link"]), ([], "good"))
        self.assertIn("bank 1 ok", state["health"]["link_text"])
        self.assertEqual(run.text_command("PS=PENDING"), "+")
        session.set_fields({"RTSF": "now.txt"})
        state = session.state()
        self.assertEqual(state["pending"], ["PS"], "a feed's file name is not on air")
        self.assertTrue(state["stamps"]["PS"]["origin"].startswith("text 127.0.0.1:"))
        self.assertEqual(state["banks"][0]["on_air"]["ps"], "FM RADIO", "still the old one")

    def test_typed_letters_reach_the_receiver_as_themselves_or_their_base_letter(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        response, _ = session.set_fields({"PS": "\u0141\u00f3d\u017a",
                                          "RT": "P\u0159\u00edli\u0161 \u017elu\u0165ou\u010dk\u00fd k\u016f\u0148"})
        self.assertEqual(response.status, 200)
        self.assertEqual(session.post("/api/send", {"bank": 1})[0].status, 200)
        on_air = session.state()["banks"][0]["on_air"]
        self.assertEqual(on_air["ps"], "L\u00f3d\u017a    ", "Ł has no code: L")
        self.assertEqual(on_air["rt"].rstrip(), "P\u0159\u00edli\u0161 \u017elutou\u010dk\u00fd ku\u0148")
        _, station = session.get("/api/station")
        self.assertIn("PS=\u0141\u00f3d\u017a", station.decode("cp1250"),
                      "the station file keeps its letters in Windows-1250")

    def test_what_is_not_on_air_yet_goes_with_the_send_a_change_asks_for(self):
        run = self.start("--web", "127.0.0.1:0", "--min-send-interval", "1")
        session = run.sign_in()
        self.assertEqual(session.post("/api/send", {"bank": 2})[0].status, 200)
        session.set_fields({"PS": "ONAIR"})
        deadline = time.monotonic() + 60  # a guard against a hang, not a measure
        while session.state()["pending"] != [] and time.monotonic() < deadline:
            time.sleep(0.1)
        state = session.state()
        self.assertEqual((state["pending"], state["banks"][1]["on_air"]["ps"]), ([], "ONAIR   "))
        self.assertEqual(state["banks"][1]["revision"], state["revision"])

    def test_an_edit_begun_before_anothers_change_is_refused_with_what_stands(self):
        run = self.start("--web", "127.0.0.1:0")
        first, second = run.sign_in(), run.sign_in()
        seen = first.state()["revision"]
        response, reply = first.set_fields({"PS": "FIRST"}, seen)
        self.assertEqual(response.status, 200)
        self.assertGreater(reply["revision"], seen)
        for fields, status in [({"PS": "SECOND"}, 409), ({"PS": "FIRST"}, 200), ({"PTY": 5}, 200)]:
            response, reply = second.set_fields(fields, seen)
            self.assertEqual(response.status, status, fields)
        response, reply = second.set_fields({"PS": "SECOND"}, seen)
        self.assertEqual(reply["error"], {
            "code": "stale", "field": "PS", "value": "FIRST", "by": "web 127.0.0.1",
            "message": 'PS is now "FIRST", set by web 127.0.0.1 after this page showed it'})
        self.assertEqual(second.state()["fields"]["PS"], "FIRST", "nothing applied")
        response, reply = second.post("/api/fields", {"fields": {"PS": "X"}, "seen_revision": "1"})
        self.assertEqual(response.status, 400, "a revision that is no number is refused")
        self.assertEqual(second.set_fields({"PS": "SECOND"})[0].status, 200, "anyway")
        self.assertEqual(second.state()["fields"]["PS"], "SECOND")
        self.assertIn("after this page showed it", run.errors(), "the clash is logged")

    def test_the_log_page_shows_the_programs_last_lines(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        session.set_fields({"PS": "LOGGED"})
        self.assertEqual(session.get("/log")[0].status, 200)
        response, data = session.get("/api/log")
        lines = json.loads(data)
        self.assertTrue(any(line.endswith('web 127.0.0.1 "PS=LOGGED" changed PS') for line in lines),
                        lines)
        self.assertGreaterEqual(session.state()["log_count"], len(lines))

    def test_save_as_takes_a_new_name_and_never_another_file(self):
        run = self.start("--web", "127.0.0.1:0")
        other = os.path.join(run.folder, "other.rds")
        with open(other, "wb") as f:
            f.write(b"PS=OTHER\r\n")
        session = run.sign_in()
        session.set_fields({"PS": "MINE"})
        for name, status, why in [("other.rds", 409, "is there already"), ("other", 409, ""),
                                  ("../escape", 400, "not a path"), ("station ", 400, "ending"),
                                  (".hidden", 400, "beginning"), ("a:b", 400, "no ':'"),
                                  ("", 400, "no name"), ("x", 200, "")]:
            response, reply = session.post("/api/saveas", {"name": name})
            self.assertEqual(response.status, status, (name, reply))
            if why:
                self.assertIn(why, json.loads(reply)["error"]["message"], name)
        self.assertFalse(os.path.exists(os.path.join(run.folder, "escape.rds")))
        self.assertFalse(os.path.exists(os.path.join(run.folder, "station .rds")))
        with open(other, "rb") as f:
            self.assertEqual(f.read(), b"PS=OTHER\r\n")
        self.assertEqual(os.path.basename(session.state()["station_file"]), "x.rds")
        self.assertIn("PS=MINE", open(os.path.join(run.folder, "x.rds")).read())
        self.assertEqual(session.post("/api/saveas", {"name": "x.rds"})[0].status, 200, "its own file")
        os.remove(os.path.join(run.folder, "x.rds"))
        os.symlink(other, os.path.join(run.folder, "x.rds"))
        self.assertEqual(session.post("/api/save", {})[0].status, 500, "never through a link")
        with open(other, "rb") as f:
            self.assertEqual(f.read(), b"PS=OTHER\r\n")

    def test_every_response_carries_the_security_headers(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        for path in ["/signin", "/onair", "/api/state", "/assets/app.css"]:
            response, _ = session.get(path)
            self.assertEqual(response.getheader("X-Content-Type-Options"), "nosniff", path)
            self.assertEqual(response.getheader("X-Frame-Options"), "DENY", path)
            self.assertEqual(response.getheader("Referrer-Policy"), "no-referrer", path)
            policy = response.getheader("Content-Security-Policy")
            self.assertIn("default-src 'none'", policy)
            self.assertNotIn("unsafe-inline", policy.split("script-src")[1].split(";")[0])
            if not path.startswith("/assets/"):
                self.assertIn("no-store", response.getheader("Cache-Control"), path)
        self.assertIsNone(session.get("/onair")[0].getheader("Strict-Transport-Security"))

    def test_wrong_passwords_are_delayed_and_logged_per_address(self):
        run = self.start("--web", "127.0.0.1:0")
        statuses = []
        for _ in range(10):
            session = run.sign_in("wrong-password")
            self.assertEqual(session.cookie, "")
            statuses.append(session.response.status)
        self.assertEqual(statuses[:5], [401] * 5)
        self.assertEqual(statuses[5:], [429] * 5, "held after five in a row")
        self.assertEqual(run.sign_in().response.status, 429, "even the right one waits")
        self.assertEqual(run.sign_in(source="127.0.0.2").response.status, 303,
                         "another address is not held")
        self.assertRegex(run.errors(), r"web 127\.0\.0\.1 sign-in failed \(5 in a row\)")
        self.assertNotIn("wrong-password", run.output() + run.errors())
        time.sleep(1.1)
        self.assertEqual(run.sign_in().response.status, 303, "after the wait")

    def test_loads_only_station_files_of_the_working_folder(self):
        run = self.start("--web", "127.0.0.1:0")
        with open(os.path.join(run.folder, "jazz.rds"), "w", encoding="ascii") as f:
            f.write("PS=JAZZ\r\nPI=D2A1\r\n")
        with open(os.path.join(os.path.dirname(run.folder), "outside.rds"), "w") as f:
            f.write("PS=OUTSIDE\r\n")
        self.addCleanup(os.remove, os.path.join(os.path.dirname(run.folder), "outside.rds"))
        session = run.sign_in()
        self.assertIn("jazz.rds", json.loads(session.get("/api/stations")[1]))
        for name in ["../outside.rds", os.path.join(os.path.dirname(run.folder), "outside.rds"),
                     "/etc/passwd", "jazz.rds/", "", "jazz"]:
            response, reply = session.post("/api/load", {"name": name})
            self.assertEqual(response.status, 404, name)
        self.assertEqual(session.state()["fields"]["PS"], "FM RADIO")
        self.assertEqual(session.post("/api/load", {"name": "jazz.rds"})[0].status, 200)
        self.assertEqual(session.state()["fields"]["PS"], "JAZZ")
        response, data = session.get("/api/station")
        self.assertIn('filename="jazz.rds"', response.getheader("Content-Disposition"))
        self.assertIn(b"PS=JAZZ\r\n", data)

    def test_uploads_are_bounded_and_checked(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        with socket.create_connection(("127.0.0.1", run.web_port), timeout=5) as big:
            big.sendall(b"POST /api/upload HTTP/1.1\r\nHost: x\r\nCookie: %s\r\n"
                        b"X-CSRF-Token: %s\r\nContent-Length: %d\r\n\r\nPS=HUGE\r\n"
                        % (session.cookie.encode(), session.token.encode(), 2 << 20))
            self.assertTrue(big.recv(100).startswith(b"HTTP/1.1 413 "), "refused at its header")
        for bad in ["\x89PNG\r\n", "PS=EVIL\r\nRTSF=/etc/shadow\r\n", "PS=EVIL\r\nEXIT=1\r\n"]:
            response, reply = session.post("/api/upload", bad)
            self.assertEqual(response.status, 400, bad)
            self.assertEqual(json.loads(reply)["error"]["code"], "malformed")
        self.assertEqual(session.state()["fields"]["PS"], "FM RADIO")
        response, reply = session.post("/api/upload", "PS=UPLOAD\r\nPI=C001\r\n")
        self.assertEqual((response.status, json.loads(reply)["name"]), (200, "uploaded.rds"))
        self.assertEqual(session.state()["fields"]["PS"], "UPLOAD")

    def test_an_upload_is_a_station_of_its_own_and_saving_it_touches_no_other(self):
        run = self.start("--web", "127.0.0.1:0")
        news = os.path.join(run.folder, "news-24.rds")
        with open(news, "wb") as f:
            f.write(b"PS=NEWS 24\r\n")
        with open(os.path.join(run.folder, "jazz.rds"), "wb") as f:
            f.write(b"PS=OLDJAZZ\r\n")
        session = run.sign_in()
        self.assertEqual(session.post("/api/load", {"name": "news-24.rds"})[0].status, 200)
        for sent, named in [("..%2F..%2Fjazz.rds", "jazz-2.rds"), ("jazz.rds", "jazz-3.rds"),
                            ("%2E%2Ehidden", "hidden.rds"), ("C%3A%5Cmy%20stations%5Cfm%201.rds",
                                                             "fm 1.rds")]:
            response, reply = session.post("/api/upload", "PS=JAZZ\r\n",
                                           headers={"X-File-Name": sent})
            self.assertEqual(json.loads(reply)["name"], named, sent)
            self.assertEqual(os.path.basename(session.state()["station_file"]), named)
            self.assertEqual(session.post("/api/save", {})[0].status, 200)
        with open(news, "rb") as f:
            self.assertEqual(f.read(), b"PS=NEWS 24\r\n", "the station loaded before untouched")
        with open(os.path.join(run.folder, "jazz.rds"), "rb") as f:
            self.assertEqual(f.read(), b"PS=OLDJAZZ\r\n", "a file of the same name untouched")
        self.assertIn("PS=JAZZ", open(os.path.join(run.folder, "jazz-2.rds")).read())

    def test_limits_of_requests_and_connections(self):
        run = self.start("--web", "127.0.0.1:0")
        response, _ = run.request("GET", "/signin", headers={"X-Big": "x" * 9000})
        self.assertEqual(response.status, 431)
        held = []
        try:
            for _ in range(16):
                held.append(socket.create_connection(("127.0.0.1", run.web_port), timeout=5))
            time.sleep(0.3)
            response, _ = run.request("GET", "/signin")
            self.assertEqual(response.status, 503, "the 17th from one address is turned away")
            self.assertEqual(run.request("GET", "/signin", source="127.0.0.2")[0].status, 200,
                             "another address has its own share")
            for source in ["127.0.0.2", "127.0.0.3", "127.0.0.4"]:
                for _ in range(16):
                    held.append(socket.create_connection(("127.0.0.1", run.web_port), timeout=5,
                                                         source_address=(source, 0)))
            time.sleep(0.3)
            response, _ = run.request("GET", "/signin", source="127.0.0.5")
            self.assertEqual(response.status, 200, "room made by closing one that said nothing")
        finally:
            for connection in held:
                connection.close()
        time.sleep(0.3)
        self.assertEqual(run.request("GET", "/signin")[0].status, 200)

    def test_a_viewer_looks_and_signing_out_ends_the_session(self):
        run = self.start("--web", "127.0.0.1:0", viewer=True)
        viewer = run.sign_in(VIEWER_PASSWORD)
        self.assertEqual(viewer.response.status, 303)
        self.assertEqual(viewer.state()["fields"]["PS"], "FM RADIO")
        for path, body in [("/api/fields", {"fields": {"PS": "VIEWER"}}), ("/api/send", {"bank": 1}),
                           ("/api/fields", {"fields": {"AUTOSAVE": False}}), ("/api/save", {})]:
            self.assertEqual(viewer.post(path, body)[0].status, 403, path)
        self.assertEqual(viewer.state()["fields"]["PS"], "FM RADIO")

        operator = run.sign_in()
        response, _ = operator.post("/signout", "csrf=" + operator.token)
        self.assertEqual(response.status, 303)
        self.assertIn("Max-Age=0", response.getheader("Set-Cookie"))
        self.assertEqual(operator.get("/api/state")[0].status, 401)
        self.assertEqual(viewer.get("/api/state")[0].status, 200, "only that session ended")

    def test_the_page_watches_changes_as_they_happen(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        stream, events = session.watch()
        self.assertEqual(events.getheader("Content-Type"), "text/event-stream")

        def next_state():
            while True:
                block = b""
                while not block.endswith(b"\n\n"):
                    block += events.readline()
                data = re.search(rb"^data: (.*)$", block, re.M)
                if data:  # not the retry or a heartbeat
                    return json.loads(data.group(1))

        self.assertEqual(next_state()["fields"]["PS"], "FM RADIO")
        started = time.monotonic()
        session.set_fields({"PS": "LIVE"})
        while next_state()["fields"]["PS"] != "LIVE":
            pass
        self.assertLess(time.monotonic() - started, 1.0)
        stream.close()

    def test_a_page_watches_for_longer_than_any_deadline(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        stream, events = session.watch()
        events.readline()
        time.sleep(32)  # past the 30 s a write may take
        session.set_fields({"PS": "LATER"})
        stream.sock.settimeout(10)
        while True:
            line = events.readline()
            self.assertTrue(line, "the stream is still open")
            if line.startswith(b"data: ") and json.loads(line[6:])["fields"]["PS"] == "LATER":
                break
        stream.close()

    def test_stops_cleanly_with_pages_open(self):
        """A stop with 3 pages watching, a request half sent and a text
        client, 20 times over: a clean end and the saves each time."""
        for attempt in range(20):
            run = self.start("--web", "127.0.0.1:0", "--text-tcp", "127.0.0.1:0")
            session = run.sign_in()
            streams = []
            for _ in range(3):
                stream, events = session.watch()
                events.readline()
                streams.append(stream)
            half = socket.create_connection(("127.0.0.1", run.web_port), timeout=5)
            half.sendall(b"GET /onair HTTP/1.1\r\n")
            text_port = int(re.search(r"listening: text TCP \S+:(\d+)", run.output()).group(1))
            text = socket.create_connection(("127.0.0.1", text_port), timeout=5)
            session.set_fields({"PS": "STOP %d" % attempt})
            self.assertEqual(run.stop(), 0, "stop %d: %s" % (attempt, run.errors()[-400:]))
            with open(os.path.join(run.folder, "vaxow.dat"), "rb") as settings:
                self.assertEqual(len(settings.read().splitlines()), 65, "the settings saved")
            for connection in [*streams, half, text]:
                connection.close()

    def test_settings_take_feed_names_only_inside_the_folder(self):
        run = self.start("--web", "127.0.0.1:0")
        session = run.sign_in()
        for fields, status in [({"AUTOSAVE": True}, 200), ({"PORT": "LPT3"}, 400),
                               ({"PORT": "LPT2"}, 200), ({"RTSF": "../../etc/passwd"}, 403),
                               ({"DPSSF": "now.txt"}, 200), ({"SHELL": 1}, 422),
                               ({"ALONTOP": True}, 403), ({"MINSEND": 1}, 403)]:
            self.assertEqual(session.set_fields(fields)[0].status, status, fields)
        state = session.state()
        self.assertEqual((state["fields"]["AUTOSAVE"], state["fields"]["PORT"]), (True, "LPT2"))
        self.assertEqual(state["fields"]["DPSSF"], "now.txt")
        self.assertNotIn("passwd", state["fields"]["RTSF"])

    def test_refuses_to_start_when_it_would_be_unsafe(self):
        run = self.start("--web", "0.0.0.0:0", expect_start=False)
        self.assertEqual(run.process.wait(20), 2)
        self.assertIn("--web-insecure", run.errors())
        run = self.start("--web", "127.0.0.1:0", expect_start=False, password=False)
        self.assertEqual(run.process.wait(20), 1)
        self.assertRegex(run.errors(), r"the web page cannot start: .*vaxoctl passwd")
        run = self.start("--web", "0.0.0.0:0", "--web-insecure")
        self.assertIn("warning: the web page is plain HTTP", run.errors())

    def test_https_with_a_certificate_marks_the_cookie_secure(self):
        folder = self.enterContext(TemporaryFolder())
        cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run = self.start("--web", "127.0.0.1:0", "--web-cert", cert, "--web-key", key, tls=cert)
        self.assertRegex(run.output(), r"listening: web https://127\.0\.0\.1:\d+/")
        session = run.sign_in()
        self.assertIn("Secure", session.set_cookie)
        response, _ = session.get("/onair")
        self.assertIn("max-age=", response.getheader("Strict-Transport-Security"))
        # Two days left: within the fortnight that raises its alarm.
        _, state = session.get("/api/state")
        standing = {alarm["id"]: alarm for alarm in json.loads(state)["alarms"]["active"]}
        self.assertIn("certificate_expiring", standing)
        self.assertRegex(standing["certificate_expiring"]["reason"],
                         r"^the web page's certificate .*cert\.pem ends .* \(in 1 day\): renew it")
        self.assertIn("alarm raised: TLS certificate expiring", run.errors())
        with socket.create_connection(("127.0.0.1", run.web_port), timeout=5) as plain:
            plain.sendall(b"GET /signin HTTP/1.1\r\nHost: x\r\n\r\n")
            plain.settimeout(5)
            try:
                self.assertNotIn(b"200 OK", plain.recv(1000), "no plain HTTP on HTTPS")
            except ConnectionResetError:
                pass


class TemporaryFolder:
    def __enter__(self):
        import tempfile
        self.path = tempfile.mkdtemp(prefix="vaxo-tls-")
        return self.path

    def __exit__(self, *exc):
        import shutil
        shutil.rmtree(self.path, ignore_errors=True)


if __name__ == "__main__":
    live.VAXOCTL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
