#!/usr/bin/python3
"""A station group on one multicast group: N vaxoctl run --simulate
instances (each its own folder, runtime folder and VAXO_INSTANCE, in a
private network namespace so that the group stays on this machine), each
with a site and an encoder address, one UECP server sending over UDP:

  1. frames addressed to all, to one site and to one encoder: that exactly
     the instances addressed change, and the time from the frame to the new
     PS in each one's memory (the simulated encoder's, as its web page's
     on-air view decodes it), p50 and p99;
  2. the server provisions site 300 to the encoders of site 200 (element
     23 to site 200): that a PS frame to site 300 then reaches exactly
     them, and that each kept the list for its next start (vaxow.uecp);
  3. FRAMES frames in SECONDS seconds, each a new radiotext for all: how
     many each instance applied (its log tells every change).

    station_group_bench.py VAXOCTL [N] [FRAMES] [SECONDS]     (5, 1000, 60)
"""
import http.client
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "netcontrol"))
import network_live_test as live  # noqa: E402  (UECP framing)

INSIDE = "VAXO_GROUP_BENCH_INSIDE"
GROUP, PORT = "239.1.2.3", 5000
PASSWORD = "bench-password"


def percentile(samples, share):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


class Encoder(threading.Thread):
    """One instance and its page's live view: when each PS was first on air."""

    def __init__(self, vaxoctl, number, site, encoder):
        super().__init__(daemon=True)
        self.site, self.encoder = site, encoder
        self.folder = tempfile.mkdtemp(prefix="vaxo-group-%d-" % number)
        runtime = os.path.join(self.folder, "runtime")
        os.mkdir(runtime, 0o700)
        program = os.path.join(self.folder, "vaxoctl")
        shutil.copy(vaxoctl, program)
        subprocess.run([program, "passwd", "--file", os.path.join(self.folder, "vaxow.passwd")],
                       input=PASSWORD + "\n", text=True, check=True, stdout=subprocess.DEVNULL)
        self.out = os.path.join(self.folder, "out.txt")
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VAXO_INSTANCE="group-%d" % number)
        with open(self.out, "wb") as out:
            self.process = subprocess.Popen(
                [program, "run", "--simulate", "--uecp-udp", "%s:%d" % (GROUP, PORT),
                 "--allow", "127.0.0.0/8", "--uecp-site", str(site), "--uecp-encoder", str(encoder), "--uecp-provision", "127.0.0.0/8", "--web", "127.0.0.1:0",
                 "--min-send-interval", "1", "--wear-target-years", "0"],
                cwd=self.folder, stdout=out, stderr=subprocess.DEVNULL, env=env)
        while "listening: web" not in self.output():
            if self.process.poll() is not None:
                raise RuntimeError("instance %d did not start: %s" % (number, self.output()))
            time.sleep(0.05)
        self.port = int(re.search(r"listening: web http://\S+:(\d+)/", self.output()).group(1))
        self.on_air = {}
        self.ready = threading.Event()

    def output(self):
        with open(self.out, encoding="utf-8", errors="replace") as f:
            return f.read()

    def kept(self):
        """The addresses it keeps for its next start."""
        try:
            with open(os.path.join(self.folder, "vaxow.uecp"), encoding="ascii") as f:
                return f.read()
        except OSError:
            return ""

    def run(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=120)
        connection.request("POST", "/signin", urllib.parse.urlencode({"password": PASSWORD}),
                           {"Content-Type": "application/x-www-form-urlencoded"})
        response = connection.getresponse()
        response.read()
        cookie = response.getheader("Set-Cookie").split(";")[0]
        connection.request("GET", "/api/events", headers={"Cookie": cookie})
        events = connection.getresponse()
        while True:
            line = events.readline()
            if not line:
                return
            if line.startswith(b"data: "):
                view = json.loads(line[6:])["banks"][0]["on_air"]
                if view:
                    self.on_air.setdefault(view["ps"].rstrip(), time.perf_counter())
                self.ready.set()

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(60)
        shutil.rmtree(self.folder, ignore_errors=True)


def sender():
    out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    out.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton("127.0.0.1"))
    out.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_LOOP, 1)
    return out


def addressing(encoders, out):
    """PS frames to all, to site 100, to the second encoder of site 200."""
    delays, wrong = [], 0
    cases = [("all", 0, 0, lambda e: True),
             ("site 100", 100, 0, lambda e: e.site == 100),
             ("encoder 2 of site 200", 200, 2, lambda e: e.site == 200 and e.encoder == 2)]
    for round_ in range(10):
        for name, site, encoder, addressed in cases:
            ps = "G%d%02d" % (cases.index((name, site, encoder, addressed)), round_)
            started = time.perf_counter()
            out.sendto(live.uecp([0x02, 0, 0] + list(ps.ljust(8).encode()), site, encoder),
                       (GROUP, PORT))
            deadline = started + 10  # a guard against a hang, not a measure
            targets = [e for e in encoders if addressed(e)]
            while not all(ps in e.on_air for e in targets) and time.perf_counter() < deadline:
                time.sleep(0.001)
            delays += [e.on_air[ps] - started for e in targets if ps in e.on_air]
            wrong += sum(ps not in e.on_air for e in targets)
            time.sleep(1.2)  # past the interval since each one's last send
            wrong += sum(ps in e.on_air for e in encoders if not addressed(e))
    return delays, wrong


def provisioning(encoders, out):
    """Site 300 added over the group to the encoders of site 200."""
    out.sendto(live.uecp([0x23, 1, 300 >> 8, 300 & 0xFF], 200, 0), (GROUP, PORT))
    time.sleep(0.5)  # the element takes effect for the frames after it
    started = time.perf_counter()
    out.sendto(live.uecp([0x02, 0, 0] + list(b"SITE 300"), 300, 0), (GROUP, PORT))
    targets = [e for e in encoders if e.site == 200]
    while not all("SITE 300" in e.on_air for e in targets) and time.perf_counter() < started + 10:
        time.sleep(0.001)
    time.sleep(1.2)
    delays = [e.on_air["SITE 300"] - started for e in targets if "SITE 300" in e.on_air]
    wrong = sum(("SITE 300" in e.on_air) != (e.site == 200) for e in encoders)
    kept = sum("SITES=200,300" in e.kept() for e in targets)
    return delays, wrong, kept, len(targets)


def flood(encoders, out, frames, seconds):
    started = time.perf_counter()
    for k in range(frames):
        text = "Frame %04d" % k
        out.sendto(live.uecp([0x0A, 0, 0, len(text) + 1, 0] + list(text.encode())),
                   (GROUP, PORT))
        pause = started + (k + 1) * seconds / frames - time.perf_counter()
        if pause > 0:
            time.sleep(pause)
    time.sleep(2)
    return [len(set(re.findall(r'"RT=Frame (\d{4})', e.output()))) for e in encoders]


def main():
    vaxoctl = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    frames = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 60
    encoders = []
    try:
        for number in range(count):
            site = 100 if number < (count + 1) // 2 else 200
            encoders.append(Encoder(vaxoctl, number, site, 1 + number % ((count + 1) // 2)))
        for encoder in encoders:
            encoder.start()
            encoder.ready.wait(120)
        out = sender()
        delays, wrong = addressing(encoders, out)
        print("%d instances (sites 100 and 200): frame to PS on air in each addressed one's "
              "memory: p50 %.0f ms, p99 %.0f ms over %d; %d wrong (an addressed one unchanged "
              "or another changed)" % (count, percentile(delays, 0.5) * 1e3,
                                       percentile(delays, 0.99) * 1e3, len(delays), wrong))
        delays, wrong, kept, provisioned = provisioning(encoders, out)
        print("site 300 provisioned over the group to the %d encoders of site 200: a PS frame "
              "to site 300 on air in them after max %.0f ms; %d wrong; %d of %d kept the list" %
              (provisioned, max(delays, default=0) * 1e3, wrong, kept, provisioned))
        applied = flood(encoders, out, frames, seconds)
        print("%d radiotext frames to all in %.0f s: applied %s" %
              (frames, seconds, ", ".join(str(n) for n in applied)))
    finally:
        for encoder in encoders:
            encoder.close()


if __name__ == "__main__":
    if not os.environ.get(INSIDE) and not live.run_in_network_namespace(
            INSIDE, ["ip link set lo multicast on", "ip route add 224.0.0.0/4 dev lo"]):
        print("skipped: no network namespace can be made here (unshare -rn)")
        sys.exit(0)
    main()
