#!/usr/bin/env python3
"""Two gateways through the real programs: one started by the start window (autorun), one
given with --open. Each announces itself, asks for its server connection with every item
escaped in order, learns its handler and runs its on-connect commands in order; the
substitute client carries them out. Then the TeamSpeak client dies: every gateway goes
idle, and after the link is back each one asks again, 5 s apart, after STARTING."""

import os
import re
import signal
import subprocess
import time

from rdharness import Check, Rig, escape, parse_line, run_main

ON_CONNECT = ["SETNICK", "SETCHCOM", "SETWAVELEVEL", "SETAFK", "SETMUTE", "SETRUHE", "GETSPEAKER", "SETINFO"]
CONNECT_KEYS = ["type", "gateUID", "nick", "host", "SndIn", "SndOut", "channel", "ident", "servPass", "chanPass"]


def expect_connect_line(check, text, uid, values):
    word, items = parse_line(text)
    keys = [k for k, _ in items]
    check.expect(keys == CONNECT_KEYS, "GW_CONNECT items in order: %s" % keys)
    got = dict(items)
    want = {"type": "gui", "gateUID": escape(uid)}
    want.update({k: escape(v) for k, v in values.items()})
    for k, v in want.items():
        check.expect(got.get(k) == v, "GW_CONNECT %s=%r (got %r)" % (k, v, got.get(k)))


def on_connect_order(rig, handler, start):
    """Command words Relaydeck sent for this handler from `start` on, first occurrence each."""
    seen = []
    for _, e in rig.link.find_all(r"^[A-Z_]+ scHandler=%d(\s|$)" % handler, start, ">"):
        word = e.text.split(" ", 1)[0]
        if word in ON_CONNECT and word not in seen:
            seen.append(word)
    return seen


def body(args):
    with Rig(args.bin, keep=args.keep) as rig:
        check = Check(rig)
        # Values with blanks, slashes, bars and equals signs: each must arrive escaped.
        a_vals = {"nick": "Relay Deck/A = 1|x", "host": "127.0.0.1:9987", "SndIn": "Radio Codec",
                  "SndOut": "Radio Speaker", "channel": "Lobby/Net Control", "ident": "Net Ident",
                  "servPass": "pw 1=2", "chanPass": "a\\b"}
        uid_a, _ = rig.add_gateway("Gateway A", [
            "TS3-NICK=" + a_vals["nick"], "TS3-SND-IN-PROF=Radio Codec", "TS3-SND-OUT-PROF=Radio Speaker",
            "TS3-START-CHANNEL=Lobby/Net Control", "TS3-IDENTIS-PROF=Net Ident", "TS3-SERV-PASSWD=pw 1=2", "TS3-CHAN-PASSWD=a\\b",
            "TS3-INFO-TXT=Relay | 2 m band", "TS3-CMDR-ON-ON=True", "AUDIO-WAVE-VOLUME=-12"], autorun=True)
        uid_b, path_b = rig.add_gateway("Gateway B", ["TS3-NICK=Gateway B"], autorun=False)
        # The files are what the program's own reader sees (relaydeck-cli decodes them).
        cli = os.path.join(rig.bin, "relaydeck-cli")
        if os.path.exists(cli):
            text = subprocess.run([cli, "decode-config", os.path.join(rig.cfg, uid_a + ".rdk")],
                                  capture_output=True, timeout=10).stdout.decode("latin-1")
            check.expect("TS3-NICK=Relay Deck/A = 1|x" in text.splitlines(), "gateway file decodes as written")

        rig.start_clientsim()
        rig.start_relaydeck(["--open", path_b])

        # ---- first connection of each gateway ------------------------------------------
        handlers = {}
        for uid, vals in ((uid_a, a_vals), (uid_b, None)):
            i, e = rig.wire(r"^GW_START gateUID=%s\s*$" % re.escape(uid), 30)
            j, c = rig.wire(r"^GW_CONNECT type=gui gateUID=%s " % re.escape(uid), 10, i)
            if vals:
                expect_connect_line(check, c.text, uid, vals)
            k, h = rig.handler_of(uid, 10, j)
            handlers[uid] = h
            rig.connected(h, 15, k)
            rig.wire(r"^SETINFO scHandler=%d" % h, 10, k)
            order = on_connect_order(rig, h, k)
            check.expect(order == ON_CONNECT, "on-connect commands of handler %d in order: %s" % (h, order))
        check.expect(handlers[uid_a] != handlers[uid_b], "two server connections: %s" % handlers)

        ha = handlers[uid_a]
        sent = {w: rig.link.find(r"^%s scHandler=%d" % (w, ha), 0, ">")[1].text for w in ON_CONNECT}
        check.expect(sent["SETNICK"] == "SETNICK scHandler=%d nickname=%s" % (ha, escape(a_vals["nick"])),
                     "SETNICK escaped: " + sent["SETNICK"])
        check.expect(re.search(r"status=1\b", sent["SETCHCOM"]) is not None, "SETCHCOM status=1: " + sent["SETCHCOM"])
        check.expect(re.search(r"level=-12\b", sent["SETWAVELEVEL"]) is not None, "SETWAVELEVEL: " + sent["SETWAVELEVEL"])
        for w in ("SETAFK", "SETMUTE", "SETRUHE"):
            check.expect(re.search(r"status=0\b", sent[w]) is not None, "%s status=0: %s" % (w, sent[w]))
        check.expect(sent["SETINFO"].endswith("text=" + escape("Relay | 2 m band")), "SETINFO escaped: " + sent["SETINFO"])

        # The client's side: the connection was opened with the unescaped values, the
        # nickname was set, and the plugin reports the handler connected.
        _, gui = rig.ts.log.wait(r'^CALL guiConnect\(.*"Relay Deck/A = 1\|x"', 5)
        for v in ('"127.0.0.1:9987"', '"pw 1=2"', '"Lobby/Net Control"', '"a\\\\b"', '"Radio Codec"', '"Radio Speaker"', '"Net Ident"'):
            check.expect(v in gui.text, "guiConnect carries %s" % v)
        rig.ts.log.wait(r'^CALL setClientSelfVariableAsString\(%d, 1, "Relay Deck/A = 1\|x"\)' % ha, 5)
        st = rig.ts_cmd("state %d" % ha)
        _, state = rig.ts.log.wait(r"^INFO handler %d " % ha, 5, st)
        check.expect("status=4" in state.text, "clientsim: handler %d connected (%s)" % (ha, state.text))

        # Keep-alive: a gateway ping is answered and acknowledged.
        p, ping = rig.wire(r"^GW_PING scHandler=(%d|%d) " % (ha, handlers[uid_b]), 12)
        stamp = re.search(r"timestamp=(\d+)", ping.text).group(1)
        q, _ = rig.wire(r"^GW_PONG .*timestamp=%s" % stamp, 5, p, "<")
        rig.wire(r"^GW_PQNG .*timestamp=%s" % stamp, 5, q)

        # ---- the TeamSpeak client dies; a new one starts on the same port --------------
        rig.ts.stop(signal.SIGKILL)
        drop, _ = rig.link.wait(r"^\(closed by plugin\)", 10, p, "*")
        t_drop = time.monotonic()
        rig.start_clientsim()
        s, sess = rig.link.wait(r"^\(session 2\)", 25, drop, "*")
        st_i, starting = rig.wire(r"^STARTING\b", 10, s, "<")
        # Every gateway is idle: nothing addresses the old handlers in the new session
        # before the gateways have asked again.
        first_start, fs = rig.wire(r"^GW_START ", 15, st_i)
        stale = rig.link.find_all(r"scHandler=(%d|%d)\b" % (ha, handlers[uid_b]), s, ">")
        stale = [e for i, e in stale if i < first_start]
        check.expect(not stale, "no line for an old handler before the gateways ask again: %s" % stale)
        second_start, ss = rig.wire(r"^GW_START ", 15, first_start + 1)
        starters = [re.search(r"gateUID=(\S+)", e.text).group(1) for e in (fs, ss)]
        check.expect(sorted(starters) == sorted([uid_a, uid_b]), "both gateways ask again: %s" % starters)
        gap1 = fs.mono - starting.mono
        gap2 = ss.mono - fs.mono
        check.expect(4.0 <= gap1 <= 7.0, "first GW_START %.2f s after STARTING" % gap1)
        check.expect(4.0 <= gap2 <= 6.5, "second GW_START %.2f s after the first" % gap2)
        for uid in (uid_a, uid_b):
            k, h = rig.handler_of(uid, 10, st_i)
            rig.connected(h, 15, k)
            rig.wire(r"^SETINFO scHandler=%d" % h, 10, k)
            check.expect(on_connect_order(rig, h, k) == ON_CONNECT, "gateway %s connected again as handler %d" % (uid, h))
        print("link lost -> both gateways connected again after %.1f s" % (time.monotonic() - t_drop))
        return check.finish()


if __name__ == "__main__":
    run_main(body)
