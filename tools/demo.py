#!/usr/bin/env python3
"""Relaydeck demo: a whole gateway on one PC without a radio or a TeamSpeak client.

Three programs run side by side:

  * clientsim  - our substitute TeamSpeak 3 client with the Relaydeck_Link plugin loaded,
                 a small server with a channel and a user "Alice" who talks now and then;
  * vradio     - a simulated radio on a virtual serial port: it shows its push-to-talk
                 line and opens its squelch now and then;
  * relaydeck  - the program, in a fresh home folder, with one demo gateway that keys the
                 radio on RTS of COM7 and reads the squelch on CTS of COM7.

What to watch: when Alice talks in TeamSpeak, the radio's PTT goes on (and off again
after the release delay); when the radio's squelch opens, the gateway keys TeamSpeak
("SETPTT status=1": the client's microphone path opens).

Relaydeck shows its window when there is a display and runs on Qt's offscreen platform
otherwise. --duration N ends the demo after N seconds; --check makes it exit non-zero
unless both directions of the relay were seen (used by the end-to-end test).
"""

import argparse
import base64
import os
import queue
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# clientsim lines worth showing to a person watching (everything with --verbose).
INTERESTING = [
    (re.compile(r"CALL guiConnect\("), "TeamSpeak: the gateway opens its server connection"),
    # SETPTT status=1: the gateway's microphone path opens (input deactivated := 0).
    (re.compile(r"CALL setClientSelfVariableAsInt\(\d+, 10, 0\)"), None),
    (re.compile(r"CALL setClientSelfVariableAsInt\(\d+, 10, 1\)"), "TeamSpeak: the gateway releases its microphone path"),
    (re.compile(r"CALL playWaveFile"), "TeamSpeak: a tone/announcement is played to the radio"),
    (re.compile(r"CALL requestSendChannelTextMsg|CALL requestSendPrivateTextMsg"), "TeamSpeak: the gateway writes a message"),
    (re.compile(r"CALL setClientSelfVariableAsString\(\d+, 1,"), "TeamSpeak: the gateway sets its nickname"),
]


def log(who, text):
    print(time.strftime("%H:%M:%S") + f" [{who:9}] {text}", flush=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def encode_settings(lines):
    """A settings file: the CR LF lines in ISO 8859-1, as Base64."""
    text = "".join(line + "\r\n" for line in lines)
    return base64.b64encode(text.encode("latin-1"))


def pump(proc, who, sink, echo):
    for raw in iter(proc.stdout.readline, b""):
        line = raw.decode("utf-8", "replace").rstrip("\r\n")
        sink.put((who, line))
        if echo(line):
            log(who, line)


class Demo:
    def __init__(self, args):
        self.args = args
        self.procs = []
        self.lines = queue.Queue()
        self.seen = []
        self.bin = os.path.join(os.path.abspath(args.build), "bin")
        self.home = os.path.abspath(args.home) if args.home else tempfile.mkdtemp(prefix="relaydeck-demo-")
        self.tsdir = os.path.join(self.home, "ts3client")
        self.sock = os.path.join(self.home, "vcom", "COM7.sock")
        self.port = args.port or free_port()
        self.http_port = free_port()
        self.uid = "{" + str(uuid.uuid4()).upper() + "}"

    # --- set-up -------------------------------------------------------------------------
    def prepare(self):
        cfg = os.path.join(self.home, "config")
        os.makedirs(cfg, exist_ok=True)
        os.makedirs(self.tsdir, exist_ok=True)
        os.makedirs(os.path.dirname(self.sock), exist_ok=True)
        lang = self.args.lang
        with open(os.path.join(cfg, "main.cfg"), "wb") as f:
            f.write(encode_settings([
                f"appLang={lang}", f"LINK_PORT={self.port}", "appExitDlg=False",
                "LINK_EXIT=False", "appMAXWin=False", "winWIDTH=1100", "winHEIGHT=760",
                "HTTP_ACTIVE=True", f"HTTP_PORT={self.http_port}",
            ]))
        with open(os.path.join(cfg, "comport.cfg"), "w", encoding="latin-1") as f:
            f.write(f"[COM7]\r\nident=7\r\nactiv=1\r\nstatus=1\r\ntop=420\r\nleft=10\r\n"
                    f"device=virtual:{self.sock}\r\n")
        with open(os.path.join(cfg, self.uid + ".rdk"), "wb") as f:
            f.write(encode_settings([
                f"gateUID={self.uid}", "gateName=Demo Gateway", "gateAutorun=True",
                "gateExitDlg=False", f"SPRACHE={lang}",
                "TS3-HOST=127.0.0.1:9987", "TS3-NICK=Relaydeck Demo", "TS3-TX-PIN=COM",
                "COM-OUT-NUM=7", "COM-OUT-ON=True", "COM-OUT-PIN=RTS",
                "COM-IN-NUM=7", "COM-IN-ON=True", "COM-IN-PIN=CTS",
                "HF-ROGER-BEEP=True",
            ]))
        with open(os.path.join(self.tsdir, "Relaydeck[LINK].ini"), "w") as f:
            f.write(f"[LINKSettings]\r\nPORT={self.port}\r\n")

    # --- processes ----------------------------------------------------------------------
    def start(self, who, cmd, env=None, echo=lambda line: True, stdin=subprocess.DEVNULL):
        p = subprocess.Popen(cmd, stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             env=env, start_new_session=True)
        self.procs.append(p)
        threading.Thread(target=pump, args=(p, who, self.lines, echo), daemon=True).start()
        return p

    def ts3(self, command):
        try:
            self.clientsim.stdin.write((command + "\n").encode())
            self.clientsim.stdin.flush()
        except (BrokenPipeError, OSError):
            pass

    def run(self):
        self.prepare()
        log("demo", f"home folder {self.home}, link port {self.port}")
        log("demo", f"Relaydeck's window as a picture: http://127.0.0.1:{self.http_port}/screen.jpg")
        verbose = self.args.verbose

        def ts_echo(line):
            if verbose:
                return True
            for rx, text in INTERESTING:
                if rx.search(line):
                    if text:
                        log("teamspeak", text)
                    else:
                        log("teamspeak", "the gateway keys TeamSpeak (microphone path): " + line.split("CALL ", 1)[-1])
                    return False
            return line.startswith(("NOTE", "ERROR", "INFO"))

        self.clientsim = self.start("teamspeak", [
            os.path.join(self.bin, "clientsim"), "--plugin", os.path.join(self.bin, "Relaydeck_Link.so"),
            "--workdir", self.tsdir, "--generation", "3.6"], echo=ts_echo, stdin=subprocess.PIPE)
        for cmd in ('option connectdelay 50', 'server S1 127.0.0.1:9987 "Relaydeck Demo Server"',
                    'channel S1 1 Lobby default', 'channel S1 2 "Net Control" parent=1'):
            self.ts3(cmd)

        env = dict(os.environ)
        # The demo stays on this PC: directory reports go to a loopback port nobody serves.
        env.setdefault("RELAYDECK_DIRECTORY_URL", "http://127.0.0.1:9/")
        env["XDG_RUNTIME_DIR"] = os.path.join(self.home, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        if not env.get("DISPLAY") and not env.get("WAYLAND_DISPLAY"):
            env.setdefault("QT_QPA_PLATFORM", "offscreen")
        self.start("relaydeck", [os.path.join(self.bin, "relaydeck"), "--home", self.home], env=env,
                   echo=lambda line: verbose or not line.startswith(("ALSA", "Cannot connect", "jack", "This plugin does not support",
                                                                        "Directory service")))

        self.start("radio", [sys.executable, os.path.join(HERE, "vradio.py"),
                             "--socket", self.sock, "--squelch", "CTS", "--every", "0"],
                   stdin=subprocess.PIPE)
        self.radio = self.procs[-1]

        deadline = time.time() + self.args.duration if self.args.duration else None
        script = self.timeline()
        next_step = time.time() + 8  # give the gateway time to connect
        try:
            while deadline is None or time.time() < deadline:
                if time.time() >= next_step:
                    delay, action = next(script)
                    action()
                    next_step = time.time() + delay
                self.drain(0.1)
                if any(p.poll() is not None for p in self.procs):
                    dead = [p.args[0] for p in self.procs if p.poll() is not None]
                    log("demo", "a program ended: " + ", ".join(os.path.basename(d) for d in dead))
                    break
        except KeyboardInterrupt:
            pass
        finally:
            self.stop()
        return self.verdict()

    def timeline(self):
        """Scripted life on the channel and on the radio, forever."""
        def say(who, text):
            return lambda: log(who, text)
        n = 0
        while True:
            n += 1
            if n == 1:
                yield 1, lambda: (log("teamspeak", "Alice joins the gateway's channel"),
                                  self.ts3("join S1 7 Alice channel=1"))
            yield 4, lambda: (log("teamspeak", "Alice starts talking"), self.ts3("talk S1 7 start"))
            yield 6, lambda: (log("teamspeak", "Alice stops talking"), self.ts3("talk S1 7 stop"))
            yield 5, lambda: (log("radio", "a station calls on the radio: squelch opens"),
                              self.radio_cmd("open 4"))
            yield 8, say("demo", "---")

    def radio_cmd(self, text):
        try:
            self.radio.stdin.write((text + "\n").encode())
            self.radio.stdin.flush()
        except (BrokenPipeError, OSError):
            pass

    def drain(self, timeout):
        try:
            while True:
                who, line = self.lines.get(timeout=timeout)
                self.seen.append((who, line))
                timeout = 0
        except queue.Empty:
            pass

    def stop(self):
        self.ts3("quit")
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for p in self.procs:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
        self.drain(0.2)
        if not self.args.home and not self.args.keep:
            shutil.rmtree(self.home, ignore_errors=True)

    def verdict(self):
        radio_ptt = any(w == "radio" and "PTT ON" in l for w, l in self.seen)
        # Only a microphone opening after the radio's squelch opened counts.
        opened = next((i for i, (w, l) in enumerate(self.seen) if w == "radio" and "SQUELCH OPEN" in l), None)
        ts_ptt = opened is not None and any(
            w == "teamspeak" and re.search(r"setClientSelfVariableAsInt\(\d+, 10, 0\)", l)
            for w, l in self.seen[opened:])
        log("demo", f"radio keyed by TeamSpeak speech: {'yes' if radio_ptt else 'no'}; "
                    f"TeamSpeak keyed by the radio's squelch: {'yes' if ts_ptt else 'no'}")
        if self.args.check and not (radio_ptt and ts_ptt):
            return 1
        return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "demo"))
    ap.add_argument("--home", help="base folder for Relaydeck (default: a fresh temporary folder)")
    ap.add_argument("--port", type=int, default=0, help="link port (default: a free port)")
    ap.add_argument("--lang", default="en_US", choices=["en_US", "de_DE"])
    ap.add_argument("--duration", type=float, default=0, help="seconds to run (default: until Ctrl-C)")
    ap.add_argument("--check", action="store_true", help="exit 1 unless both relay directions were seen")
    ap.add_argument("--keep", action="store_true", help="keep the temporary home folder")
    ap.add_argument("--verbose", action="store_true", help="show every line of every program")
    sys.exit(Demo(ap.parse_args()).run())


if __name__ == "__main__":
    main()
