#!/usr/bin/python3
"""What watching the encoder and serving the metrics cost, against vaxoctl
run --simulate --metrics (real sockets on loopback, real time):

  1. idle, nothing asked: the wake-ups of each thread in 30 s (epoll_wait
     and futex returns, counted with strace) and the CPU time of a minute;
  2. 200 scrapes of /metrics while a client changes the radiotext twice a
     second (a send every 3 s): p50 and p99 from connecting to the whole
     answer;
  3. with --snmp, the same with the AgentX subagent attached to an snmpd
     of the bench's own (the subagent's select counted too), and 200 SNMP
     GETs of vaxoEncoderUp.0 through snmpd while the sends run.

    monitoring_bench.py VAXOCTL [--snmp]
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


ENCODER_UP = (1, 3, 6, 1, 4, 1, 8072, 9999, 9999, 62106, 1, 1, 0)


def ber(tag, body):
    size = len(body)
    length = bytes([size]) if size < 128 else bytes([0x81, size])
    return bytes([tag]) + length + body


def ber_integer(value):
    return ber(0x02, value.to_bytes(value.bit_length() // 8 + 1, "big", signed=True))


def snmp_get_request(oid, request_id):
    """An SNMPv2c GetRequest for one OID, community "public" (RFC 3416, BER)."""
    arcs = bytes([40 * oid[0] + oid[1]])
    for arc in oid[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.insert(0, 0x80 | (arc & 0x7F))
            arc >>= 7
        arcs += bytes(chunk)
    binding = ber(0x30, ber(0x06, arcs) + b"\x05\x00")
    pdu = ber(0xA0, ber_integer(request_id) + ber_integer(0) + ber_integer(0) +
              ber(0x30, binding))
    return ber(0x30, ber_integer(1) + ber(0x04, b"public") + pdu)


def start_snmpd(folder):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    agentx = os.path.join(folder, "agentx")
    config = os.path.join(folder, "snmpd.conf")
    with open(config, "w", encoding="ascii") as f:
        f.write("agentaddress udp:127.0.0.1:%d\nmaster agentx\nagentXSocket unix:%s\n"
                "agentXPerms 0700 0700\nrocommunity public 127.0.0.1\n" % (port, agentx))
    persist = os.path.join(folder, "persist")
    os.mkdir(persist)
    snmpd = subprocess.Popen(["snmpd", "-f", "-Lf", os.path.join(folder, "snmpd.log"), "-C",
                              "-c", config], cwd=folder, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL,
                             env=dict(os.environ, SNMP_PERSISTENT_DIR=persist, MIBS=""))
    return snmpd, port, agentx


def start(vaxoctl, folder, agentx=None):
    runtime = os.path.join(folder, "runtime")
    os.mkdir(runtime, 0o700)
    program = os.path.join(folder, "vaxoctl")
    shutil.copy(vaxoctl, program)
    out = os.path.join(folder, "out.txt")
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VAXO_INSTANCE="monitor-bench-%d" % os.getpid())
    with open(out, "wb") as sink:
        options = ["--snmp-agentx", agentx] if agentx else []
        process = subprocess.Popen([program, "run", "--simulate", "--metrics", "127.0.0.1:0",
                                    "--text-tcp", "127.0.0.1:0", *options], cwd=folder,
                                   stdout=sink, stderr=subprocess.STDOUT, env=env)
    while True:
        with open(out, encoding="utf-8", errors="replace") as f:
            text = f.read()
        if "port LPT1" in text and "listening: metrics" in text and (
                not agentx or "subagent connected" in text):
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
    tracer = subprocess.Popen(["strace", "-f", "-qq", "-e",
                               "trace=epoll_wait,epoll_pwait,futex,pselect6,select",
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


def snmp_get(port, request_id):
    started = time.monotonic()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
        client.settimeout(5)
        client.sendto(snmp_get_request(ENCODER_UP, request_id), ("127.0.0.1", port))
        answer = client.recv(65536)
    assert answer[0] == 0x30 and b"\xa2" in answer, answer
    return time.monotonic() - started


def while_sending(commands, measure, what):
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
    for n in range(200):
        times.append(measure(n))
        time.sleep(0.05)
    stopping.set()
    changer.join()
    print("%s while sends run: p50 %.2f ms, p99 %.2f ms (200)" % (
        what, 1000 * percentile(times, 0.5), 1000 * percentile(times, 0.99)))


def main():
    folder = tempfile.mkdtemp(prefix="vaxo-monitor-bench-")
    snmpd = None
    if "--snmp" in sys.argv[2:]:
        snmpd, snmp_port, agentx = start_snmpd(folder)
        time.sleep(1)
    process, metrics, commands = start(os.path.abspath(sys.argv[1]), folder,
                                       agentx if snmpd else None)
    try:
        time.sleep(3)
        idle_cost(process)
        while_sending(commands, lambda n: scrape(metrics), "scrapes")
        if snmpd:
            while_sending(commands, lambda n: snmp_get(snmp_port, n + 1), "SNMP GETs")
    finally:
        process.terminate()
        process.wait()
        if snmpd:
            snmpd.terminate()
            snmpd.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
