#!/usr/bin/python3
"""--allow on every listener, the web page included, tried from addresses
that are not loopback: in a network namespace of its own whose lo also
holds 192.0.2.1-3 (TEST-NET-1), vaxoctl run listens on 192.0.2.1 and
allows 192.0.2.2 alone.

    allow_list_live_test.py VAXOCTL
"""
import os
import socket
import ssl
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "web"))
import network_live_test as live  # noqa: E402
import web_live_test as web  # noqa: E402
import web_guard_live_test as guards  # noqa: E402

INSIDE = "VAXO_ALLOW_TEST_INSIDE"
SERVER, ALLOWED, OTHER = "192.0.2.1", "192.0.2.2", "192.0.2.3"


def answered_over_tcp(port, source):
    try:
        with socket.create_connection((SERVER, port), timeout=3,
                                      source_address=(source, 0)) as client:
            client.sendall(b"PS?\r\n")
            return client.recv(100) != b""
    except OSError:
        return False


def answered_over_udp(port, source):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
        client.bind((source, 0))
        client.settimeout(1)
        client.sendto(b"PS?\r\n", (SERVER, port))
        try:
            return client.recv(100) != b""
        except OSError:
            return False


def answered_over_https(port, certificate, source):
    context = ssl.create_default_context(cafile=certificate)
    context.check_hostname = False
    try:
        with socket.create_connection((SERVER, port), timeout=3,
                                      source_address=(source, 0)) as raw:
            with context.wrap_socket(raw) as client:
                client.sendall(b"GET /signin HTTP/1.1\r\nHost: %s\r\n\r\n" % SERVER.encode())
                return client.recv(100).startswith(b"HTTP/1.1 200 ")
    except OSError:
        return False


class AllowList(unittest.TestCase):
    def test_only_the_allowed_address_is_served_by_any_listener(self):
        folder = self.enterContext(web.TemporaryFolder())
        cert, key = guards.make_certificate(folder)
        run = web.WebRunning("--simulate", "--web", SERVER + ":0", "--web-cert", cert,
                             "--web-key", key, "--text-tcp", SERVER + ":0",
                             "--text-udp", SERVER + ":0", "--allow", ALLOWED + "/32", tls=cert)
        self.addCleanup(run.close)
        run.wait_for(r"port LPT1")
        time.sleep(0.2)
        ports = dict(live.re.findall(r"listening: (text TCP|text UDP) \S+:(\d+)", run.output()))
        tcp, udp = int(ports["text TCP"]), int(ports["text UDP"])

        self.assertTrue(answered_over_https(run.web_port, cert, ALLOWED))
        self.assertTrue(answered_over_tcp(tcp, ALLOWED))
        self.assertTrue(answered_over_udp(udp, ALLOWED))
        self.assertFalse(answered_over_https(run.web_port, cert, OTHER))
        self.assertFalse(answered_over_tcp(tcp, OTHER))
        self.assertFalse(answered_over_udp(udp, OTHER))
        for what in ["web connections", "connections", "datagrams"]:
            self.assertRegex(run.errors(), r"dropped 1 %s from addresses not allowed "
                             r"\(192\.0\.2\.3 the last\)" % what)


if __name__ == "__main__":
    if not os.environ.get(INSIDE) and not live.run_in_network_namespace(
            INSIDE, ["ip addr add %s/32 dev lo" % address for address in (SERVER, ALLOWED, OTHER)]):
        print("skipped: no network namespace can be made here (unshare -rn)")
        sys.exit(0)
    live.VAXOCTL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
