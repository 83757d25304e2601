#!/usr/bin/python3
"""What watching the encoder and serving the metrics cost, against vaxoctl
run --simulate --metrics (real sockets on loopback, real time):

  1. idle, nothing asked: the wake-ups of each thread in 30 s (epoll_wait
     and futex returns, counted with strace) and the CPU time of a minute;
  2. 200 scrapes of /metrics while a client changes the radiotext twice a
     second (a send every 3 s): p50 and p99 from connecting to the whole
     answer.

    monitoring_bench.py VAXOCTL
"""
import collections
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time


def percentile(samples, share):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def start(vaxoctl, folder):
    runtime = os.path.join(folder, "runtime")
    os.mkdir(runtime, 0o700)
    program = os.path.join(folder, "vaxoctl")
    shutil.copy(vaxoctl, program)
    out = os.path.join(folder, "out.txt")
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VAXO_INSTANCE="monitor-bench-%d" % os.getpid())
    with open(out, "wb") as sink:
        process = subprocess.Popen([program, "run", "--simulate", "--metrics", "127.0.0.1:0",
                                    "--text-tcp", "127.0.0.1:0"], cwd=folder, stdout=sink,
                                   stderr=subprocess.DEVNULL, env=env)
    while True:
        with open(out, encoding="utf-8", errors="replace") as f:
            text = f.read()
        if "port LPT1" in text and "listening: metrics" in text:
            break
        time.sleep(0.05)
    metrics = int(re.search(r"listening: metrics http://\S+:(\d+)/metrics", text).group(1))
    commands = int(re.search(r"listening: text TCP \S+:(\d+)", text).group(1))
    return process, metrics, commands


def cpu_ticks(process):
    with open("/proc/%d/stat" % process.pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def idle_cost(process):
    trace = tempfile.mktemp(prefix="vaxo-strace-")
    tracer = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=epoll_wait,epoll_pwait,futex",
                               "-o", trace, "-p", str(process.pid)],
                              stderr=subprocess.DEVNULL)
    time.sleep(30)
    tracer.terminate()
    tracer.wait()
    wakes = collections.Counter()
    with open(trace) as f:
        for line in f:
            if "resumed" in line or "= " in line and "<unfinished" not in line:
                wakes[line.split()[0]] += 1
    os.remove(trace)
    before = cpu_ticks(process)
    time.sleep(60)
    ticks = cpu_ticks(process) - before
    hertz = os.sysconf("SC_CLK_TCK")
    print("idle: wake-ups in 30 s by thread: %s; CPU %.0f ms in a minute" % (
        ", ".join(str(count) for _, count in wakes.most_common()), 1000.0 * ticks / hertz))


def scrape(port):
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        connection.sendall(b"GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n")
        answer = b""
        while True:
            chunk = connection.recv(65536)
            if not chunk:
                break
            answer += chunk
    assert answer.startswith(b"HTTP/1.1 200 "), answer[:40]
    return time.monotonic() - started


def scrapes_while_sending(metrics, commands):
    stopping = threading.Event()

    def change():
        with socket.create_connection(("127.0.0.1", commands), timeout=10) as client:
            n = 0
            while not stopping.is_set():
                n += 1
                client.sendall(b"RT=Changing text %d\r\n" % n)
                client.recv(100)
                time.sleep(0.5)

    changer = threading.Thread(target=change)
    changer.start()
    times = []
    for _ in range(200):
        times.append(scrape(metrics))
        time.sleep(0.05)
    stopping.set()
    changer.join()
    print("scrapes while sends run: p50 %.2f ms, p99 %.2f ms (200)" % (
        1000 * percentile(times, 0.5), 1000 * percentile(times, 0.99)))


def main():
    folder = tempfile.mkdtemp(prefix="vaxo-monitor-bench-")
    process, metrics, commands = start(os.path.abspath(sys.argv[1]), folder)
    try:
        time.sleep(3)
        idle_cost(process)
        scrapes_while_sending(metrics, commands)
    finally:
        process.terminate()
        process.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
