#!/usr/bin/env python3
"""Relaydeck without a window: `relaydeck --headless` with no display variable at all.

  * no Qt platform plugin is loaded (QT_DEBUG_PLUGINS names every plugin Qt looks at);
  * the ports of comport.cfg open, the two autostart gateways open 2 s apart and connect;
  * the relay works both ways: a TeamSpeak user keys the radio, the squelch keys TeamSpeak;
  * the web interface (HTTP_ACTIVE) serves /api/status and /metrics with the connected
    gateway, and says at once on / and /screen.jpg that there is no screen (503);
  * every gateway log line is on standard error with the gateway name first, and in
    logs/<gateName>.log under the base folder;
  * SIGTERM runs the ordered quit: GW_STOP for each gateway, the port closes, the web port
    closes, exit code 0.
  * `--headless --check` says all is well for this folder and names a broken gateway file
    and a web port that another program holds.
"""

import json
import os
import re
import signal
import socket
import subprocess
import time
import urllib.error
import urllib.request

from rdharness import Check, Rig, free_port, run_main


def http_get(port, path, timeout=5.0):
    """(status, content type, body text) of a GET on the loopback; (None, None, reason) when it fails."""
    try:
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path), timeout=timeout) as r:
            return r.status, r.headers.get("Content-Type", ""), r.read().decode("utf-8", "replace")
    except urllib.error.HTTPError as e:
        return e.code, e.headers.get("Content-Type", ""), e.read().decode("utf-8", "replace")
    except OSError as e:
        return None, None, str(e)


def gateway_in_status(port, uid, timeout=5.0):
    """The gateway's entry in /api/status once it shows connected (the feed samples every 250 ms)."""
    deadline = time.monotonic() + timeout
    entry = None
    while time.monotonic() < deadline:
        status, _, body = http_get(port, "/api/status")
        if status == 200:
            entry = next((g for g in json.loads(body)["gateways"] if g["gateUID"] == uid), None)
            if entry and entry["connected"]:
                return entry
        time.sleep(0.1)
    return entry


def body(args):
    with Rig(args.bin, keep=args.keep) as rig:
        check = Check(rig)
        rig.add_port(7)
        uid, path = rig.add_gateway("Head Gate", [
            "TS3-TX-PIN=COM", "COM-OUT-NUM=7", "COM-OUT-ON=True", "COM-OUT-PIN=RTS",
            "COM-IN-NUM=7", "COM-IN-ON=True", "COM-IN-PIN=CTS", "HF-ROGER-BEEP=False",
            "TS3-RX-DELAY=3", "TS3-PTT-DELAY=3"])
        uid2, _ = rig.add_gateway("Second Gate", ["HF-ROGER-BEEP=False"])
        uid3, _ = rig.add_gateway("Manual Gate", autorun=False)
        web = free_port()
        rig.write_main_cfg(["HTTP_ACTIVE=True", "HTTP_PORT=%d" % web])
        env = {"QT_DEBUG_PLUGINS": "1"}
        rig.start_clientsim()
        rig.start_relaydeck(["--headless"], env_extra=env, headless=True)
        radio = rig.start_radio(7, ["--squelch", "CTS"])

        starts = {}
        for u in (uid, uid2):
            i, e = rig.wire(r"^GW_START gateUID=%s" % re.escape(u), 30)
            starts[u] = e.ms
        gap = abs(starts[uid2] - starts[uid])
        check.expect(1900 <= gap <= 3000, "autostart gateways open 2 s apart (%d ms)" % gap)
        check.expect(not rig.link.find(r"^GW_START gateUID=%s" % re.escape(uid3), 0), "a gateway without autostart stays closed")

        k, h = rig.handler_of(uid, 30)
        rig.connected(h, 15, k)
        radio.log.wait(r"connected to ", 10)
        rig.radio_settled(radio, h, k)
        rig.ts_cmd("join S1 7 Alice channel=1 uid=alice-uid-0001")

        rmark = radio.log.mark()
        rig.ts_cmd("talk S1 7 start")
        radio.log.wait(r" PTT ON ", 3, rmark)
        check.expect(True, "TeamSpeak speech keys the radio")
        rmark = radio.log.mark()
        rig.ts_cmd("talk S1 7 stop")
        radio.log.wait(r" PTT OFF ", 3, rmark)

        mark = rig.link.mark()
        radio.send("open")
        rig.wire(r"^SETPTT scHandler=%d status=1\s*$" % h, 3, mark)
        radio.send("close")
        rig.wire(r"^SETPTT scHandler=%d status=0\s*$" % h, 3, mark)
        check.expect(True, "the squelch keys TeamSpeak and releases it")

        # ---- the web interface without a window -------------------------------------------
        rig.rd.log.wait(r"^relaydeck: web interface on port %d" % web, 5)
        entry = gateway_in_status(web, uid)
        check.expect(entry is not None and entry["connected"] and entry["server"],
                     "/api/status shows the gateway connected: %s" % entry)
        status, ctype, body = http_get(web, "/metrics")
        sample = r'^relaydeck_gateway_connected\{gateway="[^"]*",gateUID="%s"\} 1$' % re.escape(uid)
        check.expect(status == 200 and ctype.startswith("text/plain") and re.search(sample, body, re.M),
                     "/metrics has the gateway connected (%s): %s" % (status, body[:300]))
        check.expect(re.search(r"^relaydeck_link_connected 1$", body, re.M), "/metrics has the link up")
        for page in ("/", "/screen.jpg"):
            t0 = time.monotonic()
            status, ctype, body = http_get(web, page)
            took = time.monotonic() - t0
            check.expect(status == 503 and "without windows" in body and took < 2,
                         "%s answers 503 at once, no screen (%s, %.2f s): %s" % (page, status, took, body[:120]))

        out = [e.text for e in rig.rd.log.snapshot()]
        platform = [t for t in out if re.search(r"platforms|libqoffscreen|libqxcb|libqwayland", t)]
        check.expect(not platform, "no platform plugin looked at: %s" % platform[:3])
        gate_lines = [t for t in out if t.startswith("Head Gate: [")]
        check.expect(len(gate_lines) >= 2, "gateway log lines on stderr, name first (%d)" % len(gate_lines))
        logfile = os.path.join(rig.home, "logs", "Head Gate.log")
        with open(logfile, encoding="utf-8") as f:
            file_lines = f.read().splitlines()
        check.expect(file_lines and all(re.match(r"^\[\d\d:\d\d:\d\d\] > ", l) for l in file_lines),
                     "logs/Head Gate.log holds the gateway's lines (%d)" % len(file_lines))
        check.expect(os.path.exists(os.path.join(rig.home, "logs", "Second Gate.log")), "one log file per gateway")

        mark, rmark = rig.link.mark(), radio.log.mark()
        os.remove(path)
        code = rig.rd.stop(signal.SIGTERM, timeout=10)
        check.expect(code == 0, "SIGTERM ends the program with exit code 0 (%s)" % code)
        status, _, reason = http_get(web, "/api/status", timeout=2)
        check.expect(status is None, "the web port is closed after the quit (%s %s)" % (status, reason))

        stops = [e.text for _, e in rig.link.find_all(r"^GW_STOP ", mark, ">")]
        check.expect(len(stops) >= 2, "every gateway sent GW_STOP (%d)" % len(stops))
        check.expect(os.path.exists(path), "the gateway saved its file on the way out")
        try:
            radio.log.wait(r"port closed", 5, rmark)
            check.expect(True, "the serial port was closed")
        except TimeoutError:
            check.expect(False, "the serial port was closed")

        # ---- --check -------------------------------------------------------------------------
        env = dict(os.environ)
        for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(k, None)
        exe = os.path.join(rig.bin, "relaydeck")
        ok = subprocess.run([exe, "--headless", "--check", "--home", rig.home], env=env, capture_output=True, text=True,
                            timeout=30)
        check.expect(ok.returncode == 0 and "all is well" in ok.stdout,
                     "--check passes for the working folder (%d): %s" % (ok.returncode, ok.stdout[-300:]))
        with open(os.path.join(rig.cfg, "{BROKEN}.rdk"), "wb") as f:
            f.write(b"this is no gateway file")
        bad = subprocess.run([exe, "--headless", "--check", "--home", rig.home], env=env, capture_output=True, text=True,
                             timeout=30)
        check.expect(bad.returncode != 0 and "{BROKEN}.rdk" in bad.stdout,
                     "--check names the broken gateway file (%d): %s" % (bad.returncode, bad.stdout[-300:]))
        os.remove(os.path.join(rig.cfg, "{BROKEN}.rdk"))
        with socket.socket() as holder:
            holder.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            holder.bind(("127.0.0.1", web))
            holder.listen(1)
            taken = subprocess.run([exe, "--headless", "--check", "--home", rig.home], env=env, capture_output=True,
                                   text=True, timeout=30)
        check.expect(taken.returncode != 0 and re.search(r"problem: web port %d is taken by another program" % web,
                                                         taken.stdout),
                     "--check names the web port another program holds (%d): %s"
                     % (taken.returncode, taken.stdout[-300:]))
        return check.finish()


if __name__ == "__main__":
    run_main(body)
