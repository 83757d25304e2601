#!/usr/bin/python3
"""Clients that try to take vaxoctl run --simulate's listeners, while
another address asks as a user would (real sockets on loopback, real
time):

  1. one address holding SLOW slow connections to each listener (the web
     page, text commands over TCP, UECP over TCP), opening new ones as the
     old are closed: the other address's requests answered, p50 and p99
     from connecting to the whole answer; the service's resident memory;
  2. four addresses holding every place of the text and of the UECP
     listener, each connection after one valid command, reconnecting:
     the user's connections answered within 1 s;
  3. eight addresses whose connections pipeline 6,000 requests each and
     read nothing: the signed-in operator's requests answered, and the
     tries a sign-in takes;
  4. eighty addresses guessing the password from the start: the tries the
     operator's first sign-in (from an address never seen) takes.

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
import network_attacks as attacks  # noqa: E402
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
    return attacks.ask(port, request, complete, source=USER)


def sign_in(port, password=PASSWORD, source=USER):
    """The status of one sign-in, and its session cookie."""
    body = b"password=" + password.encode()
    request = (b"POST /signin HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n"
               b"Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n\r\n"
               % len(body)) + body
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=20,
                                      source_address=(source, 0)) as connection:
            connection.sendall(request)
            answer = b""
            while b"\r\n\r\n" not in answer:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                answer += chunk
    except OSError:
        return None, ""
    status = int(answer.split(b" ")[1]) if answer.startswith(b"HTTP/1.1 ") else None
    cookie = re.search(rb"Set-Cookie: ([^;]+)", answer)
    return status, cookie.group(1).decode() if cookie else ""


def tries_to_sign_in(port):
    tries = []
    while len(tries) < 20 and 303 not in tries:
        tries.append(sign_in(port)[0])
    return len(tries) if 303 in tries else None


def held_places(ports):
    for kind, opening in [("text TCP", b"PTY?\r\n"), ("UECP TCP", live.uecp([0x2C, 1]))]:
        holders = attacks.Holders(ports[kind], ["127.0.0.%d" % n for n in range(2, 6)], 8, opening)
        time.sleep(4)
        request, complete = {
            "text TCP": (b"PS?\r\n", lambda a: a.startswith(b"PS=") and a.endswith(b"\n")),
            "UECP TCP": (live.uecp([0x2C, 1]) + live.uecp([0x17, 3, 0x02, 0, 0]),
                         lambda a: a.endswith(b"\xFF")),
        }[kind]
        times = []
        for _ in range(100):
            times.append(ask(ports[kind], request, complete))
            time.sleep(0.1)
        holders.stop()
        quick = [t for t in times if t is not None and t < 1.0]
        print("%-8s beside 4 addresses holding all 32 places: %d of %d answered within 1 s, "
              "p50 %.1f ms" % (kind.split()[0], len(quick), len(times),
                               1000 * percentile(quick, 0.5) if quick else -1))


def slow_readers(port):
    _, cookie = sign_in(port)
    readers = attacks.SlowReaders(port, ["127.0.0.%d" % n for n in range(2, 10)], 16,
                                  b"GET /signin HTTP/1.1\r\nHost: localhost\r\n\r\n")
    time.sleep(3)
    request = ("GET /api/state HTTP/1.1\r\nHost: localhost\r\nCookie: %s\r\n"
               "Connection: close\r\n\r\n" % cookie).encode()
    times = [ask(port, request, lambda a: a.rstrip().endswith(b"}")) for _ in range(100)]
    tries = tries_to_sign_in(port)
    readers.stop()
    answered = [t for t in times if t is not None]
    print("web      beside 8 addresses pipelining and reading nothing: %d of %d answered, "
          "p50 %.1f ms, p99 %.1f ms; a sign-in took %s tries" % (
              len(answered), len(times), 1000 * percentile(answered, 0.5) if answered else -1,
              1000 * percentile(answered, 0.99) if answered else -1, tries))


def guessers_from_the_start(vaxoctl):
    folder = tempfile.mkdtemp(prefix="vaxo-slow-bench-")
    process, ports = start(vaxoctl, folder)
    stopping = threading.Event()

    def guess(source):
        while not stopping.is_set():
            sign_in(ports["web http"], "wrong guess", source)

    threads = [threading.Thread(target=guess, args=("127.0.1.%d" % n,), daemon=True)
               for n in range(1, 81)]
    for thread in threads:
        thread.start()
    time.sleep(0.3)
    started = time.monotonic()
    tries = tries_to_sign_in(ports["web http"])
    took = time.monotonic() - started
    stopping.set()
    for thread in threads:
        thread.join()
    process.terminate()
    process.wait()
    shutil.rmtree(folder, ignore_errors=True)
    print("web      80 addresses guessing from the start: the operator, never seen before, "
          "in at try %s after %.2f s" % (tries, took))


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
            "text TCP": (b"PS?\r\n", lambda a: a.startswith(b"PS=") and a.endswith(b"\n")),
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
        held_places(ports)
        slow_readers(ports["web http"])
    finally:
        process.terminate()
        process.wait()
        shutil.rmtree(folder, ignore_errors=True)
    guessers_from_the_start(vaxoctl)


if __name__ == "__main__":
    main()
