#!/usr/bin/env python3
"""CPU use and resident memory of Relaydeck with N connected, idle gateways.

N gateway files with autorun go into a fresh home folder; clientsim with the plugin serves
them. Once every gateway has connected (its SETINFO is on the link), /proc/<pid>/stat and
/proc/<pid>/status of the relaydeck process are sampled once a second for the sampling
period: CPU as a share of one core (user + system), resident memory (VmRSS, mean and
peak) and the thread count.

    python3 tools/measure_idle.py --bin build/e2e/bin --gateways 20 --seconds 30
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "relaydeck_e2e"))
from rdharness import ROOT, Rig  # noqa: E402

CLK = os.sysconf("SC_CLK_TCK")


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])   # utime, stime


def status(pid):
    out = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            out[key] = value.strip()
    return out


def kb(text):
    return int(text.split()[0])


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "e2e", "bin"))
    ap.add_argument("--gateways", type=int, default=20)
    ap.add_argument("--seconds", type=float, default=30)
    ap.add_argument("--spread", action="store_true",
                    help="one TeamSpeak server per gateway (no GATE_PING/GATE_PONG between the gateways)")
    args = ap.parse_args()

    with Rig(args.bin) as rig:
        world = None
        if args.spread:
            world = []
            for i in range(args.gateways):
                world += ['server S%d 127.0.0.1:%d "Server %d"' % (i + 1, 9987 + i, i + 1),
                          'channel S%d 1 Lobby default' % (i + 1)]
        uids = [rig.add_gateway("Idle Gateway %02d" % (i + 1),
                                ["TS3-HOST=127.0.0.1:%d" % (9987 + (i if args.spread else 0))])[0]
                for i in range(args.gateways)]
        rig.start_clientsim(world)
        t0 = time.monotonic()
        rd = rig.start_relaydeck()
        handlers = {}
        for uid in uids:
            k, h = rig.handler_of(uid, 60 + 3 * args.gateways)
            rig.wire(r"^SETINFO scHandler=%d" % h, 30, k)
            handlers[uid] = h
        connected_after = time.monotonic() - t0
        print("%d gateways connected %.1f s after start; settling 5 s" % (len(handlers), connected_after), flush=True)
        time.sleep(5)

        pid = rd.pid
        c0, w0 = cpu_ticks(pid), time.monotonic()
        ts0 = cpu_ticks(rig.ts.pid)
        rss, threads = [], 0
        link0 = rig.link.mark()
        while time.monotonic() - w0 < args.seconds:
            st = status(pid)
            rss.append(kb(st["VmRSS"]))
            threads = max(threads, int(st["Threads"]))
            time.sleep(1)
        c1, w1 = cpu_ticks(pid), time.monotonic()
        ts1 = cpu_ticks(rig.ts.pid)
        st = status(pid)
        period = rig.link.snapshot(link0)
        lines = len(period)
        words = {}
        for e in period:
            key = e.who + " " + e.text.split(" ", 1)[0]
            words[key] = words.get(key, 0) + 1
        top = sorted(words.items(), key=lambda kv: -kv[1])[:6]
        still = all(rig.link.find(r"^GW_PING scHandler=%d " % h, link0, ">") for h in handlers.values())
        wall = w1 - w0
        cpu = (c1 - c0) / CLK / wall * 100
        print("relaydeck, %d connected idle gateways (%s), %.0f s sampled:"
              % (len(handlers), "one server each" if args.spread else "all on one server", wall))
        print("  CPU %.2f %% of one core (user+system %.2f s)" % (cpu, (c1 - c0) / CLK))
        print("  RSS mean %.1f MB, peak %.1f MB (VmHWM %.1f MB), %d threads"
              % (sum(rss) / len(rss) / 1024, max(rss) / 1024, kb(st["VmHWM"]) / 1024, threads))
        print("  link lines in the period: %d (%.1f/s); every gateway kept pinging: %s"
              % (lines, lines / wall, "yes" if still else "no"))
        print("  most frequent: " + ", ".join("%s x%d" % kv for kv in top))
        print("  clientsim with the plugin: CPU %.2f %% of one core" % ((ts1 - ts0) / CLK / wall * 100))
        print("  goal: under 1 %% CPU and 120 MB -> %s"
              % ("met" if cpu < 1.0 and max(rss) / 1024 < 120 else "NOT met"))


if __name__ == "__main__":
    main()
