#!/usr/bin/env python3
"""Cold start of the relaydeck program, measured from outside.

The program has no "exit after show" switch, so two marks that follow the first shown
window are watched:
  * shown:  the main window's first show opens the start window, which opens the ports of
            comport.cfg; a virtual port starts listening on its socket file then;
  * link:   the first connection to the link port (the session's first one-second tick
            after the window was created).
Each run uses a fresh home folder with one virtual port and no gateways; the figures are
from exec (just before the process is spawned) to each mark.

    python3 tools/measure_startup.py --bin build/e2e/bin --runs 10
"""

import argparse
import os
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "relaydeck_e2e"))
from rdharness import ROOT, Rig  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "e2e", "bin"))
    ap.add_argument("--runs", type=int, default=10)
    args = ap.parse_args()

    shown, link = [], []
    for run in range(args.runs):
        with Rig(args.bin) as rig:
            sock = rig.add_port(7)
            # Nothing listens behind the tap: its log still records the connection attempt.
            t0 = time.monotonic()
            rd = rig.start_relaydeck()
            t_shown = None
            deadline = t0 + 20
            while time.monotonic() < deadline and t_shown is None:
                if os.path.exists(sock):
                    t_shown = time.monotonic()
                    break
                time.sleep(0.0005)
            _, e = rig.link.wait(r"^\(plugin not reachable\)|^\(session", 20, 0, "*")
            if t_shown is None:
                raise SystemExit("run %d: the virtual port never opened" % run)
            shown.append((t_shown - t0) * 1000)
            link.append((e.mono - t0) * 1000)
            rd.stop(signal.SIGTERM)
        print("run %2d: window shown (port opened) %6.0f ms, first link connect %6.0f ms"
              % (run + 1, shown[-1], link[-1]), flush=True)

    def med(v):
        s = sorted(v)
        return s[len(s) // 2]
    print("cold start over %d runs: shown median %.0f ms (min %.0f, max %.0f); first link connect median %.0f ms"
          % (args.runs, med(shown), min(shown), max(shown), med(link)))


if __name__ == "__main__":
    main()
