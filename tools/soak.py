#!/usr/bin/env python3
"""Invariant soak: the real programs under random load and injected faults.

    tools/soak.py --bin BIN --seconds N --seed S [--gateways K] [--no-cm108] [--slack SEC] [--keep]

BIN is a build's bin folder (relaydeck, relaydeck-cli, clientsim, Relaydeck_Link.so; an
ASan build works too). The soak runs clientsim with the plugin, one tools/vradio.py per
gateway port and relaydeck in a fresh home folder with K gateways (default 2). With K >= 2
the last gateway's port is a CM108 sound card's GPIO pins (`device=cm108:SOCKET`, the
chip a `vradio.py --cm108` stand-in that keeps its pins when relaydeck dies, wired as the
seed chooses: PTT on GPIO3 or GPIO4, squelch on volume-down or GPIO1); --no-cm108 keeps
every port a virtual serial port. After every end of relaydeck the soak does what the
systemd unit's ExecStopPost does: `relaydeck-cli unkey --home HOME`. It drives them at random
from the seed: TeamSpeak users join, leave, move, talk (overlapping), whisper, write chat
commands (#REGISTER, #VOLUME, #MUTE 1 n, #AWAY, #MOVE, unknown words) and poke; radio
squelches open and close; clientsim is killed and started again; relaydeck gets SIGTERM
or SIGKILL and is started again (with changed gateway settings now and then); a virtual
port vanishes (its radio goes away) and returns.

All through, a checker reads the radio lines and the client's calls and enforces:
  * a radio is keyed only while a TeamSpeak user talks, while a wave plays (its length
    read from the file) or within the release delay after either (plus --slack, default
    2.5 s, for a shared machine's scheduling), and never longer at a stretch than the
    radio-side limit (HF-TX-MAXTIME) plus one tick plus the slack;
  * TeamSpeak is keyed (the microphone path open) only while a squelch is open or within
    the delays after it closed (plus the slack), never longer than TS3-TX-MAXTIME;
  * within 1 s (plus the slack) of relaydeck's death every radio line and every
    microphone path it keyed is down (a CM108 line through the unkey), and the unkey
    neither fails nor dies; relaydeck starts again only once that is judged, since its
    start releases every line it opens;
  * no program dies unasked or prints a sanitizer report, relaydeck ends with exit code
    0 on SIGTERM, and a relaydeck that runs long enough grows neither threads, nor file
    descriptors, nor its RSS by more than 5 % after warm-up;
  * after every kill, main.cfg and the gateway files decode, the INI files read, and no
    registration in a gateway's .rem is ever lost.

It prints one summary line, e.g. "soak: 600 s seed 7 events 18234 violations 0 crashes 0",
and exits 1 on the first violation, printing the seed and the last 50 events. The same
seed gives the same sequence of actions (replay: run again with that seed).
"""

import argparse
import base64
import collections
import os
import queue
import random
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
SANITIZER = re.compile(r"ERROR: (Address|Leak|Thread|Memory)Sanitizer|runtime error:|WARNING: ThreadSanitizer")
MIC = re.compile(r"CALL setClientSelfVariableAsInt\((\d+), 10, ([01])\) = 0")
WAVE = re.compile(r'CALL playWaveFile\((\d+), "([^"]*)"\) = 0')
DISCONNECTED = re.compile(r"EVENT onConnectStatusChangeEvent\((\d+), 0,")
STATE = re.compile(r"INFO handler (\d+) status=(\d+) server=\S* own=(\d+) channel=(\d+)")
CHAT = ["#REGISTER", "#VOLUME 5", "#VOLUME -3", "#MUTE 1 3", "#MUTE 0", "#AWAY", "#MOVE", "#BACK", "#HELP",
        "#CALL", "#REST", "#FOO", "hello there", "#VOLUME", "#MUTE 1 n"]


class Violation(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def encode_settings(lines):
    return base64.b64encode("".join(l + "\r\n" for l in lines).encode("latin-1"))


def decode_settings(data):
    text = base64.b64decode(b"".join(data.split()), validate=True).decode("latin-1")
    return [l for l in re.split(r"\r\n|\r|\n", text) if l]


def wave_seconds(path):
    """Play length of a WAV file from its header (0 when unreadable)."""
    try:
        with open(path, "rb") as f:
            data = f.read(4096)
            size = os.fstat(f.fileno()).st_size
        if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
            return 0.0
        pos, rate = 12, 0
        while pos + 8 <= len(data):
            cid, clen = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
            if cid == b"fmt ":
                rate = struct.unpack("<I", data[pos + 16:pos + 20])[0]
            elif cid == b"data":
                return min(clen, size - pos - 8) / rate if rate else 0.0
            pos += 8 + clen + (clen & 1)
    except (OSError, struct.error):
        pass
    return 0.0


def read_ini_sections(path):
    sections = set()
    with open(path, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            line = raw.strip()
            if line.startswith("[") and "]" in line:
                sections.add(line[1:line.index("]")].strip().lower())
    return sections


def catches_signal(pid, sig, timeout):
    """True once the process has a handler for sig (SigCgt in /proc/PID/status)."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    if line.startswith("SigCgt:"):
                        if int(line.split()[1], 16) & (1 << (sig - 1)):
                            return True
        except OSError:
            return False
        time.sleep(0.02)
    return False


class Proc:
    """One program, its output lines time-stamped into the shared queue."""

    def __init__(self, soak, who, cmd, env=None, stdin=True, cwd=None):
        self.who = who
        self.cmd = cmd
        self.expected_exit = False
        self.p = subprocess.Popen(cmd, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, cwd=cwd,
                                  start_new_session=True)
        self.started = time.monotonic()
        self.tail = collections.deque(maxlen=15)
        threading.Thread(target=self._pump, args=(soak.lines,), daemon=True).start()

    def _pump(self, sink):
        for raw in iter(self.p.stdout.readline, b""):
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            self.tail.append(line)
            sink.put((time.monotonic(), self.who, line))
        sink.put((time.monotonic(), self.who, None))

    def send(self, text):
        try:
            self.p.stdin.write((text + "\n").encode())
            self.p.stdin.flush()
        except (BrokenPipeError, OSError, AttributeError):
            pass

    def alive(self):
        return self.p.poll() is None

    def kill(self, sig):
        self.expected_exit = True
        try:
            os.killpg(self.p.pid, sig)
        except ProcessLookupError:
            pass

    def wait(self, timeout):
        try:
            return self.p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill(signal.SIGKILL)
            self.p.wait()
            return None


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.bin = os.path.abspath(args.bin)
        self.home = tempfile.mkdtemp(prefix="rd-soak-")
        self.cfg = os.path.join(self.home, "config")
        self.tsdir = os.path.join(self.home, "ts3client")
        self.link_port = free_port()
        self.lines = queue.Queue()
        self.events = collections.deque(maxlen=50)
        self.event_count = 0
        self.violations = 0
        self.crashes = 0
        self.t0 = time.monotonic()
        self.gates = []
        for i in range(args.gateways):
            self.gates.append({"uid": "{" + str(uuid.UUID(int=self.rng.getrandbits(128))).upper() + "}",
                               "port": 7 + i, "sock": os.path.join(self.home, "vcom", f"COM{7 + i}.sock"),
                               "cm108": None})
        if args.gateways >= 2 and not args.no_cm108:
            # Its own generator, so the actions of a seed stay what they were without it.
            wiring = random.Random(f"cm108-{args.seed}").choice([("GPIO3", "VOLDN"), ("GPIO4", "GPIO1")])
            self.gates[-1]["cm108"] = wiring
        # Settings the checker needs; the largest values ever used count.
        self.rx_delay = 3          # TS3-RX-DELAY, ticks
        self.hf_max = 20           # HF-TX-MAXTIME, s
        self.ts_max = 20           # TS3-TX-MAXTIME, s
        self.ptt_delay = 3         # TS3-PTT-DELAY, ticks
        self.relaydeck = self.clientsim = None
        self.radios = {}
        self.pending = []          # (time, action) scheduled by earlier actions
        self.users = {}            # id -> {"channel", "talking", "whisper"}
        self.own_ids = set()       # the gateways' own client ids
        self.registered = {}       # gateway uid -> sections once seen in its .rem
        # Checker state.
        self.talking_until = 0.0   # a user talks (inf) or talked until then
        self.talkers = set()
        self.wave_until = 0.0
        self.radio_keyed = {}      # port -> since
        self.squelch_open = {}     # port -> since
        self.squelch_until = 0.0
        self.squelch_spans = collections.deque(maxlen=200)   # [opened, closed or None]
        self.mic_checks = []       # (time, handler) microphone openings still to judge
        self.mic_open = {}         # handler -> since
        self.death = None          # (time, what must be down) after relaydeck died
        self.rd_samples = []       # (age, rss kB, threads, fds) of the running relaydeck
        self.next_sample = 0.0

    # --- log --------------------------------------------------------------------------
    def now(self):
        return time.monotonic() - self.t0

    def event(self, who, text, count=True):
        self.events.append(f"{self.now():8.2f} [{who}] {text}")
        if self.args.verbose:
            print(self.events[-1], file=sys.stderr, flush=True)
        if count:
            self.event_count += 1

    def violation(self, text):
        self.violations += 1
        self.event("CHECK", "VIOLATION: " + text, count=False)
        raise Violation(text)

    # --- set-up -----------------------------------------------------------------------
    def gateway_lines(self, g, i):
        return [f"gateUID={g['uid']}", f"gateName=Soak {i + 1}", "gateAutorun=True", "gateExitDlg=False",
                "SPRACHE=en_US", "TS3-HOST=127.0.0.1:9987", f"TS3-NICK=Soak Gate {i + 1}", "TS3-TX-PIN=COM",
                f"COM-OUT-NUM={g['port']}", "COM-OUT-ON=True", "COM-OUT-PIN=RTS",
                f"COM-IN-NUM={g['port']}", "COM-IN-ON=True", "COM-IN-PIN=CTS",
                f"HF-ROGER-BEEP={self.rng.choice(['True', 'False'])}", f"TS3-RX-DELAY={self.rx_delay}",
                "HF-TX-MAX-ON=True", f"HF-TX-MAXTIME={self.hf_max}", "HF-TX-MAXRESET=3",
                "TS3-TX-MAX-ON=True", f"TS3-TX-MAXTIME={self.ts_max}", "TS3-TX-MAXRESET=3",
                f"TS3-PTT-DELAY={self.ptt_delay}", "REM-MOVE-ON=True", "REM-MUTE-ON=True"]

    def prepare(self):
        for d in (self.cfg, self.tsdir, os.path.join(self.home, "vcom"), os.path.join(self.home, "runtime")):
            os.makedirs(d, exist_ok=True)
        with open(os.path.join(self.cfg, "main.cfg"), "wb") as f:
            f.write(encode_settings(["appLang=en_US", f"LINK_PORT={self.link_port}", "appExitDlg=False",
                                     "LINK_EXIT=False", "HTTP_ACTIVE=False"]))
        with open(os.path.join(self.cfg, "comport.cfg"), "w", encoding="latin-1") as f:
            for g in self.gates:
                f.write(f"[COM{g['port']}]\r\nident={g['port']}\r\nactiv=1\r\nstatus=0\r\n")
                if g["cm108"]:
                    # The backend's defaults are RTS -> GPIO3 and CTS -> VOLDN; others are named.
                    ptt, squelch = g["cm108"]
                    f.write(f"device=cm108:{g['sock']}\r\n" + ("" if ptt == "GPIO3" else f"rts={ptt}\r\n") +
                            ("" if squelch == "VOLDN" else f"cts={squelch}\r\n"))
                    self.event("soak", f"COM{g['port']} is a CM108: PTT {ptt}, squelch {squelch}", count=False)
                else:
                    f.write(f"device=virtual:{g['sock']}\r\n")
        for i, g in enumerate(self.gates):
            with open(os.path.join(self.cfg, g["uid"] + ".rdk"), "wb") as f:
                f.write(encode_settings(self.gateway_lines(g, i)))
        with open(os.path.join(self.tsdir, "Relaydeck[LINK].ini"), "w") as f:
            f.write(f"[LINKSettings]\r\nPORT={self.link_port}\r\n")

    def change_settings(self):
        """A gateway's settings change between two runs of relaydeck (its file is edited)."""
        i = self.rng.randrange(len(self.gates))
        g = self.gates[i]
        path = os.path.join(self.cfg, g["uid"] + ".rdk")
        try:
            with open(path, "rb") as f:
                lines = decode_settings(f.read())
        except (OSError, ValueError):
            lines = self.gateway_lines(g, i)
        key, value = self.rng.choice([("HF-ROGER-BEEP", self.rng.choice(["True", "False"])),
                                      ("TS3-RX-DELAY", str(self.rng.randint(0, 8))),
                                      ("TS3-PTT-DELAY", str(self.rng.randint(0, 6))),
                                      ("HF-TX-MAXTIME", str(self.rng.randint(8, 20))),
                                      ("TS3-TX-MAXTIME", str(self.rng.randint(8, 20)))])
        lines = [l for l in lines if l.split("=", 1)[0].upper() != key] + [f"{key}={value}"]
        with open(path + ".soak", "wb") as f:
            f.write(encode_settings(lines))
        os.replace(path + ".soak", path)
        if key == "TS3-RX-DELAY":
            self.rx_delay = max(self.rx_delay, int(value))
        if key == "TS3-PTT-DELAY":
            self.ptt_delay = max(self.ptt_delay, int(value))
        self.event("soak", f"gateway {i + 1}: {key}={value}")

    def start_clientsim(self):
        self.clientsim = Proc(self, "ts", [os.path.join(self.bin, "clientsim"), "--plugin",
                                           os.path.join(self.bin, "Relaydeck_Link.so"), "--workdir", self.tsdir])
        for cmd in ("option connectdelay 20", 'server S1 127.0.0.1:9987 "Soak Server"',
                    "channel S1 1 Lobby default", 'channel S1 2 "Net Control" parent=1'):
            self.clientsim.send(cmd)
        self.users.clear()
        self.own_ids.clear()
        self.event("soak", "clientsim started")

    def start_relaydeck(self):
        env = dict(os.environ)
        env["RELAYDECK_DIRECTORY_URL"] = "http://127.0.0.1:9/"
        env["XDG_RUNTIME_DIR"] = os.path.join(self.home, "runtime")
        env["QT_QPA_PLATFORM"] = "offscreen"
        env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
        self.relaydeck = Proc(self, "rd", [os.path.join(self.bin, "relaydeck"), "--home", self.home], env=env,
                              stdin=False)
        self.rd_samples = []
        self.next_sample = time.monotonic() + 5
        self.event("soak", "relaydeck started")

    def start_radio(self, g):
        if g["cm108"]:
            where = ["--cm108", g["sock"], "--ptt", g["cm108"][0], "--squelch", g["cm108"][1]]
        else:
            where = ["--socket", g["sock"], "--squelch", "CTS"]
        self.radios[g["port"]] = Proc(self, f"COM{g['port']}",
                                      [sys.executable, os.path.join(HERE, "vradio.py")] + where + ["--every", "0"])

    def unkey(self):
        """What the service's ExecStopPost runs after every end of relaydeck."""
        cmd = [os.path.join(self.bin, "relaydeck-cli"), "unkey", "--home", self.home]
        try:
            r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=10)
        except subprocess.TimeoutExpired:
            self.violation("relaydeck-cli unkey did not end within 10 s")
        out = r.stdout.decode("utf-8", "replace")
        for line in out.splitlines():
            if SANITIZER.search(line):
                self.crashes += 1
                self.violation(f"sanitizer report from relaydeck-cli unkey: {line}")
            self.event("unkey", line)
        if r.returncode != 0:
            if r.returncode < 0:
                self.crashes += 1
            self.violation(f"relaydeck-cli unkey ended with {r.returncode}: {out.strip()}")

    # --- actions ----------------------------------------------------------------------
    def ts(self, text):
        self.event("act", text)
        self.clientsim.send(text)

    def user_action(self):
        r = self.rng.random()
        ids = sorted(self.users)
        if r < 0.12 and len(ids) < 6:
            uid = self.rng.choice([n for n in range(20, 30) if n not in self.users])
            ch = self.rng.choice([1, 1, 2])
            self.users[uid] = {"channel": ch, "talking": False}
            self.ts(f"join S1 {uid} User{uid} channel={ch} uid=soak{uid}+/=")
        elif not ids:
            return
        elif r < 0.17:
            uid = self.rng.choice(ids)
            if self.users[uid]["talking"]:
                return
            del self.users[uid]
            self.ts(f"leave S1 {uid} bye")
        elif r < 0.25:
            uid = self.rng.choice(ids)
            ch = 3 - self.users[uid]["channel"]
            self.users[uid]["channel"] = ch
            self.ts(f"move S1 {uid} {ch}")
        elif r < 0.60:
            uid = self.rng.choice(ids)
            if self.users[uid]["talking"]:
                return
            self.users[uid]["talking"] = True
            self.talkers.add(uid)
            self.talking_until = float("inf")
            self.ts(f"talk S1 {uid} start")
            self.pending.append((time.monotonic() + self.rng.uniform(0.2, 7.0), ("stop", uid)))
        elif r < 0.66 and self.own_ids:
            uid = self.rng.choice(ids)
            if self.users[uid]["talking"]:
                return
            to = self.rng.choice(sorted(self.own_ids))
            self.users[uid]["talking"] = True
            self.talkers.add(uid)
            self.talking_until = float("inf")
            self.ts(f"whisper S1 {uid} {to} start")
            self.pending.append((time.monotonic() + self.rng.uniform(0.2, 4.0), ("unwhisper", uid, to)))
        elif r < 0.88:
            uid = self.rng.choice(ids)
            text = self.rng.choice(CHAT)
            if self.own_ids and self.rng.random() < 0.7:
                self.ts(f'msg S1 {uid} private {self.rng.choice(sorted(self.own_ids))} "{text}"')
            else:
                self.ts(f'msg S1 {uid} channel "{text}"')
        elif self.own_ids:
            uid = self.rng.choice(ids)
            self.ts(f'poke S1 {uid} {self.rng.choice(sorted(self.own_ids))} "#AWAY"')

    def stop_talk(self, uid, command):
        self.talkers.discard(uid)
        if uid in self.users:
            self.users[uid]["talking"] = False
            if command and self.clientsim:
                self.ts(command)
        if not self.talkers:
            self.talking_until = time.monotonic()

    def radio_action(self):
        g = self.rng.choice(self.gates)
        radio = self.radios.get(g["port"])
        if radio and radio.alive():
            secs = round(self.rng.uniform(0.3, 8.0), 1)
            self.event("act", f"COM{g['port']} open {secs}")
            radio.send(f"open {secs}")

    def relaydeck_down(self, sig):
        rd = self.relaydeck
        if not rd or not rd.alive():
            return
        self.check_resources(final=True)
        if sig == signal.SIGTERM and not catches_signal(rd.p.pid, signal.SIGTERM, 10):
            # A program still being loaded cannot catch anything yet (nor has it opened
            # anything); once main runs, a termination signal waits for the ordered quit.
            self.crashes += 1
            self.violation("relaydeck did not catch SIGTERM within 10 s of its start")
            return
        self.event("act", "relaydeck " + ("SIGTERM" if sig == signal.SIGTERM else "SIGKILL"))
        rd.kill(sig)
        rc = rd.wait(30)
        died = time.monotonic()
        if sig == signal.SIGTERM and rc != 0:
            self.crashes += 1
            self.violation(f"relaydeck ended with {rc} on SIGTERM")
        self.unkey()
        # Everything it keyed must go down within 1 s.
        self.death = (died, set(self.radio_keyed), set(self.mic_open))
        self.relaydeck = None
        self.check_files()
        if self.rng.random() < 0.5:
            self.change_settings()
        self.pending.append((time.monotonic() + self.rng.uniform(1.0, 4.0), ("start_rd",)))

    def clientsim_down(self):
        if not self.clientsim or not self.clientsim.alive():
            return
        self.event("act", "clientsim SIGKILL")
        self.clientsim.kill(signal.SIGKILL)
        self.clientsim.wait(10)
        self.clientsim = None
        for uid in list(self.talkers):
            self.stop_talk(uid, "")
        self.mic_open.clear()     # the client and its microphone paths are gone
        self.users.clear()
        self.pending = [p for p in self.pending if p[1][0] not in ("stop", "unwhisper")]
        self.pending.append((time.monotonic() + self.rng.uniform(1.0, 4.0), ("start_ts",)))

    def radio_down(self):
        g = self.rng.choice(self.gates)
        radio = self.radios.get(g["port"])
        if not radio or not radio.alive():
            return
        self.event("act", f"COM{g['port']} vanishes")
        radio.kill(signal.SIGKILL)
        radio.wait(10)
        self.radio_keyed.pop(g["port"], None)
        self.close_squelch(g["port"], time.monotonic())
        self.pending.append((time.monotonic() + self.rng.uniform(1.0, 5.0), ("start_radio", g["port"])))

    def act(self):
        r = self.rng.random()
        if r < 0.70:
            if self.clientsim:
                self.user_action()
        elif r < 0.90:
            self.radio_action()
        elif r < 0.93:
            if self.clientsim:
                self.clientsim.send("state 1")
                for h in range(2, len(self.gates) + 3):
                    self.clientsim.send(f"state {h}")
        else:
            # Faults, each at most now and then.
            kind = self.rng.choice(["term", "kill", "ts", "radio"])
            since = time.monotonic() - self.last_fault.get(kind, 0)
            if since < self.args.fault_every:
                return
            self.last_fault[kind] = time.monotonic()
            if kind == "term":
                self.relaydeck_down(signal.SIGTERM)
            elif kind == "kill":
                self.relaydeck_down(signal.SIGKILL)
            elif kind == "ts":
                self.clientsim_down()
            else:
                self.radio_down()

    def run_pending(self):
        now = time.monotonic()
        due = [p for p in self.pending if p[0] <= now]
        self.pending = [p for p in self.pending if p[0] > now]
        for _, a in due:
            if a[0] == "stop":
                self.stop_talk(a[1], f"talk S1 {a[1]} stop")
            elif a[0] == "unwhisper":
                self.stop_talk(a[1], f"whisper S1 {a[1]} {a[2]} stop")
            elif a[0] == "start_rd":
                if self.death:
                    # Not before the death is judged: opening the ports again releases
                    # what the dead program left keyed and would hide a line that
                    # nothing else released (a CM108 pin without the unkey).
                    self.pending.append((self.death[0] + 1.0 + self.args.slack + 0.05, a))
                else:
                    self.start_relaydeck()
            elif a[0] == "start_ts":
                self.start_clientsim()
            elif a[0] == "start_radio":
                self.start_radio(next(g for g in self.gates if g["port"] == a[1]))

    # --- checker ----------------------------------------------------------------------
    def on_line(self, t, who, line):
        if line is None:
            return
        if SANITIZER.search(line):
            self.crashes += 1
            self.event(who, line, count=False)
            self.violation(f"sanitizer report from {who}: {line}")
        if who.startswith("COM"):
            port = int(who[3:])
            if "PTT ON" in line:
                self.radio_keyed.setdefault(port, t)
                self.event(who, "PTT ON")
            elif "PTT OFF" in line:
                self.radio_keyed.pop(port, None)
                self.event(who, "PTT OFF")
            elif "SQUELCH OPEN" in line:
                if port not in self.squelch_open:
                    self.squelch_spans.append([t, None, port])
                self.squelch_open.setdefault(port, t)
                self.event(who, "squelch open")
            elif "SQUELCH CLOSED" in line or "all lines down" in line:
                self.close_squelch(port, t)
                self.event(who, "squelch closed" if "SQUELCH" in line else "port closed")
        elif who == "ts":
            m = MIC.search(line)
            if m:
                h, off = int(m.group(1)), m.group(2) == "1"
                if off:
                    self.mic_open.pop(h, None)
                else:
                    self.mic_open.setdefault(h, t)
                self.event("ts", f"handler {h} microphone {'closed' if off else 'OPEN'}")
                if not off:
                    self.mic_checks.append((t, h))
                return
            m = WAVE.search(line)
            if m:
                length = wave_seconds(m.group(2))
                self.wave_until = max(self.wave_until, t + length)
                self.event("ts", f"handler {m.group(1)} plays {os.path.basename(m.group(2))} ({length:.2f} s)")
                return
            m = DISCONNECTED.search(line)
            if m:
                self.mic_open.pop(int(m.group(1)), None)
                return
            m = STATE.search(line)
            if m and m.group(2) == "4" and m.group(3) != "0":
                self.own_ids.add(int(m.group(3)))

    def close_squelch(self, port, t):
        if self.squelch_open.pop(port, None) is None:
            return
        self.squelch_until = t
        for span in self.squelch_spans:
            if span[2] == port and span[1] is None:
                span[1] = t

    def judge_mic_checks(self, now):
        """A microphone that opened at t needs a squelch open within the delays before t;
        the programs' outputs reach us through different pipes, so the squelch's line may
        arrive a little after the client's: judged once the slack has passed."""
        grace = self.ptt_delay * 0.1 + 0.1 + self.args.slack
        keep = []
        for t, h in self.mic_checks:
            if now < t + self.args.slack:
                keep.append((t, h))
                continue
            if not any(o <= t + self.args.slack and (c is None or c >= t - grace) for o, c, _ in self.squelch_spans):
                self.violation(f"TeamSpeak keyed on handler {h} with every squelch closed "
                               f"(last closed {t - self.squelch_until:.2f} s before)")
        self.mic_checks = keep

    def check(self):
        t = time.monotonic()
        self.judge_mic_checks(t)
        slack = self.args.slack
        release = self.rx_delay * 0.1 + 0.1 + slack
        for port, since in self.radio_keyed.items():
            if t - since > self.hf_max + 0.1 + slack:
                self.violation(f"COM{port} keyed for {t - since:.1f} s (limit {self.hf_max} s)")
            reason = self.talkers or t <= self.talking_until + release or t <= self.wave_until + release
            if not reason:
                self.violation(f"COM{port} keyed with nobody talking and no wave playing "
                               f"(last talk {t - self.talking_until:.2f} s ago, wave ended {t - self.wave_until:.2f} s ago)")
        for h, since in self.mic_open.items():
            if t - since > self.ts_max + 0.1 + slack:
                self.violation(f"TeamSpeak keyed on handler {h} for {t - since:.1f} s (limit {self.ts_max} s)")
            if not self.squelch_open and t > self.squelch_until + self.ptt_delay * 0.1 + 0.1 + slack and \
                    since < self.squelch_until:
                self.violation(f"TeamSpeak on handler {h} still keyed {t - self.squelch_until:.2f} s after "
                               "the squelch closed")
        if self.death:
            died, radios, mics = self.death
            if t - died > 1.0 + slack:
                left = [f"COM{p}" for p in radios if p in self.radio_keyed and self.radio_keyed[p] <= died]
                left += [f"handler {h}" for h in mics if h in self.mic_open and self.mic_open[h] <= died]
                if left:
                    self.violation("still keyed 1 s after relaydeck died: " + ", ".join(left))
                self.death = None
        for proc in [self.relaydeck, self.clientsim] + list(self.radios.values()):
            if proc and not proc.alive() and not proc.expected_exit:
                self.crashes += 1
                time.sleep(0.2)
                self.violation(f"{proc.who} died with exit code {proc.p.returncode}; its last lines:\n    " +
                               "\n    ".join(proc.tail))
        if t >= self.next_sample and self.relaydeck:
            self.check_resources()

    def check_resources(self, final=False):
        rd = self.relaydeck
        if not rd or not rd.alive():
            return
        self.next_sample = time.monotonic() + 5
        try:
            with open(f"/proc/{rd.p.pid}/status") as f:
                status = dict(l.split(":", 1) for l in f if ":" in l)
            rss = int(status["VmRSS"].split()[0])
            threads = int(status["Threads"])
            fds = len(os.listdir(f"/proc/{rd.p.pid}/fd"))
        except (OSError, KeyError, ValueError):
            return
        age = time.monotonic() - rd.started
        self.rd_samples.append((age, rss, threads, fds))
        warm = [s for s in self.rd_samples if s[0] >= self.args.warmup]
        if not final or len(warm) < 2 or warm[-1][0] - warm[0][0] < self.args.warmup:
            return
        base, last = warm[0], warm[-1]
        if last[1] > base[1] * 1.05:
            self.violation(f"relaydeck RSS grew from {base[1]} kB to {last[1]} kB after warm-up")
        if last[2] > base[2] + 4:
            self.violation(f"relaydeck threads grew from {base[2]} to {last[2]}")
        if last[3] > base[3] + 8:
            self.violation(f"relaydeck file descriptors grew from {base[3]} to {last[3]}")

    def check_files(self):
        for name in ("main.cfg",) + tuple(g["uid"] + ".rdk" for g in self.gates):
            path = os.path.join(self.cfg, name)
            try:
                with open(path, "rb") as f:
                    lines = decode_settings(f.read())
            except FileNotFoundError:
                self.violation(f"{name} is gone")
            except ValueError as e:
                self.violation(f"{name} does not decode: {e}")
            if name.endswith(".rdk") and not any(l.startswith("gateUID=" + name[:-4]) for l in lines):
                self.violation(f"{name} lost its gateUID")
        for name in os.listdir(self.cfg):
            if name.lower().endswith((".rem", ".cfg")) and name != "main.cfg":
                try:
                    sections = read_ini_sections(os.path.join(self.cfg, name))
                except OSError as e:
                    self.violation(f"{name} cannot be read: {e}")
                if name.lower().endswith(".rem"):
                    lost = self.registered.get(name, set()) - sections
                    if lost:
                        self.violation(f"{name} lost the registrations of {', '.join(sorted(lost))}")
                    self.registered[name] = self.registered.get(name, set()) | sections
        self.event("check", "configuration files sound", count=False)

    # --- main loop --------------------------------------------------------------------
    def run(self):
        self.prepare()
        self.last_fault = {k: time.monotonic() for k in ("term", "kill", "ts", "radio")}
        status = 0
        try:
            self.start_clientsim()
            for g in self.gates:
                self.start_radio(g)
            self.start_relaydeck()
            end = time.monotonic() + self.args.seconds
            next_act = time.monotonic() + 6    # the gateways connect first
            while time.monotonic() < end:
                if time.monotonic() >= next_act:
                    self.act()
                    next_act = time.monotonic() + self.rng.expovariate(1.0 / self.args.interval)
                self.run_pending()
                try:
                    while True:
                        self.on_line(*self.lines.get(timeout=0.02))
                except queue.Empty:
                    pass
                self.check()
            self.shutdown()
        except Violation as v:
            status = 1
            print(f"soak: violation after {self.now():.1f} s with seed {self.args.seed}: {v}", file=sys.stderr)
            print("soak: last 50 events:", file=sys.stderr)
            for e in self.events:
                print("  " + e, file=sys.stderr)
        finally:
            self.stop_all()
            if self.args.keep:
                print(f"soak: home folder kept: {self.home}", file=sys.stderr)
            else:
                shutil.rmtree(self.home, ignore_errors=True)
        print(f"soak: {self.args.seconds:.0f} s seed {self.args.seed} events {self.event_count} "
              f"violations {self.violations} crashes {self.crashes}")
        return status

    def shutdown(self):
        """The orderly end: relaydeck quits on SIGTERM, then the client quits."""
        for uid in list(self.talkers):
            self.stop_talk(uid, "")
        if self.relaydeck and self.relaydeck.alive():
            self.relaydeck_down(signal.SIGTERM)
            self.pending = []
        t = time.monotonic()
        while time.monotonic() < t + 2.5:
            try:
                self.on_line(*self.lines.get(timeout=0.05))
            except queue.Empty:
                pass
            self.check()
        if self.clientsim and self.clientsim.alive():
            self.clientsim.expected_exit = True
            self.clientsim.send("quit")
            rc = self.clientsim.wait(20)
            if rc != 0:
                self.crashes += 1
                self.violation(f"clientsim ended with {rc} on quit")
        while True:   # a sanitizer report printed while the programs ended
            try:
                self.on_line(*self.lines.get(timeout=0.2))
            except queue.Empty:
                break

    def stop_all(self):
        procs = [self.relaydeck, self.clientsim] + list(self.radios.values())
        for p in procs:
            if p and p.alive():
                p.kill(signal.SIGKILL)
        for p in procs:
            if p:
                p.wait(10)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                 epilog="Replay: the same --seed gives the same actions.")
    ap.add_argument("--bin", required=True, help="bin folder of a build")
    ap.add_argument("--seconds", type=float, required=True)
    ap.add_argument("--seed", type=int, required=True)
    ap.add_argument("--gateways", type=int, default=2,
                    help="gateways K (default 2); with K >= 2 the last one's port is a CM108 stand-in")
    ap.add_argument("--no-cm108", action="store_true", help="every gateway on a virtual serial port")
    ap.add_argument("--slack", type=float, default=2.5, help="allowance for scheduling (s)")
    ap.add_argument("--interval", type=float, default=0.35, help="mean time between random actions (s)")
    ap.add_argument("--fault-every", type=float, default=25.0, help="shortest time between two faults of a kind (s)")
    ap.add_argument("--warmup", type=float, default=60.0, help="relaydeck warm-up before resources are compared (s)")
    ap.add_argument("--keep", action="store_true", help="keep the home folder")
    ap.add_argument("--verbose", action="store_true", help="print every event as it happens (stderr)")
    args = ap.parse_args()
    for name in ("relaydeck", "relaydeck-cli", "clientsim", "Relaydeck_Link.so"):
        if not os.access(os.path.join(args.bin, name), os.X_OK if "." not in name else os.R_OK):
            ap.error(f"{os.path.join(args.bin, name)} is missing (build it)")
    sys.exit(Soak(args).run())


if __name__ == "__main__":
    main()
