#!/usr/bin/python3
"""The network front end under load, against vaxoctl run with a simulated
encoder (real sockets on loopback, real time):

  1. reply time of a text command while sends run, p50 and p99;
  2. from the last command of a burst to its send confirmed, p50;
  3. 1,000 commands a second on one TCP connection for SECONDS with 31 idle
     clients beside it: every command answered, the resident memory over
     time, the sends made (one at a time, changes meanwhile make one more).

    network_bench.py VAXOCTL [SECONDS]        (60 s by default)
"""
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time


def percentile(samples, share):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


class Program:
    def __init__(self, vaxoctl):
        self.folder = tempfile.mkdtemp(prefix="vaxo-bench-")
        runtime = os.path.join(self.folder, "runtime")
        os.mkdir(runtime, 0o700)
        program = os.path.join(self.folder, "vaxoctl")
        shutil.copy(vaxoctl, program)
        self.out = os.path.join(self.folder, "out.txt")
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VAXO_INSTANCE="bench-%d" % os.getpid())
        with open(self.out, "wb") as out:
            self.process = subprocess.Popen(
                [program, "run", "--simulate", "--text-tcp", "127.0.0.1:0"], cwd=self.folder,
                stdout=out, stderr=subprocess.DEVNULL, env=env)
        while "listening" not in self.output():
            time.sleep(0.05)
        self.port = int(re.search(r"listening: text TCP \S+:(\d+)", self.output()).group(1))

    def output(self):
        with open(self.out, encoding="utf-8", errors="replace") as f:
            return f.read()

    def sends(self):
        return len(re.findall(r" ok bank ", self.output()))

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))

    def connect(self):
        connection = socket.create_connection(("127.0.0.1", self.port))
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return connection

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(20)
        shutil.rmtree(self.folder, ignore_errors=True)


def ask(connection, line):
    connection.sendall(line + b"\r\n")
    data = b""
    while not data.endswith(b"\r\n"):
        data += connection.recv(4096)
    return data


def reply_times(program, count=2000):
    """Each command changes the radiotext, so that sends follow one another."""
    connection = program.connect()
    times = []
    for n in range(count):
        start = time.perf_counter()
        ask(connection, b"TEXT=Reply time %d" % n)
        times.append((time.perf_counter() - start) * 1000)
        time.sleep(0.002)
    connection.close()
    return times


def burst_to_send(program, bursts=20):
    connection = program.connect()
    delays = []
    for n in range(bursts):
        time.sleep(1.0)  # the sends before have ended
        title = b"Burst %d" % n
        for line in (b"PTY=%d" % (n % 30), b"PS=BURST%d" % (n % 10), b"TEXT=" + title):
            ask(connection, line)
        last = time.perf_counter()
        pattern = 'ok bank 1 RT="%s"' % title.decode()
        while pattern not in program.output():
            time.sleep(0.002)
        delays.append((time.perf_counter() - last) * 1000)
    connection.close()
    return delays


def load(program, seconds, rate=1000):
    idle = [program.connect() for _ in range(31)]
    connection = program.connect()
    answered = [0]

    def read_replies():
        data = b""
        while True:
            piece = connection.recv(65536)
            if not piece:
                return
            answered[0] += piece.count(b"\r\n")

    reader = threading.Thread(target=read_replies, daemon=True)
    reader.start()
    memory = [program.rss_kib()]
    sends_before = program.sends()
    start = time.perf_counter()
    sent = 0
    next_sample = start + 5
    while time.perf_counter() - start < seconds:
        due = int((time.perf_counter() - start) * rate)
        batch = b"".join(
            (b"TEXT=Load %d\r\n" % n if n % 4 == 0 else b"PS?\r\n") for n in range(sent, due))
        if batch:
            connection.sendall(batch)
            sent = due
        if time.perf_counter() >= next_sample:
            memory.append(program.rss_kib())
            next_sample += 5
        time.sleep(0.001)
    deadline = time.perf_counter() + 10
    while answered[0] < sent and time.perf_counter() < deadline:
        time.sleep(0.01)
    time.sleep(1.5)
    sends = program.sends() - sends_before
    connection.close()
    for other in idle:
        other.close()
    return sent, answered[0], memory, sends


def main():
    vaxoctl = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    program = Program(vaxoctl)
    try:
        times = reply_times(program)
        print("reply while sends run: p50 %.3f ms, p99 %.3f ms, max %.3f ms (%d commands, %d sends)"
              % (percentile(times, 0.5), percentile(times, 0.99), max(times), len(times),
                 program.sends()))
        delays = burst_to_send(program)
        print("last command of a burst to its send confirmed: p50 %.0f ms, max %.0f ms (%d bursts)"
              % (statistics.median(delays), max(delays), len(delays)))
        sent, answered, memory, sends = load(program, seconds)
        print("load: %d commands in %.0f s on one connection, 31 idle beside it: %d answered"
              % (sent, seconds, answered))
        print("resident memory every 5 s (KiB): %s" % " ".join(str(m) for m in memory))
        print("sends meanwhile: %d, one every %.2f s" % (sends, seconds / max(sends, 1)))
    finally:
        program.close()


if __name__ == "__main__":
    main()
