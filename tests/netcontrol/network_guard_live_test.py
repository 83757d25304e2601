#!/usr/bin/python3
"""vaxoctl run's listeners against clients that should not be able to
take them, flood its log or use it as an amplifier; real sockets on this
machine's loopback, where addresses of 127.0.0.0/8 stand in for other
hosts.

    network_guard_live_test.py VAXOCTL
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import network_attacks as attacks  # noqa: E402
import network_live_test as live  # noqa: E402

RT64 = "R" * 32 + "T" * 32


def unstuffed_frames(data):
    """The frames of a UECP byte stream, each as (site/encoder/sequence/length header, message)."""
    frames = []
    for raw in data.split(b"\xFF"):
        if not raw.startswith(b"\xFE"):
            continue
        body, k = bytearray(), 1
        while k < len(raw):
            if raw[k] == 0xFD:
                body.append(0xFD + raw[k + 1])
                k += 2
            else:
                body.append(raw[k])
                k += 1
        frames.append((body[3], bytes(body[4:-2]), body))
    return frames


def read_frames(connection, count):
    return unstuffed_frames(live.read_until(connection, lambda data: data.count(b"\xFF") >= count))


class NetworkGuard(unittest.TestCase):
    def start(self, *options, **kwargs):
        run = live.Running("--simulate", *options, **kwargs)
        self.addCleanup(run.close)
        return run

    def test_idle_clients_of_one_protocol_leave_the_other_its_places(self):
        run = self.start("--text-tcp", "127.0.0.1:0", "--uecp-tcp", "127.0.0.1:0")
        # Two hundred idle connections to the UECP port, from one address
        # and from many: they fill it and nothing else.
        idle = []
        try:
            for n in range(200):
                source = "127.0.2.1" if n < 100 else "127.0.3.%d" % (1 + n % 25)
                try:
                    idle.append(run.tcp("UECP TCP", source=source))
                except OSError:
                    pass
            time.sleep(0.3)
            # Eight text clients from the operator's address, four from each of
            # six others: all answered.
            sources = ["127.0.0.1"] * 8 + ["127.0.4.%d" % (1 + n // 4) for n in range(24)]
            clients = [run.tcp("text TCP", source=source) for source in sources]
            try:
                for client in clients:
                    client.sendall(b"PTY?\r\n")
                    self.assertEqual(live.lines(client, 1), ["PTY=0"])
            finally:
                for client in clients:
                    client.close()
            # Of one address only its share got in.
            with run.tcp("UECP TCP", source="127.0.2.1") as late:
                late.settimeout(5)
                self.assertEqual(late.recv(10), b"", "the ninth from one address is closed")
        finally:
            for connection in idle:
                connection.close()
        self.assertRegex(run.errors(), r"too many clients from one address: 8 at most")

    def test_a_client_writing_a_thousand_commands_at_once_is_answered_whole(self):
        run = self.start("--text-tcp", "127.0.0.1:0")
        with run.tcp("text TCP") as client:
            client.sendall(b"PTY?\r\n" * 1000 + b"PS?\r\n")
            replies = live.lines(client, 1001)
        self.assertEqual(replies[:1000], ["PTY=0"] * 1000)
        self.assertEqual(replies[1000], "PS=FM RADIO")

    def test_every_change_is_logged_with_its_origin_whatever_floods_the_log(self):
        run = self.start("--text-tcp", "127.0.0.1:0", "--text-udp", "127.0.0.1:0")
        with run.tcp("text TCP", source="127.0.0.2") as junk:
            junk.sendall(b"K\x1b[2J=1\r\nPS=OK\x00EVIL\r\n")
            self.assertEqual(live.lines(junk, 2), ["!", "-"])
        # 1,100 distinct junk keys, each from an address of its own.
        for n in range(1100):
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as junk:
                junk.settimeout(30)
                junk.bind(("127.1.%d.%d" % (n // 250, 1 + n % 250), 0))
                junk.sendto(b"K%d=1\r\n" % n, ("127.0.0.1", run.ports["text UDP"][0]))
                self.assertTrue(junk.recv(100).startswith(b"!"))
        with run.tcp("text TCP", source="127.0.0.3") as evil:
            evil.sendall(b"PS=EVILPS\r\n")
            self.assertEqual(live.lines(evil, 1), ["+"])
        run.wait_for(r'text 127\.0\.0\.3:\d+ "PS=EVILPS" changed PS')
        self.assertEqual(run.stop(), 0)
        errors = run.errors()
        self.assertTrue(re.search(r"\d+ refused from more than 1024 addresses within a minute, "
                                  r"not told one by one", errors), "the flood is told at the end")
        self.assertIn("K\\x1B[2J=1", errors, "control bytes are shown escaped")
        self.assertNotIn("\x1b", errors + run.output())
        self.assertIn("a NUL byte in the value", errors)

    def test_four_addresses_cannot_hold_every_place_of_a_listener(self):
        run = self.start("--text-tcp", "127.0.0.1:0", "--uecp-tcp", "127.0.0.1:0")
        uecp_ps = live.uecp([0x2C, 1]) + live.uecp([0x17, 3, 0x02, 0, 0])
        # A refusal ("! too many clients") is no answer.
        cases = {"text TCP": (b"PTY?\r\n", b"PS?\r\n",
                              lambda a: a.startswith(b"PS=") and a.endswith(b"\r\n")),
                 "UECP TCP": (live.uecp([0x2C, 1]), uecp_ps, lambda a: a.endswith(b"\xFF"))}
        for kind, (opening, request, complete) in cases.items():
            with self.subTest(kind):
                port = run.ports[kind][0]
                # Every place of the listener, 8 from each of four addresses,
                # each after one valid command, taken again as it is lost.
                holders = attacks.Holders(port, ["127.0.0.%d" % n for n in range(2, 6)], 8,
                                          opening, rate=3)
                try:
                    deadline = time.monotonic() + 10
                    while holders.opened < 32 and time.monotonic() < deadline:
                        time.sleep(0.1)
                    time.sleep(0.5)
                    times = []
                    for _ in range(40):
                        times.append(attacks.ask(port, request, complete, timeout=5))
                        time.sleep(0.1)
                finally:
                    holders.stop()
                answered = [t for t in times if t is not None and t < 1.0]
                self.assertGreaterEqual(len(answered), 36, (kind, times))
        self.assertRegex(run.errors(), r"idle connections to text TCP .* closed to make room")

    def test_no_file_of_the_settings_folder_is_read_or_written_through_a_link(self):
        outside = tempfile.mkdtemp(prefix="vaxo-outside-")
        self.addCleanup(shutil.rmtree, outside, True)
        names = ["vaxow.dat", "vaxow.ini", "vaxow.wear", "vaxow.uecp"]

        def plant(folder):
            for name in names:
                target = os.path.join(outside, name)
                with open(target, "w", encoding="ascii") as f:
                    f.write("stand-in for a file of another's\n")
                os.symlink(target, os.path.join(folder, name))

        run = self.start("--uecp-udp", "127.0.0.1:0", "--text-tcp", "127.0.0.1:0",
                         "--uecp-provision", "127.0.0.1", prepare=plant)
        with run.tcp("text TCP") as client:
            client.sendall(b"PS=THROUGH\r\n")
            self.assertEqual(live.lines(client, 1), ["+"])
        run.wait_for(r"ok bank 1")
        self.assertEqual(run.datagram("UECP UDP", live.uecp([0x2C, 2]) + live.uecp([0x23, 1, 0, 7])),
                         live.ack(0) + live.ack(9, 0), "a change that cannot be kept is refused")
        self.assertEqual(run.stop(), 0)
        errors = run.errors()
        for name in names:
            with open(os.path.join(outside, name), encoding="ascii") as f:
                self.assertEqual(f.read(), "stand-in for a file of another's\n", name)
        self.assertIn("Cannot open file %s/vaxow.dat" % run.folder, errors)
        self.assertRegex(errors, r"The wear ledger .*vaxow.wear could not be read .* it is kept "
                                 r"as .*vaxow.wear.kept-\d{8}T\d{6}Z")
        self.assertRegex(errors, r"vaxow.uecp: Cannot open file")
        self.assertRegex(errors, r"the addresses cannot be kept: Cannot create file")
        self.assertFalse(os.path.islink(os.path.join(run.folder, "vaxow.wear")))

        # The web page's passwords: neither read nor set through a link.
        target = os.path.join(outside, "vaxow.passwd")
        with open(target, "w", encoding="ascii") as f:
            f.write("operator stand-in\n")
        os.symlink(target, os.path.join(run.folder, "vaxow.passwd"))
        web = self.start("--web", "127.0.0.1:0", folder=run.folder, expect_start=False)
        self.assertNotEqual(web.process.wait(20), 0)
        self.assertIn("Cannot open file %s/vaxow.passwd" % run.folder, web.errors())
        passwd = subprocess.run([live.VAXOCTL, "passwd", "--file",
                                 os.path.join(run.folder, "vaxow.passwd")],
                                input="a new password\n", text=True, capture_output=True)
        self.assertEqual(passwd.returncode, 0, passwd.stderr)
        self.assertFalse(os.path.islink(os.path.join(run.folder, "vaxow.passwd")),
                         "the link is replaced by a file of the owner's own")
        with open(target, encoding="ascii") as f:
            self.assertEqual(f.read(), "operator stand-in\n")

    def test_udp_answers_no_more_than_the_request_justifies(self):
        run = self.start("--text-udp", "127.0.0.1:0", "--uecp-udp", "127.0.0.1:0")
        port = run.ports["text UDP"][0]
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
            client.settimeout(30)
            client.sendto(b"RT=" + RT64.encode() + b"\r\n", ("127.0.0.1", port))
            self.assertEqual(client.recv(100), b"+\r\n")
            for request in [b"RT?\r\n", b"PS?\r\nPTY?\r\nRT?\r\nRT2?\r\n", b"PS?\r\n"]:
                client.sendto(request, ("127.0.0.1", port))
                reply = client.recv(65536)
                self.assertLessEqual(len(reply), 3 * len(request), request)
            self.assertEqual(reply, b"PS=FM RADIO\r\n")
            client.sendto(b"RT?\r\n", ("127.0.0.1", port))
            self.assertEqual(client.recv(100), b"! use TCP\r\n")
            # Of many, the replies that fit, then what became of the rest.
            client.sendto(b"RT?\r\n" * 10, ("127.0.0.1", port))
            reply = client.recv(65536)
            self.assertLessEqual(len(reply), 150)
            self.assertEqual(reply, b"RT=" + RT64.encode() + b"\r\n" +
                             b"RT=" + RT64.encode() + b"\r\n! use TCP\r\n")
        uecp = run.ports["UECP UDP"][0]
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
            client.settimeout(30)
            client.sendto(live.uecp([0x2C, 1]), ("127.0.0.1", uecp))  # answers, no acks
            request = live.uecp([0x17, 3, 0x02, 0, 0] + [0x17, 3, 0x0A, 0, 0] * 4)
            client.sendto(request, ("127.0.0.1", uecp))
            reply = client.recv(65536)
            self.assertLessEqual(len(reply), 3 * len(request))
            for length, message, _ in unstuffed_frames(reply):
                self.assertEqual(length, len(message), "frames that fit go whole")

    def test_uecp_answers_beyond_one_message_go_in_valid_frames(self):
        run = self.start("--text-tcp", "127.0.0.1:0", "--uecp-tcp", "127.0.0.1:0")
        with run.tcp("text TCP") as text:
            text.sendall(b"RT=" + RT64.encode() + b"\r\n")
            self.assertEqual(live.lines(text, 1), ["+"])
        with run.tcp("UECP TCP") as frames:
            frames.sendall(live.uecp([0x2C, 1]) + live.uecp([0x17, 3, 0x0A, 0, 0] * 4))
            got = read_frames(frames, 2)
        self.assertEqual(len(got), 2)
        texts = b""
        for length, message, body in got:
            self.assertEqual(length, len(message), "the length byte is the message's")
            self.assertLessEqual(length, 255)
            self.assertEqual(live.crc16(bytes(body[:-2])), int.from_bytes(body[-2:], "big"))
            texts += message
        self.assertEqual(texts.count(RT64.encode()), 4)

    def test_many_udp_senders_do_not_wipe_a_conversation(self):
        run = self.start("--uecp-udp", "127.0.0.1:0")
        port = run.ports["UECP UDP"][0]
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
            client.settimeout(30)
            client.bind(("127.0.0.9", 0))
            client.sendto(live.uecp([0x2C, 2]), ("127.0.0.1", port))
            self.assertEqual(client.recv(100), live.ack(0))
            for n in range(300):
                with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as other:
                    other.settimeout(30)
                    other.bind(("127.2.%d.%d" % (n // 250, 1 + n % 250), 0))
                    other.sendto(live.uecp([0x2C, 0]), ("127.0.0.1", port))
                client.sendto(live.uecp([0x07, 0, 0, 5], sequence=n % 255 + 1),
                              ("127.0.0.1", port))
                self.assertEqual(client.recv(100), live.ack(0),
                                 "still in acknowledgement mode after %d others" % n)


if __name__ == "__main__":
    live.VAXOCTL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
