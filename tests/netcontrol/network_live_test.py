#!/usr/bin/python3
"""vaxoctl run with its network listeners, driven as the field drives an
encoder: real sockets on this machine's loopback, a simulated encoder, and
what it wrote compared with the station the commands describe.

    network_live_test.py VAXOCTL            the whole suite (Linux)
    network_live_test.py --smoke CMD...     one text command and one UECP
                                            frame to the program CMD starts
                                            (vaxoctl.exe under Wine)
"""
import http.client
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    text_string_to_metric_families = None

VAXOCTL = None
RUN_PREFIX = []


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc ^ 0xFFFF


def uecp(message, site=0, encoder=0, sequence=0):
    body = bytes([site >> 2, ((site & 3) << 6) | encoder, sequence, len(message)]) + bytes(message)
    body += struct.pack(">H", crc16(body))
    out = bytearray([0xFE])
    for byte in body:
        out += bytes([0xFD, byte - 0xFD]) if byte >= 0xFD else bytes([byte])
    return bytes(out + b"\xFF")


def ack(code, sequence=None, site=0, encoder=0):
    """An acknowledgement as the encoder sends it, from its own address."""
    return uecp([0x18, code] + ([] if sequence is None else [sequence]), site, encoder)


class Running:
    """vaxoctl run in a folder of its own; its ports from its "listening" lines."""

    def __init__(self, *options, expect_start=True, prepare=None, folder=None, env=None):
        """`folder`: the folder of an earlier run, its settings kept; `env`:
        more of the environment."""
        self.folder = folder or tempfile.mkdtemp(prefix="vaxo-net-")
        if prepare:
            prepare(self.folder)
        self.runtime = os.path.join(self.folder, "runtime")
        os.makedirs(self.runtime, 0o700, exist_ok=True)
        program = os.path.join(self.folder, os.path.basename(VAXOCTL))
        shutil.copy(VAXOCTL, program)
        self.out = os.path.join(self.folder, "out.txt")
        self.err = os.path.join(self.folder, "err.txt")
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime,
                   VAXO_INSTANCE="net-%d-%d" % (os.getpid(), time.monotonic_ns()), **(env or {}))
        with open(self.out, "wb") as out, open(self.err, "wb") as err:
            self.process = subprocess.Popen(RUN_PREFIX + [program, "run", *options],
                                            cwd=self.folder, stdout=out, stderr=err, env=env)
        self.ports = {}
        if expect_start:
            self.wait_for(r"port LPT1")
            for kind, port in re.findall(r"listening: (\w+ \w+) \S+:(\d+)", self.output()):
                self.ports.setdefault(kind, []).append(int(port))

    def output(self):
        with open(self.out, encoding="utf-8", errors="replace") as f:
            return f.read()

    def errors(self):
        with open(self.err, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_for(self, pattern, seconds=60, count=1, told=False):
        """Until the output (told: the messages) has the pattern `count` times."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if len(re.findall(pattern, self.errors() if told else self.output())) >= count:
                return
            if self.process.poll() is not None:
                break
            time.sleep(0.05)
        raise AssertionError("no %r in %r / %r" % (pattern, self.output(), self.errors()))

    def wait_quiet(self, seconds=1.0):
        """Until nothing has been printed for `seconds`."""
        last, since = self.output(), time.monotonic()
        while time.monotonic() - since < seconds:
            time.sleep(0.1)
            now = self.output()
            if now != last:
                last, since = now, time.monotonic()

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        return self.process.wait(20)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)

    def tcp(self, kind, index=0, source="127.0.0.1"):
        """A connection from `source`: an address of 127.0.0.0/8 stands in for another host."""
        connection = socket.create_connection(("127.0.0.1", self.ports[kind][index]), timeout=30,
                                              source_address=(source, 0))
        return connection

    def datagram(self, kind, data):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.settimeout(30)
            s.sendto(data, ("127.0.0.1", self.ports[kind][0]))
            return s.recvfrom(65536)[0]


def receive(connection, size):
    data = b""
    while len(data) < size:
        piece = connection.recv(size - len(data))
        if not piece:
            break
        data += piece
    return data


def read_until(connection, enough):
    """What the connection sends until `enough` of it, or its end."""
    data = b""
    while not enough(data):
        piece = connection.recv(4096)
        if not piece:
            break
        data += piece
    return data


def lines(connection, count):
    data = read_until(connection, lambda data: data.count(b"\r\n") >= count)
    return data.decode("utf-8", "replace").split("\r\n")[:count]


def run_in_network_namespace(marker, setup):
    """Runs this script again inside a network namespace of its own (lo up,
    then the shell commands `setup`), with `marker` set in its environment,
    and exits with its status; returns False where no namespace can be made."""
    try:
        subprocess.run(["unshare", "-rn", "true"], check=True, stderr=subprocess.DEVNULL)
    except (OSError, subprocess.CalledProcessError):
        return False
    script = " && ".join(["ip link set lo up", *setup,
                          'exec /usr/bin/python3 -W ignore::ResourceWarning "$@"'])
    result = subprocess.run(["unshare", "-rn", "sh", "-c", script, "sh", *sys.argv],
                            env=dict(os.environ, **{marker: "1"}))
    sys.exit(result.returncode)


def metric_values(body):
    """{sample: value} of a scrape, its labels written {name=value}."""
    values = {}
    for family in text_string_to_metric_families(body):
        for sample in family.samples:
            key = sample.name + "".join("{%s=%s}" % item for item in sorted(sample.labels.items()))
            values[key] = sample.value
    return values


def vaxoctl(*args):
    return subprocess.run([VAXOCTL, *args], check=True, capture_output=True, text=True).stdout


class NetworkLive(unittest.TestCase):
    def start(self, *options, expect_start=True, folder=None, prepare=None):
        running = Running(*options, expect_start=expect_start, folder=folder, prepare=prepare)
        self.addCleanup(running.close)
        return running

    def test_every_listener_puts_the_station_the_commands_describe_on_air(self):
        dump = os.path.join(tempfile.mkdtemp(prefix="vaxo-dump-"), "memory.txt")
        self.addCleanup(shutil.rmtree, os.path.dirname(dump), True)
        run = self.start("--simulate", "--memory-dump", dump, "--text-tcp", "127.0.0.1:0",
                         "--text-udp", "127.0.0.1:0", "--uecp-tcp", "[::1]:0",
                         "--uecp-udp", "127.0.0.1:0", "--uecp-site", "837",
                         "--uecp-encoder", "18")
        with run.tcp("text TCP") as text:
            text.sendall(b"PS=NEWS FM\r\nPI=C201\nPTY=45\rPTY=10\r\nAF1=89.6\r\n"
                         b"TEXT=Artist - Title   \r\nRTSF=/etc/shadow\r\nPS?\r\n")
            self.assertEqual(lines(text, 8), ["+", "+", "-", "+", "+", "+", "!", "PS=NEWS FM"])
        self.assertEqual(run.datagram("text UDP", b"MS=0\r\nTP=1\r\nMS?"), b"+\r\n+\r\nMS=0\r\n")

        with socket.create_connection(("::1", run.ports["UECP TCP"][0]), timeout=30) as frames:
            frames.sendall(uecp([0x2C, 2]) + uecp([0x04, 0, 0, 0x09], site=837, encoder=18,
                                                   sequence=1))
            ours = ack(0, site=837, encoder=18)
            self.assertEqual(receive(frames, 2 * len(ours)), ours + ours)
        standard = bytes.fromhex("FED152010B020306205053205244532025F4FF")
        self.assertEqual(run.datagram("UECP UDP", uecp([0x2C, 2]) + standard),
                         ack(0, site=837, encoder=18) + ack(4, 1, site=837, encoder=18),
                         "the standard's example is for data set 3")

        run.wait_for(r"ok bank 1 RT=\"Artist - Title\"")
        run.wait_quiet()  # the sends the last changes asked for
        self.assertEqual(run.stop(), 0)
        self.assertIn('"PS=NEWS FM" changed PS', run.output())
        self.assertIn('"PTY=45" refused: PTY takes a number from 0 to 31', run.errors())
        self.assertIn('"RTSF=/etc/shadow" refused: RTSF is not settable from here', run.errors())

        station = os.path.join(os.path.dirname(dump), "described.rds")
        with open(station, "wb") as f:
            f.write(b"PS=NEWS FM\r\nPI=C201\r\nPTY=10\r\nAF1=89.6\r\nRT=Artist - Title\r\n"
                    b"MS=0\r\nTP=1\r\nDI=1001\r\n")
        self.assertEqual(vaxoctl("preview", "--image", dump, "--bank", "1"),
                         vaxoctl("preview", station))

    def test_line_commands_as_playout_systems_send_them(self):
        """One TCP connection per command closed without reading the reply,
        datagrams, CR LF and LF, UTF-8 and Windows-1250: the memory holds
        what a receiver should show."""
        dump = os.path.join(tempfile.mkdtemp(prefix="vaxo-dump-"), "memory.txt")
        self.addCleanup(shutil.rmtree, os.path.dirname(dump), True)
        run = self.start("--simulate", "--memory-dump", dump, "--text-tcp", "127.0.0.1:0",
                         "--text-udp", "127.0.0.1:0")
        for command in ["PS=\u00dcber den Wolken\r\n".encode("utf-8"),
                        "TEXT=Dvo\u0159\u00e1k - Largo\n".encode("cp1250"),
                        b"PTYN=CLASSIC\r\n"]:
            with run.tcp("text TCP") as connection:
                connection.sendall(command)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as datagrams:
            for command in [b"DI=3\r\n", b"PTY=10\n", "DPS1=R\u00e1dio J\u00f3\n".encode("utf-8")]:
                datagrams.sendto(command, ("127.0.0.1", run.ports["text UDP"][0]))
        run.wait_for(r'"PTY=10" changed PTY')
        run.wait_for(r"changed PS")
        run.wait_for(r"changed RT")
        run.wait_for(r"changed DI")
        run.wait_for(r"ok bank 1 RT=\"Dvorak - Largo\"")
        run.wait_quiet()
        self.assertEqual(run.stop(), 0)
        self.assertIn("PTYN is not carried by this encoder", run.errors())
        view = json.loads(vaxoctl("preview", "--image", dump, "--bank", "1", "--json"))
        self.assertEqual((view["ps"], view["rt"].rstrip(), view["pty"]),
                         ("\u00dcber den", "Dvorak - Largo", 10))
        self.assertEqual((view["di"]["stereo"], view["di"]["artificial_head"],
                          view["di"]["compressed"]), (True, True, False))

    def test_each_text_listener_answers_in_the_words_its_senders_wait_for(self):
        run = self.start("--simulate", "--text-tcp", "127.0.0.1:0",
                         "--text-tcp", "127.0.0.1:0", "--text-replies", "ok-no",
                         "--text-tcp", "127.0.0.1:0", "--text-replies", "brackets",
                         "--text-udp", "127.0.0.1:0", "--text-replies", "brackets")
        commands = b"PS=NEWS FM\r\nPTY=45\r\nPTYN=CLASSIC\r\nPS?\r\nTEXT=" + b"x" * 70 + b"\r\n"
        expected = [["+", "-", "!", "PS=NEWS FM", "/"],
                    ["OK", "NO", "NO", "PS=NEWS FM", "OK"],
                    ["[OK]", "[ERR]", "[ERR]", "PS=NEWS FM", "[OK]"]]
        for index, words in enumerate(expected):
            with run.tcp("text TCP", index) as connection:
                connection.sendall(commands)
                self.assertEqual(lines(connection, 5), words)
        self.assertEqual(run.datagram("text UDP", b"PTY=10\r\nPTY=99\r\n"), b"[OK]\r\n[ERR]\r\n")
        self.assertEqual(run.datagram("text UDP", b"PS?\r\nPTY?\r\n"), b"PS=NEWS FM\r\nPTY=10\r\n")
        self.assertEqual(run.stop(), 0)

    def test_a_server_provisions_the_addresses_and_a_restart_keeps_them(self):
        options = ("--simulate", "--uecp-udp", "127.0.0.1:0", "--uecp-site", "100",
                   "--uecp-encoder", "5", "--uecp-provision", "127.0.0.1")
        run = self.start(*options)
        run.wait_for(r"UECP: site addresses 100, encoder addresses 5, as the start options",
                     told=True)
        # The standard's layout: configuration 1 (add), one address.
        add_site_200 = uecp([0x23, 1, 0, 200], site=100, encoder=5)
        self.assertEqual(run.datagram("UECP UDP", uecp([0x2C, 2], 100, 5) + add_site_200),
                         ack(0, site=100, encoder=5) * 2)
        run.wait_for(r'"site address element" changed site addresses 100, 200')
        self.assertEqual(run.stop(), 0)

        ask_sites = uecp([0x2C, 1], site=200, encoder=5) + uecp([0x17, 1, 0x23], site=200, encoder=5)
        again = self.start(*options, folder=run.folder)
        again.wait_for(r"site addresses 100, 200, encoder addresses 5, as a UECP server "
                       r"provisioned them over these start options", told=True)
        self.assertEqual(again.datagram("UECP UDP", ask_sites),
                         uecp([0x23, 1, 0, 100, 0x23, 1, 0, 200], site=100, encoder=5))
        self.assertEqual(again.stop(), 0)

        moved = self.start("--simulate", "--uecp-udp", "127.0.0.1:0", "--uecp-site", "300",
                           folder=run.folder)
        moved.wait_for(r"vaxow.uecp was provisioned over other options and is set aside",
                       told=True)
        self.assertEqual(moved.datagram("UECP UDP", uecp([0x2C, 1], site=300)
                                        + uecp([0x17, 1, 0x23], site=300)),
                         uecp([0x23, 1, 1, 0x2C], site=300),
                         "other start options begin from those")
        self.assertEqual(moved.datagram("UECP UDP", uecp([0x2C, 2], site=300)
                                        + uecp([0x27, 1, 2], site=300)),
                         ack(0, site=300) + ack(9, 0, site=300), "not named by --uecp-provision")

    def test_nothing_listens_beyond_loopback_without_an_allow_list(self):
        run = self.start("--simulate", "--text-tcp", "0.0.0.0:0", expect_start=False)
        self.assertEqual(run.process.wait(20), 2)
        self.assertIn("--allow", run.errors())

    def test_the_allow_list_drops_everyone_else(self):
        try:
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
                probe.connect(("192.0.2.1", 9))  # no packet is sent
                own = probe.getsockname()[0]
        except OSError:
            own = None
        if not own or own.startswith("127."):
            self.skipTest("this machine has no address beyond loopback")
        run = self.start("--simulate", "--text-tcp", "0.0.0.0:0", "--allow", "203.0.113.0/24")
        with socket.create_connection((own, run.ports["text TCP"][0]), timeout=30) as stranger:
            stranger.sendall(b"PS=STRANGE\r\n")
            try:
                said = stranger.recv(100)
            except ConnectionResetError:  # closed with our line unread
                said = b""
            self.assertEqual(said, b"", "closed without a word")
        with run.tcp("text TCP") as local:
            local.sendall(b"PS?\r\n")
            self.assertEqual(lines(local, 1), ["PS=FM RADIO"])
        self.assertRegex(run.errors(), r"dropped 1 connections from addresses not allowed \(%s"
                         % re.escape(own))

    def test_the_service_manager_hears_it_ready_and_alive_while_its_loop_turns(self):
        folder = tempfile.mkdtemp(prefix="vaxo-notify-")
        self.addCleanup(shutil.rmtree, folder, True)
        path = os.path.join(folder, "notify")
        manager = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.addCleanup(manager.close)
        manager.bind(path)
        manager.settimeout(30)
        run = Running("--simulate", "--text-tcp", "127.0.0.1:0", expect_start=False,
                      env={"NOTIFY_SOCKET": path, "WATCHDOG_USEC": "400000"})
        self.addCleanup(run.close)
        heard = [manager.recv(4096)]
        self.assertTrue(heard[0].startswith(b"READY=1"), heard)
        self.assertRegex(run.output(), r"listening: text TCP", "ready once the listeners are up")
        started = time.monotonic()
        while time.monotonic() - started < 2:
            heard.append(manager.recv(4096))
        self.assertGreaterEqual(heard.count(b"WATCHDOG=1"), 6, "every 0.2 s while it turns")
        # A loop that does not turn tells nothing; once it turns again it does.
        run.process.send_signal(signal.SIGSTOP)
        time.sleep(0.3)
        manager.settimeout(0)
        try:
            while manager.recv(4096):
                pass
        except BlockingIOError:
            pass
        time.sleep(1.5)
        with self.assertRaises(BlockingIOError, msg="silent while it stalls"):
            manager.recv(4096)
        run.process.send_signal(signal.SIGCONT)
        manager.settimeout(30)
        self.assertEqual(manager.recv(4096), b"WATCHDOG=1")
        self.assertEqual(run.stop(), 0)
        rest = b""
        manager.settimeout(5)
        while b"STOPPING=1" not in rest:
            rest += manager.recv(4096)

    def scrape(self, port, path="/metrics", method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        connection.request(method, path)
        response = connection.getresponse()
        body = response.read().decode()
        connection.close()
        return response, body

    def metrics(self, port):
        response, body = self.scrape(port)
        self.assertEqual(response.status, 200)
        self.assertEqual(response.getheader("Content-Type"),
                         "text/plain; version=0.0.4; charset=utf-8")
        return metric_values(body)

    @unittest.skipIf(text_string_to_metric_families is None, "python3-prometheus-client is missing")
    def test_an_encoder_that_goes_is_told_in_the_log_status_and_metrics_without_a_send(self):
        def feeds(folder):
            with open(os.path.join(folder, "st.rds"), "w", encoding="ascii") as f:
                f.write("CLEAR\r\nRTFF=1\r\nRTSF=rt.txt\r\nPS=METRICS\r\n")
            with open(os.path.join(folder, "rt.txt"), "w", encoding="ascii") as f:
                f.write("Now playing\n")
        started = time.monotonic()
        run = self.start("--simulate=healthy,absent@4,healthy@20", "--metrics", "127.0.0.1:0",
                         "--text-tcp", "127.0.0.1:0", "st.rds", prepare=feeds)
        port = int(re.search(r"listening: metrics http://127.0.0.1:(\d+)/metrics",
                             run.output()).group(1))
        run.wait_for(r"ok bank 1")
        values = self.metrics(port)
        self.assertEqual(values["vaxo_encoder_up"], 1)
        self.assertEqual(values["vaxo_sends_total{result=ok}"], 1)
        self.assertEqual(values["vaxo_sends_total{result=failed}"], 0)
        self.assertAlmostEqual(values["vaxo_last_send_timestamp_seconds"], time.time(), delta=30)
        self.assertEqual(values["vaxo_pending_fields"], 0)
        self.assertGreater(values["vaxo_page_writes_total"], 0)
        self.assertLess(values["vaxo_feed_age_seconds{feed=radiotext}"], 30)
        self.assertEqual(values["vaxo_alarm_active{alarm=encoder_not_answering}"], 0)
        # The encoder goes at second 4: told within 15 s, with no send made
        # to find it out, and it answers again once it is back.
        run.wait_for(r"encoder not answering: its status line stays low", seconds=30, told=True)
        self.assertLess(time.monotonic() - started, 4 + 15)
        with run.tcp("text TCP") as client:
            client.sendall(b"STATUS?\r\n")
            self.assertRegex(lines(client, 1)[0], r"encoder not answering since .*: its status "
                                                  r"line stays low")
        values = self.metrics(port)
        self.assertEqual(values["vaxo_encoder_up"], 0)
        self.assertEqual(values["vaxo_alarm_active{alarm=encoder_not_answering}"], 1)
        self.assertEqual(values["vaxo_sends_total{result=ok}"], 1, "no send since")
        self.assertEqual(self.scrape(port, "/other")[0].status, 404)
        self.assertEqual(self.scrape(port, "/metrics", "POST")[0].status, 405)
        response, body = self.scrape(port, "/metrics", "HEAD")
        self.assertEqual((response.status, body), (200, ""))
        run.wait_for(r"encoder answers again", seconds=30)
        self.assertLess(time.monotonic() - started, 20 + 4)
        self.assertEqual(self.metrics(port)["vaxo_encoder_up"], 1)
        # The alarm clears once the encoder has answered for 10 s; the
        # history outlives the run.
        run.wait_for(r"alarm cleared: Encoder not answering", seconds=30)
        self.assertIn("alarm raised: Encoder not answering: its status line stays low",
                      run.errors())
        self.assertEqual(self.metrics(port)["vaxo_alarm_active{alarm=encoder_not_answering}"], 0)
        self.assertEqual(run.stop(), 0)
        shown = json.loads(subprocess.run(
            [os.path.join(run.folder, os.path.basename(VAXOCTL)), "alarms", "--json"],
            check=True, capture_output=True, text=True).stdout)
        self.assertEqual(shown["active"], [])
        self.assertEqual([(entry["what"], entry["id"]) for entry in reversed(shown["history"])],
                         [("raised", "encoder_not_answering"), ("cleared", "encoder_not_answering")])

    @unittest.skipIf(text_string_to_metric_families is None, "python3-prometheus-client is missing")
    def test_a_listener_whose_port_is_taken_waits_for_it_while_the_station_goes_on_air(self):
        """After a power cut the address may not be there yet, or another
        program holds the port: the encoder is served all the same."""
        held = []
        for _ in range(2):
            holder = socket.socket()
            holder.bind(("127.0.0.1", 0))
            holder.listen()
            held.append(holder)
            self.addCleanup(holder.close)
        text_port, web_port = (holder.getsockname()[1] for holder in held)

        def station(folder):
            with open(os.path.join(folder, "st.rds"), "w", encoding="ascii") as f:
                f.write("CLEAR\r\nPS=WAITING\r\n")
            subprocess.run([*RUN_PREFIX, VAXOCTL, "passwd", "--file",
                            os.path.join(folder, "vaxow.passwd")], input="a-password\n",
                           text=True, check=True, capture_output=True)
        run = self.start("--simulate", "--metrics", "127.0.0.1:0", "--text-tcp",
                         "127.0.0.1:%d" % text_port, "--web", "127.0.0.1:%d" % web_port, "st.rds",
                         prepare=station)
        for listener in ("text TCP 127.0.0.1:%d" % text_port, "web 127.0.0.1:%d" % web_port):
            run.wait_for(r"alarm raised: Listener could not start \(%s\): Address already in use"
                         % re.escape(listener), told=True)
            self.assertIn("cannot listen yet: %s: " % listener, run.errors())
        port = int(re.search(r"listening: metrics http://127.0.0.1:(\d+)/metrics",
                             run.output()).group(1))
        self.assertEqual(self.metrics(port)["vaxo_alarm_active{alarm=listener_down}"], 1)
        self.assertNotIn("listening: text", run.output())

        # Free again: bound at the next try, and
        # the alarm cleared for that listener only.
        held[0].close()
        # The tries are at most 30 s apart.
        run.wait_for(r"listening: text TCP 127.0.0.1:%d" % text_port, seconds=90)
        with socket.create_connection(("127.0.0.1", text_port), timeout=30) as client:
            client.sendall(b"STATUS?\r\n")
            self.assertTrue(lines(client, 1)[0])
        run.wait_for(r"alarm cleared: Listener could not start \(text TCP")
        self.assertEqual(self.metrics(port)["vaxo_alarm_active{alarm=listener_down}"], 1)
        held[1].close()
        run.wait_for(r"listening: web 127.0.0.1:%d" % web_port, seconds=90)
        connection = http.client.HTTPConnection("127.0.0.1", web_port, timeout=10)
        connection.request("GET", "/")
        self.assertIn(connection.getresponse().status, (200, 303))
        connection.close()
        run.wait_for(r"alarm cleared: Listener could not start \(web")
        self.assertEqual(self.metrics(port)["vaxo_alarm_active{alarm=listener_down}"], 0)
        self.assertEqual(run.stop(), 0)

    def test_limits_of_a_line_and_of_clients(self):
        run = self.start("--simulate", "--text-tcp", "127.0.0.1:0")
        with run.tcp("text TCP") as client:
            client.sendall(b"PS=" + b"x" * 1100 + b"\r\nPTY?\r\n")
            self.assertEqual(lines(client, 2), ["-", "PTY=0"])
        # One from each of 32 addresses: every one of them is served, and a
        # newcomer that would stand no lower than any of them is not.
        clients = [run.tcp("text TCP", source="127.0.1.%d" % (1 + n)) for n in range(32)]
        try:
            for client in clients:
                client.sendall(b"PTY?\r\n")
                self.assertEqual(lines(client, 1), ["PTY=0"])
            with run.tcp("text TCP", source="127.0.2.1") as extra:
                self.assertEqual(lines(extra, 1), ["! too many clients: 32 at most"])
                self.assertEqual(extra.recv(100), b"")
        finally:
            for client in clients:
                client.close()
        # Eight from each of four addresses: a newcomer from a fifth takes
        # the place of the one idle longest of them.
        clients = [run.tcp("text TCP", source="127.0.3.%d" % (1 + n // 8)) for n in range(32)]
        try:
            for client in clients:
                client.sendall(b"PTY?\r\n")
                self.assertEqual(lines(client, 1), ["PTY=0"])
            with run.tcp("text TCP", source="127.0.3.9") as extra:
                extra.sendall(b"PTY?\r\n")
                self.assertEqual(lines(extra, 1), ["PTY=0"])
            clients[0].settimeout(5)
            self.assertEqual(clients[0].recv(100), b"", "the first of them was closed")
        finally:
            for client in clients:
                client.close()


def smoke(command):
    """One text command and one UECP frame; exit status 0 when both are answered."""
    global VAXOCTL, RUN_PREFIX
    VAXOCTL, RUN_PREFIX = command[-1], command[:-1]
    run = Running("--simulate", "--text-tcp", "127.0.0.1:0", "--uecp-udp", "127.0.0.1:0")
    try:
        with run.tcp("text TCP") as text:
            text.sendall(b"PS=WINE FM\r\nPS?\r\n")
            replies = lines(text, 2)
        answered = run.datagram("UECP UDP", uecp([0x2C, 2]) + uecp([0x07, 0, 0, 10], sequence=1))
        run.wait_for(r"ok bank 1")
        if replies != ["+", "PS=WINE FM"] or answered != ack(0) + ack(0):
            print("smoke: replies %r, UECP %r" % (replies, answered.hex()))
            return 1
        print("network: a text command and a UECP frame answered, the send confirmed")
        return 0
    finally:
        run.close()


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--smoke":
        sys.exit(smoke(sys.argv[2:]))
    VAXOCTL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
