"""Harness for the whole-product tests and measurements.

A Rig runs the real programs side by side in a fresh temporary folder:

  * clientsim   - the substitute TeamSpeak client with Relaydeck_Link.so loaded, driven
                  through its standard input (one control command per line);
  * LinkTap     - a loopback TCP relay between Relaydeck and the plugin that records every
                  line in both directions with its arrival time ("what is on the wire");
  * relaydeck   - the program, with --home pointing into the rig's folder;
  * vradio      - the simulated radio on a virtual serial port.

Every output line is stamped (time.time() and time.monotonic()) when it is read, so tests
and measurements can compare events across programs. All waits poll with a deadline.
Children get PR_SET_PDEATHSIG and their own process group; Rig.close() (also run from
atexit and on SIGTERM/SIGINT) ends every process it started.
"""

import atexit
import base64
import ctypes
import os
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
ROOT = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(ROOT, "tools")

_libc = None


def _die_with_parent():
    # Runs in the child between fork and exec: SIGKILL when the harness dies.
    global _libc
    try:
        if _libc is None:
            _libc = ctypes.CDLL(None, use_errno=True)
        _libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except Exception:
        pass


def free_port():
    while True:
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        if port != 26001:
            return port


def encode_settings(lines):
    """A settings file (main.cfg, gateway file): CR LF lines in ISO 8859-1, as Base64."""
    text = "".join(line + "\r\n" for line in lines)
    return base64.b64encode(text.encode("latin-1"))


def escape(text):
    """The link's value escaping (the twelve two-character codes, in their order)."""
    for ch, code in ((" ", "^s"), ("|", "^p"), ("\r", "^r"), ("\n", "^n"), ("\t", "^t"), ("\v", "^v"),
                     ("\\", "^b"), ("/", "^c"), ("\f", "^f"), ("\b", "^d"), ("\a", "^a"), ("=", "^g")):
        text = text.replace(ch, code)
    return text


def parse_line(text):
    """A link line -> (command word, [(key, value), ...]) in the order they stand."""
    word, _, rest = text.strip().partition(" ")
    items = []
    for tok in rest.split():
        key, eq, value = tok.partition("=")
        items.append((key, value if eq else tok))
    return word, items


class Entry:
    __slots__ = ("wall", "mono", "text", "who")

    def __init__(self, text, who=""):
        self.wall = time.time()
        self.mono = time.monotonic()
        self.text = text
        self.who = who

    @property
    def ms(self):
        return int(self.wall * 1000)

    def __repr__(self):
        return "%s %s %s" % (time.strftime("%H:%M:%S", time.localtime(self.wall)) + ".%03d" % (self.ms % 1000),
                             self.who, self.text)


class Log:
    """A growing list of stamped lines with waits on it."""

    def __init__(self, name):
        self.name = name
        self.entries = []
        self.cond = threading.Condition()

    def add(self, text, who=""):
        with self.cond:
            self.entries.append(Entry(text, who or self.name))
            self.cond.notify_all()

    def mark(self):
        with self.cond:
            return len(self.entries)

    def snapshot(self, start=0):
        with self.cond:
            return list(self.entries[start:])

    def find(self, pattern, start=0, who=None):
        rx = re.compile(pattern) if isinstance(pattern, str) else pattern
        for i, e in enumerate(self.snapshot(start), start):
            if (who is None or e.who == who) and rx.search(e.text):
                return i, e
        return None

    def find_all(self, pattern, start=0, who=None):
        rx = re.compile(pattern) if isinstance(pattern, str) else pattern
        return [(i, e) for i, e in enumerate(self.snapshot(start), start)
                if (who is None or e.who == who) and rx.search(e.text)]

    def wait(self, pattern, timeout=10.0, start=0, who=None):
        """(index, entry) of the first line from `start` on matching `pattern`; raises on timeout."""
        rx = re.compile(pattern) if isinstance(pattern, str) else pattern
        deadline = time.monotonic() + timeout
        pos = start
        with self.cond:
            while True:
                while pos < len(self.entries):
                    e = self.entries[pos]
                    if (who is None or e.who == who) and rx.search(e.text):
                        return pos, e
                    pos += 1
                left = deadline - time.monotonic()
                if left <= 0:
                    tail = "\n    ".join(repr(e) for e in self.entries[-25:])
                    raise TimeoutError("%s: no line /%s/%s within %.1f s; last lines:\n    %s"
                                       % (self.name, rx.pattern, " from " + who if who else "", timeout, tail))
                self.cond.wait(min(left, 0.2))


class LinkTap:
    """Loopback relay Relaydeck -> here -> plugin, recording each line of the link.

    Lines Relaydeck sends are logged with who ">" (to the plugin), lines the plugin sends
    with who "<". Bytes pass through unchanged. When either side closes, the other side is
    closed as well, so Relaydeck sees a plugin that goes away exactly as without the tap.
    """

    def __init__(self, plugin_port):
        self.plugin_port = plugin_port
        self.log = Log("link")
        self.server = socket.socket()
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind(("127.0.0.1", 0))
        self.port = self.server.getsockname()[1]
        self.server.listen(4)
        self.sessions = 0
        self.closing = False
        self.socks = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.server.accept()
            except OSError:
                return
            try:
                upstream = socket.create_connection(("127.0.0.1", self.plugin_port), timeout=2)
                upstream.settimeout(None)
            except OSError:
                self.log.add("(plugin not reachable)", "*")
                client.close()
                continue
            self.sessions += 1
            self.log.add("(session %d)" % self.sessions, "*")
            for s in (client, upstream):
                s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            self.socks += [client, upstream]
            pair = {"open": True}
            threading.Thread(target=self._pipe, args=(client, upstream, ">", pair), daemon=True).start()
            threading.Thread(target=self._pipe, args=(upstream, client, "<", pair), daemon=True).start()

    def _pipe(self, src, dst, who, pair):
        buf = b""
        while True:
            try:
                data = src.recv(65536)
            except OSError:
                data = b""
            if not data:
                break
            # Logged before it is passed on, so an answer is never logged before the
            # line it answers.
            buf += data
            parts = re.split(rb"[\r\n]", buf)
            buf = parts.pop()
            for raw in parts:
                line = raw.replace(b"\0", b"").decode("latin-1").rstrip()
                if line:
                    self.log.add(line, who)
            try:
                dst.sendall(data)
            except OSError:
                break
        if buf.strip(b"\0 "):
            self.log.add(buf.replace(b"\0", b"").decode("latin-1").rstrip(), who)
        if pair["open"]:
            pair["open"] = False
            self.log.add("(closed by %s)" % ("Relaydeck" if who == ">" else "plugin"), "*")
        for s in (src, dst):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            s.close()

    def close(self):
        self.closing = True
        self.server.close()
        for s in self.socks:
            try:
                s.close()
            except OSError:
                pass


class Proc:
    """A child process whose stdout (and stderr) lines go into a Log."""

    def __init__(self, name, cmd, env=None, cwd=None, stdin=True, log=None):
        self.name = name
        self.log = log or Log(name)
        self.p = subprocess.Popen(cmd, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, cwd=cwd,
                                  start_new_session=True, preexec_fn=_die_with_parent)
        self.start_wall = time.time()
        self.pid = self.p.pid
        self.reader = threading.Thread(target=self._pump, daemon=True)
        self.reader.start()

    def _pump(self):
        for raw in iter(self.p.stdout.readline, b""):
            self.log.add(raw.decode("utf-8", "replace").rstrip("\r\n"), self.name)
        self.log.add("(exited)", self.name + "*")

    def send(self, line):
        try:
            self.p.stdin.write((line + "\n").encode())
            self.p.stdin.flush()
        except (BrokenPipeError, OSError, AttributeError, ValueError):
            pass

    def alive(self):
        return self.p.poll() is None

    def stop(self, sig=signal.SIGTERM, timeout=5.0):
        if self.p.poll() is None:
            try:
                os.killpg(self.p.pid, sig)
            except ProcessLookupError:
                pass
            try:
                self.p.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(self.p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                self.p.wait(timeout=5)
        else:
            try:  # helpers the program may have left in its group
                os.killpg(self.p.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
        self.reader.join(timeout=2)
        return self.p.returncode


_rigs = []


def _close_all(*_):
    for rig in list(_rigs):
        rig.close()


def _on_signal(signum, frame):
    _close_all()
    sys.exit(128 + signum)


atexit.register(_close_all)
for _sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    try:
        signal.signal(_sig, _on_signal)
    except (ValueError, OSError):
        pass


def bin_dir_from(args_bin):
    b = os.path.abspath(args_bin)
    return b if os.path.basename(b) == "bin" else os.path.join(b, "bin")


class Rig:
    """One fresh world: home folder, link tap, clientsim, relaydeck, radios."""

    def __init__(self, bindir, lang="en_US", tap=True, keep=False, connectdelay=20):
        self.bin = bin_dir_from(bindir)
        for prog in ("relaydeck", "clientsim", "Relaydeck_Link.so"):
            if not os.path.exists(os.path.join(self.bin, prog)):
                raise FileNotFoundError(os.path.join(self.bin, prog))
        self.dir = tempfile.mkdtemp(prefix="rd-e2e-")
        self.keep = keep
        self.home = os.path.join(self.dir, "home")
        self.cfg = os.path.join(self.home, "config")
        self.tsdir = os.path.join(self.dir, "ts3client")
        self.vcom = os.path.join(self.dir, "vcom")
        for d in (self.cfg, self.tsdir, self.vcom):
            os.makedirs(d, exist_ok=True)
        self.lang = lang
        self.connectdelay = connectdelay
        self.plugin_port = free_port()
        self.tap = LinkTap(self.plugin_port) if tap else None
        self.link_port = self.tap.port if tap else self.plugin_port
        self.link = self.tap.log if tap else Log("link")
        self.ts = None
        self.rd = None
        self.radios = {}
        self.procs = []
        self.closed = False
        with open(os.path.join(self.tsdir, "Relaydeck[LINK].ini"), "w") as f:
            f.write("[LINKSettings]\r\nPORT=%d\r\n" % self.plugin_port)
        self.write_main_cfg()
        self.ports = {}
        _rigs.append(self)

    # ---- files -------------------------------------------------------------------------
    def write_main_cfg(self, extra=()):
        with open(os.path.join(self.cfg, "main.cfg"), "wb") as f:
            f.write(encode_settings([
                "appLang=" + self.lang, "LINK_PORT=%d" % self.link_port, "appExitDlg=False",
                "LINK_EXIT=False", "appMAXWin=False", "winWIDTH=1100", "winHEIGHT=760",
            ] + list(extra)))

    def add_port(self, n):
        """A virtual COM port n in comport.cfg; returns its socket path."""
        path = os.path.join(self.vcom, "COM%d.sock" % n)
        self.ports[n] = path
        with open(os.path.join(self.cfg, "comport.cfg"), "w", encoding="latin-1") as f:
            for k, p in sorted(self.ports.items()):
                f.write("[COM%d]\r\nident=%d\r\nactiv=1\r\nstatus=0\r\ndevice=virtual:%s\r\n" % (k, k, p))
        return path

    def add_gateway(self, name, settings=(), autorun=True, uid=None):
        """A gateway file in the configuration folder; returns (uid, path)."""
        uid = uid or "{" + str(uuid.uuid4()).upper() + "}"
        lines = ["gateUID=" + uid, "gateName=" + name, "gateAutorun=" + ("True" if autorun else "False"),
                 "gateExitDlg=False", "SPRACHE=" + self.lang, "TS3-HOST=127.0.0.1:9987",
                 "TS3-NICK=" + name]
        keys = {l.split("=", 1)[0].upper() for l in settings}
        lines = [l for l in lines if l.split("=", 1)[0].upper() not in keys] + list(settings)
        path = os.path.join(self.cfg, uid + ".rdk")
        with open(path, "wb") as f:
            f.write(encode_settings(lines))
        return uid, path

    # ---- processes ---------------------------------------------------------------------
    def _track(self, proc):
        self.procs.append(proc)
        return proc

    def start_clientsim(self, world=None, name="ts"):
        """clientsim with the plugin; `world` lines are sent first (default: S1 with two channels)."""
        self.ts = self._track(Proc(name, [os.path.join(self.bin, "clientsim"), "--plugin",
                                          os.path.join(self.bin, "Relaydeck_Link.so"), "--workdir", self.tsdir]))
        self.ts.send("option connectdelay %d" % self.connectdelay)
        for line in world if world is not None else (
                'server S1 127.0.0.1:9987 "Relaydeck Test Server"',
                'channel S1 1 Lobby default',
                'channel S1 2 "Net Control" parent=1'):
            self.ts.send(line)
        self.ts.send("print world-ready")
        self.ts.log.wait(r"^INFO world-ready", 15)
        self.wait_plugin_listening()
        return self.ts

    def wait_plugin_listening(self, timeout=10.0):
        needle = ":%04X " % self.plugin_port
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with open("/proc/net/tcp") as f:
                for line in f.readlines()[1:]:
                    cols = line.split()
                    if len(cols) > 3 and (cols[1] + " ").endswith(needle) and cols[3] == "0A":
                        return
            time.sleep(0.02)
        raise TimeoutError("the plugin does not listen on port %d" % self.plugin_port)

    def ts_cmd(self, line, timeout=10.0):
        """Sends a control command and waits until clientsim has carried it out."""
        tag = "done-%s" % uuid.uuid4().hex[:8]
        start = self.ts.log.mark()
        self.ts.send(line)
        self.ts.send("print " + tag)
        self.ts.log.wait(r"^INFO " + tag, timeout, start)
        return start

    def start_relaydeck(self, args=(), env_extra=None, headless=False):
        """headless: no display variable at all (the program must not need one)."""
        env = dict(os.environ)
        if headless:
            for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
                env.pop(k, None)
        else:
            env["QT_QPA_PLATFORM"] = "offscreen"
        env["TMPDIR"] = self.vcom
        env.update(env_extra or {})
        self.rd = self._track(Proc("rd", [os.path.join(self.bin, "relaydeck"), "--home", self.home] + list(args),
                                   env=env, stdin=False))
        return self.rd

    def start_radio(self, n, extra=()):
        path = self.ports[n]
        radio = self._track(Proc("radio%d" % n, [sys.executable, os.path.join(TOOLS, "vradio.py"),
                                                "--socket", path] + list(extra)))
        self.radios[n] = radio
        return radio

    # ---- link helpers ------------------------------------------------------------------
    def wire(self, pattern, timeout=15.0, start=0, who=">"):
        """Waits for a link line; gives up early when relaydeck has ended."""
        deadline = time.monotonic() + timeout
        while True:
            step = min(1.0, deadline - time.monotonic())
            try:
                return self.link.wait(pattern, max(step, 0), start, who)
            except TimeoutError:
                if time.monotonic() >= deadline:
                    raise
                if self.rd is not None and not self.rd.alive():
                    raise RuntimeError("relaydeck ended (exit code %s) while waiting for /%s/"
                                       % (self.rd.p.returncode, pattern))

    def handler_of(self, uid, timeout=20.0, start=0):
        """Waits for the plugin's GW_CONNECT reply for gateway uid; returns (index, scHandler)."""
        i, e = self.wire(r"^GW_CONNECT gateUID=%s scHandler=(\d+)" % re.escape(escape(uid)), timeout, start, "<")
        return i, int(re.search(r"scHandler=(\d+)", e.text).group(1))

    def connected(self, handler, timeout=20.0, start=0):
        return self.wire(r"^CONNECT scHandler=%d .*status=4" % handler, timeout, start, "<")

    def radio_settled(self, radio, handler, start=0):
        """Waits until the gateway has its talker count and the radio is unkeyed.

        The answer to GETSPEAKER on connect must not key the radio by itself; should it
        ever do so again, the measurements wait for the radio to drop before they start.
        """
        self.wire(r"^SPEAKERS scHandler=%d " % handler, 10, start, "<")
        try:
            i, _ = radio.log.wait(r" PTT ON ", 1.0)
        except TimeoutError:
            return
        radio.log.wait(r" PTT OFF |port closed", 5, i)

    def own_client_id(self, handler):
        start = self.ts_cmd("state %d" % handler)
        _, e = self.ts.log.wait(r"^INFO handler %d .*own=(\d+)" % handler, 5, start)
        return int(re.search(r"own=(\d+)", e.text).group(1))

    # ---- end ---------------------------------------------------------------------------
    def close(self):
        if self.closed:
            return
        self.closed = True
        for p in reversed(self.procs):
            try:
                if p is self.ts and p.alive():
                    p.send("quit")
                    try:
                        p.p.wait(timeout=3)
                    except subprocess.TimeoutExpired:
                        pass
                p.stop()
            except Exception:
                pass
        if self.tap:
            self.tap.close()
        if not self.keep:
            shutil.rmtree(self.dir, ignore_errors=True)
        if self in _rigs:
            _rigs.remove(self)

    def dump(self, limit=int(os.environ.get("RD_E2E_DUMP", "60"))):
        """The last lines of every log, for failure reports."""
        out = []
        for log in [self.link] + [p.log for p in self.procs]:
            out.append("--- %s" % log.name)
            out += ["    %r" % e for e in log.snapshot()[-limit:]]
        return "\n".join(out)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None and not self.closed:
            print(self.dump(), flush=True)
        self.close()
        return False


class Check:
    """Collects failed expectations so one run reports them all."""

    def __init__(self, rig=None):
        self.failures = []
        self.rig = rig

    def expect(self, cond, what):
        if not cond:
            self.failures.append(what)
            print("FAIL:", what, flush=True)
        else:
            print("ok:", what, flush=True)
        return cond

    def finish(self):
        if self.failures:
            if self.rig:
                print(self.rig.dump(), flush=True)
            print("%d expectation(s) failed" % len(self.failures), flush=True)
            return 1
        print("all expectations met", flush=True)
        return 0


def run_main(body):
    """Runs body(args) with the common options; prints the logs when it fails."""
    import argparse
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "e2e", "bin"))
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    try:
        rc = body(args)
    except Exception as e:  # TimeoutError and assertion failures
        import traceback
        traceback.print_exc()
        for rig in list(_rigs):
            print(rig.dump(), flush=True)
        rc = 1
    finally:
        _close_all()
    sys.exit(rc)
