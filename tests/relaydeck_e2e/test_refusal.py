#!/usr/bin/env python3
"""The TeamSpeak client cannot open the server connection twice: the plugin answers
GW_ERROR errorCode=1 each time and the gateway asks again with the same GW_CONNECT 5 s
later, until the connection opens; then it runs its on-connect commands."""

import re

from rdharness import Check, Rig, run_main


def body(args):
    with Rig(args.bin, keep=args.keep) as rig:
        check = Check(rig)
        uid, path = rig.add_gateway("Retry Gateway", ["TS3-NICK=Retry Gateway"])
        rig.start_clientsim()
        rig.ts_cmd("fail guiConnect 0x0701 2")
        rig.start_relaydeck(["--open", path])

        sends, errors = [], []
        start = 0
        for attempt in range(3):
            i, e = rig.wire(r"^GW_CONNECT type=gui gateUID=%s " % re.escape(uid), 25 if attempt == 0 else 8, start)
            sends.append(e)
            if attempt < 2:
                j, err = rig.wire(r"^GW_ERROR .*errorCode=1\b", 5, i, "<")
                check.expect("gateUID=" + uid in err.text, "attempt %d refused: %s" % (attempt + 1, err.text))
                errors.append(err)
            start = i + 1
        check.expect(sends[1].text == sends[0].text == sends[2].text, "the same GW_CONNECT line each time")
        for n in (1, 2):
            gap = sends[n].mono - errors[n - 1].mono
            # A countdown of 5 runs out on the 6th one-second tick after it was set.
            check.expect(4.0 <= gap <= 7.0, "attempt %d %.2f s after the refusal" % (n + 1, gap))
        k, h = rig.handler_of(uid, 5, start - 1)
        rig.connected(h, 10, k)
        rig.wire(r"^SETINFO scHandler=%d" % h, 10, k)
        starts = rig.link.find_all(r"^GW_START ", 0, ">")
        check.expect(len(starts) == 1, "asked once with GW_START, then only GW_CONNECT: %d GW_START" % len(starts))
        return check.finish()


if __name__ == "__main__":
    run_main(body)
