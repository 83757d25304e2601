#!/usr/bin/python3
"""One address holding SLOW slow connections to each listener (the web
page, text commands over TCP, UECP over TCP), opening new ones as the old
are closed, while another address asks as a user would, against vaxoctl
run --simulate (real sockets on loopback, real time):

  1. the other address's requests: the share answered, and p50, p99 from
     connecting to the whole answer (a sign-in page; "PS?"; a UECP
     request (MEC 0x17) for the PS);
  2. the service's resident memory before and while the slow connections
     are held.

    slow_clients_bench.py VAXOCTL [SLOW] [REQUESTS]     (200 slow, 300 requests)
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "netcontrol"))
import network_live_test as live  # noqa: E402  (UECP framing)

PASSWORD = "bench-password"
ATTACKER, USER = "127.0.0.2", "127.0.0.1"


def percentile(samples, share):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def start(vaxoctl, folder):
    runtime = os.path.join(folder, "runtime")
    os.mkdir(runtime, 0o700)
    program = os.path.join(folder, "vaxoctl")
    shutil.copy(vaxoctl, program)
    subprocess.run([program, "passwd", "--file", os.path.join(folder, "vaxow.passwd")],
                   input=PASSWORD + "\n", text=True, check=True, stdout=subprocess.DEVNULL)
    out = os.path.join(folder, "out.txt")
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VAXO_INSTANCE="slow-bench-%d" % os.getpid())
    with open(out, "wb") as sink:
        process = subprocess.Popen(
            [program, "run", "--simulate", "--web", "127.0.0.1:0", "--text-tcp", "127.0.0.1:0",
             "--uecp-tcp", "127.0.0.1:0"], cwd=folder, stdout=sink, stderr=subprocess.DEVNULL,
            env=env)
    while True:
        with open(out, encoding="utf-8", errors="replace") as f:
            text = f.read()
        if "port LPT1" in text:
            break
        time.sleep(0.05)
    ports = {kind: int(port) for kind, port in
             re.findall(r"listening: (text TCP|UECP TCP) \S+:(\d+)", text)}
    ports["web http"] = int(re.search(r"listening: web http://\S+:(\d+)/", text).group(1))
    return process, ports


def rss_kib(process):
    with open("/proc/%d/status" % process.pid) as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))


def hold_slow(port, count, stopping, opening):
    held = []
    while not stopping.is_set():
        while len(held) < count:
            try:
                connection = socket.create_connection(("127.0.0.1", port), timeout=2,
                                                      source_address=(ATTACKER, 0))
                connection.sendall(opening)
                held.append(connection)
            except OSError:
                break
        for connection in list(held):
            try:
                connection.sendall(b"X" if opening.startswith(b"GET") else b"")
                connection.setblocking(False)
                if connection.recv(100) == b"":
                    raise OSError("closed")
            except BlockingIOError:
                pass
            except OSError:
                connection.close()
                held.remove(connection)
        time.sleep(0.2)
    for connection in held:
        connection.close()


def ask(port, request, complete):
    started = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=10,
                                      source_address=(USER, 0)) as connection:
            connection.sendall(request)
            answer = b""
            while not complete(answer):
                chunk = connection.recv(65536)
                if not chunk:
                    return None
                answer += chunk
    except OSError:
        return None
    return time.monotonic() - started


def main():
    vaxoctl = os.path.abspath(sys.argv[1])
    slow = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    requests = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    folder = tempfile.mkdtemp(prefix="vaxo-slow-bench-")
    process, ports = start(vaxoctl, folder)
    try:
        before = rss_kib(process)
        stopping = threading.Event()
        openings = {"web http": b"GET /signin HTTP/1.1\r\n", "text TCP": b"P", "UECP TCP": b"\xFE"}
        holders = [threading.Thread(target=hold_slow, args=(ports[kind], slow, stopping, opening))
                   for kind, opening in openings.items()]
        for holder in holders:
            holder.start()
        time.sleep(2)
        holding = rss_kib(process)
        asks = {
            "web http": (b"GET /signin HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n",
                         lambda a: a.endswith(b"</html>\n")),
            "text TCP": (b"PS?\r\n", lambda a: a.endswith(b"\n")),
            "UECP TCP": (live.uecp([0x2C, 1]) + live.uecp([0x17, 3, 0x02, 0, 0]), lambda a: a.endswith(b"\xFF")),
        }
        for kind, (request, complete) in asks.items():
            times = [ask(ports[kind], request, complete) for _ in range(requests)]
            answered = [t for t in times if t is not None]
            print("%-8s beside %d slow: %d of %d answered, p50 %.1f ms, p99 %.1f ms" % (
                kind.split()[0], slow, len(answered), requests,
                1000 * percentile(answered, 0.5) if answered else -1,
                1000 * percentile(answered, 0.99) if answered else -1))
        stopping.set()
        for holder in holders:
            holder.join()
        print("RSS %.1f MB before, %.1f MB holding %d slow connections per listener" % (
            before / 1024, holding / 1024, slow))
    finally:
        process.terminate()
        process.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
