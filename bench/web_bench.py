#!/usr/bin/python3
"""The web page under watch, against vaxoctl run --simulate --web (real
sockets on loopback, real time):

  1. a page load: the HTML and its three assets on one connection, p50, p99;
  2. with VIEWERS signed-in pages watching the live updates: from a change
     posted to /api/fields to each viewer holding the new state, p50, p99
     over every viewer and change (the send the change asks for runs
     meanwhile; its own time is not part of this);
  3. with the same viewers, from a change to each viewer seeing it on air:
     the bank's view decoded from the (simulated) encoder's memory after the
     send the change asked for, p50, p99 (changes 1.2 s apart, the service
     started with --min-send-interval 1 and --wear-target-years 0, so that
     no send waits for the interval or the memory's budget of writes);
  4. the service's resident memory before the viewers, with them, and after
     the changes.

    web_bench.py VAXOCTL [CHANGES] [VIEWERS] [ON_AIR]   (200 changes, 20 viewers, 30 on air)
"""
import http.client
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

PASSWORD = "bench-password"


def percentile(samples, share):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


class Program:
    def __init__(self, vaxoctl):
        self.folder = tempfile.mkdtemp(prefix="vaxo-web-bench-")
        runtime = os.path.join(self.folder, "runtime")
        os.mkdir(runtime, 0o700)
        program = os.path.join(self.folder, "vaxoctl")
        shutil.copy(vaxoctl, program)
        subprocess.run([program, "passwd", "--file", os.path.join(self.folder, "vaxow.passwd")],
                       input=PASSWORD + "\n", text=True, check=True, stdout=subprocess.DEVNULL)
        self.out = os.path.join(self.folder, "out.txt")
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VAXO_INSTANCE="web-bench-%d" % os.getpid())
        with open(self.out, "wb") as out:
            self.process = subprocess.Popen(
                [program, "run", "--simulate", "--web", "127.0.0.1:0", "--min-send-interval", "1",
                 "--wear-target-years", "0"], cwd=self.folder,
                stdout=out, stderr=subprocess.DEVNULL, env=env)
        while "listening: web" not in self.output():
            time.sleep(0.05)
        self.port = int(re.search(r"listening: web http://\S+:(\d+)/", self.output()).group(1))

    def output(self):
        with open(self.out, encoding="utf-8", errors="replace") as f:
            return f.read()

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))

    def connection(self, source="127.0.0.1"):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=30,
                                          source_address=(source, 0))

    def sign_in(self, source="127.0.0.1"):
        connection = self.connection(source)
        connection.request("POST", "/signin", urllib.parse.urlencode({"password": PASSWORD}),
                           {"Content-Type": "application/x-www-form-urlencoded"})
        response = connection.getresponse()
        response.read()
        cookie = response.getheader("Set-Cookie").split(";")[0]
        connection.request("GET", "/station", headers={"Cookie": cookie})
        page = connection.getresponse().read()
        token = re.search(rb'name="csrf-token" content="([0-9a-f]+)"', page).group(1).decode()
        connection.close()
        return cookie, token

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(30)
        shutil.rmtree(self.folder, ignore_errors=True)


def page_loads(program, cookie, count=300):
    connection = program.connection()
    times = []
    for _ in range(count):
        started = time.perf_counter()
        for path in ["/onair", "/assets/app.css", "/assets/app.js", "/assets/icon.svg"]:
            connection.request("GET", path, headers={"Cookie": cookie})
            response = connection.getresponse()
            response.read()
            assert response.status == 200, (path, response.status)
        times.append(time.perf_counter() - started)
    connection.close()
    return times


class Viewer(threading.Thread):
    """A signed-in page watching the live updates: when it saw each PS."""

    def __init__(self, program, number):
        super().__init__(daemon=True)
        # Viewers spread over addresses: the page takes 16 connections from one.
        source = "127.0.0.%d" % (2 + number % 4)
        cookie, _ = program.sign_in(source)
        self.connection = program.connection(source)
        self.connection.request("GET", "/api/events", headers={"Cookie": cookie})
        self.events = self.connection.getresponse()
        self.seen = {}
        self.on_air = {}  # PS as the bank's view shows it: when first seen
        self.ready = threading.Event()

    def run(self):
        block = b""
        while True:
            try:
                line = self.events.readline()
            except (OSError, ValueError):
                return
            if not line:
                return
            block += line
            if block.endswith(b"\n\n"):
                data = re.search(rb"^data: (.*)$", block, re.M)
                block = b""
                if data:
                    state = json.loads(data.group(1))
                    now = time.perf_counter()
                    self.seen.setdefault(state["fields"]["PS"], now)
                    view = state["banks"][0]["on_air"]
                    if view:
                        self.on_air.setdefault(view["ps"].rstrip(), now)
                    self.ready.set()


def trips(program, viewers, changes, prefix, seen, apart):
    """From each change posted to every viewer seeing it in `seen` (its
    state's PS, or the bank's on-air view), changes `apart` seconds apart."""
    cookie, token = program.sign_in()
    connection = program.connection()
    delays = []
    for k in range(changes):
        ps = "%s%05d" % (prefix, k)
        time.sleep(apart)
        started = time.perf_counter()
        connection.request("POST", "/api/fields", json.dumps({"fields": {"PS": ps}}),
                           {"Cookie": cookie, "X-CSRF-Token": token,
                            "Content-Type": "application/json"})
        response = connection.getresponse()
        response.read()
        assert response.status == 200, ps
        deadline = started + 10  # a guard against a hang, not a measure
        while not all(ps in seen(viewer) for viewer in viewers):
            assert time.perf_counter() < deadline, "a viewer did not see " + ps
            time.sleep(0.0005)
        delays += [seen(viewer)[ps] - started for viewer in viewers]
    connection.close()
    return delays


def main():
    vaxoctl = sys.argv[1]
    changes = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    on_air = int(sys.argv[4]) if len(sys.argv) > 4 else 30
    program = Program(vaxoctl)
    try:
        cookie, _ = program.sign_in()
        loads = page_loads(program, cookie)
        print("page load (HTML + 3 assets, one connection): p50 %.2f ms, p99 %.2f ms" %
              (percentile(loads, 0.5) * 1e3, percentile(loads, 0.99) * 1e3))
        before = program.rss_kib()
        viewers = [Viewer(program, number) for number in range(count)]
        for viewer in viewers:
            viewer.start()
            viewer.ready.wait(5)
        watching = program.rss_kib()
        delays = trips(program, viewers, changes, "WEB", lambda viewer: viewer.seen, 0.1)
        print("change to view update, %d viewers, %d changes: p50 %.2f ms, p99 %.2f ms, "
              "max %.2f ms" % (count, changes, percentile(delays, 0.5) * 1e3,
                               percentile(delays, 0.99) * 1e3, max(delays) * 1e3))
        # 1.2 s apart: past the interval since the last send.
        aired = trips(program, viewers, on_air, "AIR", lambda viewer: viewer.on_air, 1.2)
        print("change to on air in the view, %d viewers, %d changes: p50 %.0f ms, p99 %.0f ms, "
              "max %.0f ms" % (count, on_air, percentile(aired, 0.5) * 1e3,
                               percentile(aired, 0.99) * 1e3, max(aired) * 1e3))
        print("resident memory: %d KiB before the viewers, %d KiB with %d watching, "
              "%d KiB after %d changes; %d sends made meanwhile" %
              (before, watching, count, program.rss_kib(), changes,
               len(re.findall(r" ok bank ", program.output()))))
    finally:
        program.close()


if __name__ == "__main__":
    main()
