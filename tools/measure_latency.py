#!/usr/bin/env python3
"""Relay latency through the real programs (clientsim + plugin, relaydeck, vradio).

Two figures, each over many edges:
  * TeamSpeak -> radio: from the RXVOICE line on the link (a user starts talking) to the
    radio's PTT line going on (vradio's Unix ms); and from the RXVOICE end to PTT off
    (this one includes the configured release delay);
  * radio -> TeamSpeak: from the squelch edge (vradio's Unix ms) to SETPTT on the link,
    for opening and closing.
Link lines are stamped when the tap between Relaydeck and the plugin reads them.

    python3 tools/measure_latency.py --bin build/e2e/bin --edges 100
"""

import argparse
import json
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "relaydeck_e2e"))
from rdharness import ROOT, Rig  # noqa: E402


def pct(values, p):
    s = sorted(values)
    if not s:
        return float("nan")
    k = min(len(s) - 1, max(0, int(round(p / 100.0 * (len(s) - 1)))))
    return s[k]


def summary(name, values):
    return {"name": name, "n": len(values), "min": min(values), "p50": pct(values, 50), "p90": pct(values, 90),
            "p99": pct(values, 99), "max": max(values)}


def radio_ms(entry):
    return int(entry.text.split()[1])


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "e2e", "bin"))
    ap.add_argument("--edges", type=int, default=100, help="edges per direction")
    ap.add_argument("--rx-delay", type=int, default=3)
    ap.add_argument("--json", action="store_true")
    args = ap.parse_args()

    with Rig(args.bin) as rig:
        rig.add_port(7)
        uid, _ = rig.add_gateway("Latency Gateway", [
            "TS3-TX-PIN=COM", "COM-OUT-NUM=7", "COM-OUT-ON=True", "COM-OUT-PIN=RTS",
            "COM-IN-NUM=7", "COM-IN-ON=True", "COM-IN-PIN=CTS", "HF-ROGER-BEEP=False",
            "TS3-RX-DELAY=%d" % args.rx_delay, "TS3-PTT-DELAY=3"])
        rig.start_clientsim()
        rig.start_relaydeck()
        radio = rig.start_radio(7, ["--full-duplex"])
        k, h = rig.handler_of(uid, 60)
        rig.connected(h, 20, k)
        rig.wire(r"^SETINFO scHandler=%d" % h, 10, k)
        radio.log.wait(r"connected to ", 10)
        rig.radio_settled(radio, h, k)
        rig.ts_cmd("join S1 7 Alice channel=1")

        ts_on, ts_off, sq_on, sq_off = [], [], [], []
        for _ in range(args.edges):
            time.sleep(random.uniform(0, 0.1))   # spread the edges over the relay tick
            mark, rmark = rig.link.mark(), radio.log.mark()
            rig.ts.send("talk S1 7 start")
            _, rx = rig.wire(r"^RXVOICE scHandler=%d .*status=1" % h, 5, mark, "<")
            _, on = radio.log.wait(r" PTT ON ", 5, rmark)
            ts_on.append(radio_ms(on) - rx.ms)
            time.sleep(random.uniform(0.05, 0.15))
            mark, rmark = rig.link.mark(), radio.log.mark()
            rig.ts.send("talk S1 7 stop")
            _, rx = rig.wire(r"^RXVOICE scHandler=%d .*status=0" % h, 5, mark, "<")
            _, off = radio.log.wait(r" PTT OFF ", 5, rmark)
            ts_off.append(radio_ms(off) - rx.ms)
        time.sleep(0.6)   # past the pause after TeamSpeak speech
        for _ in range(args.edges):
            time.sleep(random.uniform(0, 0.1))
            mark, rmark = rig.link.mark(), radio.log.mark()
            radio.send("open")
            _, sq = radio.log.wait(r" SQUELCH OPEN", 5, rmark)
            _, ptt = rig.wire(r"^SETPTT scHandler=%d status=1" % h, 5, mark)
            sq_on.append(ptt.ms - radio_ms(sq))
            rig.wire(r"^SELFVAR scHandler=%d .*flag=10 .*newValue=0" % h, 5, mark, "<")
            time.sleep(random.uniform(0.05, 0.15))
            mark, rmark = rig.link.mark(), radio.log.mark()
            radio.send("close")
            _, sq = radio.log.wait(r" SQUELCH CLOSED", 5, rmark)
            _, ptt = rig.wire(r"^SETPTT scHandler=%d status=0" % h, 5, mark)
            sq_off.append(ptt.ms - radio_ms(sq))
            rig.wire(r"^SELFVAR scHandler=%d .*flag=10 .*newValue=1" % h, 5, mark, "<")

    rows = [summary("RXVOICE start -> radio PTT ON", ts_on),
            summary("RXVOICE end -> radio PTT OFF (incl. %d ms release delay)" % (args.rx_delay * 100), ts_off),
            summary("squelch open -> SETPTT status=1 on the link", sq_on),
            summary("squelch closed -> SETPTT status=0 on the link", sq_off)]
    if args.json:
        print(json.dumps(rows, indent=1))
    for r in rows:
        print("%-58s n=%3d  min %4d  p50 %4d  p90 %4d  p99 %4d  max %4d ms"
              % (r["name"], r["n"], r["min"], r["p50"], r["p90"], r["p99"], r["max"]))


if __name__ == "__main__":
    main()
