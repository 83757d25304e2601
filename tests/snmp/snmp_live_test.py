#!/usr/bin/python3
"""VAXO-MIB as a station's SNMP manager sees it: vaxoctl run --simulate
--snmp-agentx attached to Debian's snmpd, read with snmpwalk and snmpget,
its notifications taken by snmptrapd; both daemons started here on loopback
ports, in a folder of the test's own. And the MIB: smilint -l 3 finds
nothing, and it declares every object and notification the agent serves.

    snmp_live_test.py VAXOCTL
"""
import math
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "netcontrol"))
import network_live_test as net  # noqa: E402

MIB = os.path.join(HERE, "..", "..", "snmp", "mibs", "VAXO-MIB.txt")
SMIPATH = os.path.join(HERE, "smi") + ":/usr/share/snmp/mibs"
ROOT = "1.3.6.1.4.1.8072.9999.9999.62106"
TRAP_OID = "1.3.6.1.6.3.1.1.4.1.0"
DAEMONS = all(shutil.which(tool) for tool in ("snmpd", "snmptrapd", "snmpwalk", "snmpget"))


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def until(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    return None


class Snmp:
    """snmpd as the master agent (AgentX on a socket in `folder`) and
    snmptrapd as its trap sink, each on a free loopback port."""

    def __init__(self, folder):
        self.folder, self.processes = folder, []
        self.socket = os.path.join(folder, "agentx")
        self.port, trap_port = free_udp_port(), free_udp_port()
        self.traps = os.path.join(folder, "traps.log")
        persist = os.path.join(folder, "persist")
        os.makedirs(persist, exist_ok=True)
        self.env = dict(os.environ, SNMP_PERSISTENT_DIR=persist, MIBS="", MIBDIRS="")
        self.write("snmptrapd.conf", "disableAuthorization yes\n")
        self.write("snmpd.conf",
                   "agentaddress udp:127.0.0.1:%d\nmaster agentx\nagentXSocket unix:%s\n"
                   "agentXPerms 0700 0700\nrocommunity public 127.0.0.1\n"
                   "trap2sink 127.0.0.1:%d public\n" % (self.port, self.socket, trap_port))
        self.start("snmptrapd", "-f", "-On", "-Lf", self.traps, "-C", "-c",
                   os.path.join(folder, "snmptrapd.conf"), "udp:127.0.0.1:%d" % trap_port)

    def write(self, name, text):
        with open(os.path.join(self.folder, name), "w", encoding="ascii") as f:
            f.write(text)

    def start(self, *command):
        self.processes.append(subprocess.Popen(
            command, cwd=self.folder, env=self.env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL))

    def start_master(self):
        self.start("snmpd", "-f", "-Lf", os.path.join(self.folder, "snmpd.log"), "-C", "-c",
                   os.path.join(self.folder, "snmpd.conf"))
        if not until(lambda: self.get("1.3.6.1.2.1.1.3.0"), 30):
            raise AssertionError("snmpd does not answer")

    def tool(self, name, *oids):
        result = subprocess.run([name, "-v2c", "-c", "public", "-On", "-Oq", "-Ot", "-Oe",
                                 "-r", "1", "-t", "2", "127.0.0.1:%d" % self.port, *oids],
                                capture_output=True, text=True, env=self.env, timeout=30)
        values = {}
        for line in result.stdout.splitlines():
            oid, _, value = line.partition(" ")
            values[oid.lstrip(".")] = value.strip('"')
        return values

    def get(self, *oids):
        return self.tool("snmpget", *oids)

    def walk(self, oid=ROOT):
        return self.tool("snmpwalk", oid)

    def notifications(self):
        """Each received notification of ours: (name, alarm) as the log has them."""
        try:
            with open(self.traps, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except FileNotFoundError:
            return []
        kinds = {ROOT + ".0.1": "raised", ROOT + ".0.2": "cleared"}
        found = []
        for trap, alarm in re.findall(
                r"\.%s = OID: \.(%s\.0\.\d+).*?\.%s\.2\.1\.0 = STRING: \"([^\"]*)\""
                % (re.escape(TRAP_OID), re.escape(ROOT), re.escape(ROOT)), text):
            found.append((kinds.get(trap, trap), alarm))
        return found

    def close(self):
        for process in self.processes:
            process.terminate()
        for process in self.processes:
            process.wait(10)


def mib_identifiers():
    """{OID: (name, kind)} of every node VAXO-MIB declares."""
    result = subprocess.run(["smidump", "-f", "identifiers", MIB], capture_output=True,
                            text=True, env=dict(os.environ, SMIPATH=SMIPATH), check=True)
    nodes = {}
    for line in result.stdout.splitlines():
        fields = line.split()
        if len(fields) == 4 and fields[0] == "VAXO-MIB":
            nodes[fields[3]] = (fields[1], fields[2])
    return nodes


def scrape(port):
    with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=10) as response:
        return net.metric_values(response.read().decode())


def expected_from_metrics(metrics, walked):
    """What the walk must read, from a scrape of /metrics."""
    def known(value, scale=1):
        return -1 if math.isnan(value) else math.floor(value * scale)

    expected = {
        ROOT + ".1.1.0": metrics["vaxo_encoder_up"],
        ROOT + ".1.2.0": metrics["vaxo_sends_total{result=ok}"],
        ROOT + ".1.3.0": metrics["vaxo_sends_total{result=failed}"],
        ROOT + ".1.4.0": max(known(metrics["vaxo_last_send_timestamp_seconds"]), 0),
        ROOT + ".1.5.0": metrics["vaxo_send_failures_in_row"],
        ROOT + ".1.6.0": metrics["vaxo_sends_held"],
        ROOT + ".1.7.0": known(metrics["vaxo_pending_fields"]),
        ROOT + ".1.8.0": metrics["vaxo_page_writes_total"],
        ROOT + ".1.9.0": known(metrics["vaxo_wear_years_left"], 100),
        ROOT + ".1.10.0": metrics["vaxo_alarms_active"],
    }
    for oid, name in walked.items():
        row = oid.rsplit(".", 1)[1]
        if oid.startswith(ROOT + ".1.12.1.2."):
            expected[oid] = name
            expected[ROOT + ".1.12.1.3." + row] = metrics["vaxo_alarm_active{alarm=%s}" % name]
        elif oid.startswith(ROOT + ".1.11.1.2."):
            expected[oid] = name
    return {oid: str(int(value)) if isinstance(value, float) else str(value)
            for oid, value in expected.items()}


@unittest.skipUnless(DAEMONS, "snmpd, snmptrapd or the snmp tools are missing")
class SnmpLive(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="vaxo-snmp-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        self.snmp = Snmp(self.folder)
        self.addCleanup(self.snmp.close)

    def start(self, *options, **more):
        run = net.Running(*options, **more)
        self.addCleanup(run.close)
        return run

    @unittest.skipIf(net.text_string_to_metric_families is None,
                     "python3-prometheus-client is missing")
    def test_the_walk_reads_what_metrics_say_and_each_raise_and_clear_is_a_notification(self):
        def feeds(folder):
            with open(os.path.join(folder, "st.rds"), "w", encoding="ascii") as f:
                f.write("CLEAR\r\nRTFF=1\r\nRTSF=rt.txt\r\nPS=SNMP FM\r\n")
            with open(os.path.join(folder, "rt.txt"), "w", encoding="ascii") as f:
                f.write("Now playing\n")

        # The program first, the master after it: the subagent attaches when it can.
        run = self.start("--simulate=healthy,absent@15,healthy@40", "--metrics", "127.0.0.1:0",
                         "--snmp-agentx", "unix:" + self.snmp.socket, "st.rds", prepare=feeds)
        begun = time.monotonic()
        self.snmp.start_master()
        run.wait_for(r"snmp: .*AgentX subagent connected", seconds=30, told=True)
        port = int(re.search(r"listening: metrics http://127.0.0.1:(\d+)/metrics",
                             run.output()).group(1))

        def same():
            walked = self.snmp.walk()
            expected = expected_from_metrics(scrape(port), walked)
            ages = {oid: value for oid, value in walked.items()
                    if oid.startswith(ROOT + ".1.11.1.3.")}
            steady = {oid: value for oid, value in walked.items() if oid not in ages}
            return (steady == expected and len(ages) == 1, steady, expected, ages)

        matched = until(lambda: same()[0], 20)
        _, steady, expected, ages = same()
        self.assertTrue(matched, "walk %r\nmetrics %r" % (steady, expected))
        self.assertEqual(steady[ROOT + ".1.1.0"], "1")
        self.assertEqual(steady[ROOT + ".1.11.1.2.1"], "radiotext")
        self.assertGreaterEqual(int(next(iter(ages.values()))), 0, "the radiotext file was read")

        up = ROOT + ".1.1.0"
        self.assertTrue(until(lambda: self.snmp.get(up).get(up) == "0", 60),
                        "the encoder told gone")
        self.assertLess(time.monotonic() - begun, 15 + 15 + 10)
        self.assertTrue(until(lambda: ("raised", "encoder_not_answering")
                              in self.snmp.notifications(), 60), self.snmp.notifications())
        self.assertTrue(until(lambda: ("cleared", "encoder_not_answering")
                              in self.snmp.notifications(), 90), self.snmp.notifications())
        self.assertEqual(self.snmp.get(up).get(up), "1")
        ours = [n for n in self.snmp.notifications() if n[1] == "encoder_not_answering"]
        self.assertEqual(ours, [("raised", "encoder_not_answering"),
                                ("cleared", "encoder_not_answering")], "once each way")
        self.assertEqual(run.stop(), 0)

    def test_unknown_objects_are_not_there_and_a_walk_beyond_ends(self):
        run = self.start("--simulate", "--snmp-agentx", self.snmp.socket)
        self.snmp.start_master()
        run.wait_for(r"snmp: .*AgentX subagent connected", seconds=30, told=True)
        # Attached and idle, the subagent waits for the master: it never spins.
        before = cpu_seconds(run.process.pid)
        time.sleep(5)
        self.assertLess(cpu_seconds(run.process.pid) - before, 1.0, "CPU in 5 s idle")
        unknown = [ROOT + ".1.99.0", ROOT + ".1.1.1", ROOT + ".1.12.1.3.999", ROOT + ".7"]
        answers = self.snmp.get(*unknown)
        self.assertEqual(set(answers), set(unknown))
        self.assertTrue(all(value.startswith("No Such") for value in answers.values()), answers)
        # From the playpen, past everything of ours: the walk ends.
        walked = self.snmp.walk("1.3.6.1.4.1.8072.9999")
        self.assertIn(ROOT + ".1.1.0", walked)
        self.assertTrue(all(oid.startswith(ROOT + ".1.") for oid in walked), walked.keys())
        bulk = self.snmp.tool("snmpbulkwalk", ROOT)
        self.assertEqual(bulk.keys(), self.snmp.walk().keys(), "GETBULK meets what GETNEXT meets")
        self.assertEqual(run.stop(), 0)

    def test_a_socket_beyond_this_machine_or_not_a_socket_is_refused(self):
        for socket_name, why in (("tcp:192.0.2.1:705", "no authentication"),
                                 ("tcp:127.0.0.1", "HOST:PORT"),
                                 ("agentx", "not a socket path")):
            result = subprocess.run([net.VAXOCTL, "run", "--simulate", "--snmp-agentx",
                                     socket_name], capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 2, result.stderr)
            self.assertIn(why, result.stderr)


class Mib(unittest.TestCase):
    @unittest.skipUnless(shutil.which("smilint"), "smitools is missing")
    def test_smilint_at_level_3_finds_nothing(self):
        result = subprocess.run(["smilint", "-l", "3", "-s", MIB], capture_output=True,
                                text=True, env=dict(os.environ, SMIPATH=SMIPATH))
        self.assertEqual(result.stdout + result.stderr, "")

    @unittest.skipUnless(shutil.which("smidump") and DAEMONS, "smitools or snmpd is missing")
    def test_the_mib_declares_every_object_the_agent_serves(self):
        nodes = mib_identifiers()
        self.assertEqual(nodes[ROOT + ".0.1"], ("vaxoAlarmRaised", "notification"))
        self.assertEqual(nodes[ROOT + ".0.2"], ("vaxoAlarmCleared", "notification"))
        for arc in range(1, 5):
            self.assertEqual(nodes[ROOT + ".2.%d" % arc][1], "scalar", "a notification's object")
        folder = tempfile.mkdtemp(prefix="vaxo-snmp-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        snmp = Snmp(folder)
        self.addCleanup(snmp.close)
        run = net.Running("--simulate", "--snmp-agentx", snmp.socket)
        self.addCleanup(run.close)
        snmp.start_master()
        run.wait_for(r"snmp: .*AgentX subagent connected", seconds=30, told=True)
        walked = snmp.walk()
        self.assertGreater(len(walked), 20)
        for oid in walked:
            node, instance = oid.rsplit(".", 1)
            name, kind = nodes.get(node, ("?", "?"))
            self.assertIn(kind, ("scalar", "column"), oid)
            self.assertEqual(instance == "0", kind == "scalar", "%s (%s)" % (oid, name))


if __name__ == "__main__":
    net.VAXOCTL = os.path.abspath(sys.argv.pop(1))
    net.RUN_PREFIX = []
    unittest.main(verbosity=2)
