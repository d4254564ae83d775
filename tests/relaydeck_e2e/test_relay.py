#!/usr/bin/env python3
"""The voice relay through the real programs and a simulated radio on a virtual port:

  * a TeamSpeak user talks -> the radio's PTT goes on within a relay tick plus the line
    latency, and off again TS3-RX-DELAY ticks after the talk ends;
  * the radio's squelch opens -> SETPTT status=1 on the link and the plugin opens the
    microphone path (input deactivated := 0, flushed); it closes -> status=0;
  * a talker leaves the channel while talking (no talk end reaches the gateway) -> the
    radio's PTT is released;
  * the TeamSpeak client dies while the user talks -> the radio's PTT is released;
  * the program is ended (SIGTERM, the ordered quit) while the radio is keyed -> GW_STOP is
    sent, the port closes, the PTT line drops.
"""

import re
import signal

from rdharness import Check, Rig, run_main

TICK_MS = 100
RX_DELAY = 3          # ticks the radio stays keyed after the talk ends
SLACK_MS = 400        # scheduling slack on a loaded two-core machine


def radio_ms(entry):
    return int(entry.text.split()[1])


def body(args):
    with Rig(args.bin, keep=args.keep) as rig:
        check = Check(rig)
        rig.add_port(7)
        uid, path = rig.add_gateway("Relay Gateway", [
            "TS3-TX-PIN=COM", "COM-OUT-NUM=7", "COM-OUT-ON=True", "COM-OUT-PIN=RTS",
            "COM-IN-NUM=7", "COM-IN-ON=True", "COM-IN-PIN=CTS", "HF-ROGER-BEEP=False",
            "TS3-RX-DELAY=%d" % RX_DELAY, "TS3-PTT-DELAY=3"])
        rig.start_clientsim()
        rig.start_relaydeck(["--open", path])
        radio = rig.start_radio(7, ["--squelch", "CTS"])
        k, h = rig.handler_of(uid, 30)
        rig.connected(h, 15, k)
        rig.wire(r"^SETINFO scHandler=%d" % h, 10, k)
        radio.log.wait(r"connected to ", 10)
        rig.radio_settled(radio, h, k)
        rig.ts_cmd("join S1 7 Alice channel=1 uid=alice-uid-0001")

        # ---- TeamSpeak speech keys the radio -------------------------------------------
        mark = rig.link.mark()
        rmark = radio.log.mark()
        rig.ts_cmd("talk S1 7 start")
        _, rx_on = rig.wire(r"^RXVOICE scHandler=%d .*status=1" % h, 5, mark, "<")
        _, ptt_on = radio.log.wait(r" PTT ON ", 3, rmark)
        on_ms = radio_ms(ptt_on) - rx_on.ms
        check.expect(0 <= on_ms <= TICK_MS + SLACK_MS, "RXVOICE -> radio PTT ON in %d ms" % on_ms)

        mark = rig.link.mark()
        rmark = radio.log.mark()
        rig.ts_cmd("talk S1 7 stop")
        _, rx_off = rig.wire(r"^RXVOICE scHandler=%d .*status=0" % h, 5, mark, "<")
        _, ptt_off = radio.log.wait(r" PTT OFF ", 3, rmark)
        off_ms = radio_ms(ptt_off) - rx_off.ms
        check.expect((RX_DELAY - 1) * TICK_MS <= off_ms <= (RX_DELAY + 1) * TICK_MS + SLACK_MS,
                     "talk end -> radio PTT OFF in %d ms (release delay %d ms)" % (off_ms, RX_DELAY * TICK_MS))

        # ---- the squelch keys TeamSpeak -------------------------------------------------
        mark = rig.link.mark()
        tmark = rig.ts.log.mark()
        rmark = radio.log.mark()
        radio.send("open")
        _, sq = radio.log.wait(r" SQUELCH OPEN ", 3, rmark)
        i, setptt = rig.wire(r"^SETPTT scHandler=%d status=1\s*$" % h, 3, mark)
        check.expect(setptt.ms - radio_ms(sq) <= TICK_MS + SLACK_MS + 300,
                     "squelch -> SETPTT status=1 in %d ms (after the %d-tick pause)" % (setptt.ms - radio_ms(sq), 3))
        j, _ = rig.ts.log.wait(r"^CALL setClientSelfVariableAsInt\(%d, 10, 0\) = 0" % h, 3, tmark)
        rig.ts.log.wait(r"^CALL flushClientSelfUpdates\(%d," % h, 3, j)
        pre = [e.text for _, e in rig.ts.log.find_all(r"^CALL setPreProcessorConfigValue\(%d, " % h, tmark)]
        check.expect(any('"vad", "false"' in t for t in pre), "SETPTT switches voice activation off: %s" % pre[:4])
        rig.wire(r"^SELFVAR scHandler=%d .*flag=10 .*newValue=0" % h, 3, i, "<")
        # Confirmed by the client: it is not repeated while the squelch stays open.
        radio.send("status")
        radio.log.wait(r"squelch OPEN", 3, rmark)
        repeats = [e for _, e in rig.link.find_all(r"^SETPTT scHandler=%d status=1" % h, i + 1, ">")]
        check.expect(len(repeats) <= 1, "SETPTT not repeated after the client confirmed: %d" % len(repeats))

        mark = rig.link.mark()
        tmark = rig.ts.log.mark()
        radio.send("close")
        rig.wire(r"^SETPTT scHandler=%d status=0\s*$" % h, 3, mark)
        rig.ts.log.wait(r"^CALL setClientSelfVariableAsInt\(%d, 10, 1\) = 0" % h, 3, tmark)

        # ---- a talker who leaves the channel releases the radio ---------------------------
        # The client reports talk only within the own channel: no talk end follows her.
        rmark = radio.log.mark()
        rig.ts_cmd("talk S1 7 start")
        radio.log.wait(r" PTT ON ", 3, rmark)
        rmark, mark = radio.log.mark(), rig.link.mark()
        rig.ts_cmd("move S1 7 2")
        _, out = rig.wire(r"^USEROUT scHandler=%d " % h, 5, mark, "<")
        _, ptt_off = radio.log.wait(r" PTT OFF ", 3, rmark)
        off_ms = radio_ms(ptt_off) - out.ms
        check.expect(off_ms <= (RX_DELAY + 1) * TICK_MS + SLACK_MS,
                     "talker left the channel -> radio PTT OFF in %d ms" % off_ms)
        rig.ts_cmd("talk S1 7 stop")
        rig.ts_cmd("move S1 7 1")

        # ---- losing the link releases the radio ------------------------------------------
        rmark = radio.log.mark()
        rig.ts_cmd("talk S1 7 start")
        radio.log.wait(r" PTT ON ", 3, rmark)
        rmark = radio.log.mark()
        rig.ts.stop(signal.SIGKILL)
        _, drop = rig.link.wait(r"^\(closed by plugin\)", 5, 0, "*")
        _, off = radio.log.wait(r" PTT OFF |port closed", 3, rmark)
        check.expect("PTT OFF" in off.text and "port closed" not in off.text,
                     "link lost -> PTT released by the gateway (%s)" % off.text)
        check.expect(radio_ms(off) - drop.ms <= (RX_DELAY + 1) * TICK_MS + SLACK_MS,
                     "link lost -> PTT OFF in %d ms" % (radio_ms(off) - drop.ms))

        # ---- ending the program releases the radio ---------------------------------------
        rig.start_clientsim()
        k2, h2 = rig.handler_of(uid, 30, rig.link.mark())
        rig.connected(h2, 15, k2)
        rmark = radio.log.mark()
        rig.wire(r"^SPEAKERS scHandler=%d " % h2, 10, k2, "<")
        try:
            i, _ = radio.log.wait(r" PTT ON ", 1.0, rmark)
            radio.log.wait(r" PTT OFF ", 5, i)
        except TimeoutError:
            pass
        rig.ts_cmd("join S1 8 Bob channel=1")
        rmark = radio.log.mark()
        rig.ts_cmd("talk S1 8 start")
        radio.log.wait(r" PTT ON ", 3, rmark)
        rmark, mark = radio.log.mark(), rig.link.mark()
        code = rig.rd.stop(signal.SIGTERM, timeout=10)
        _, gone = radio.log.wait(r"PTT OFF|port closed", 5, rmark)
        check.expect(True, "program ended -> radio released (%s)" % gone.text)
        # SIGTERM runs the ordered quit: the gateway stops its server connection first.
        check.expect(code == 0, "relaydeck exit code %s after SIGTERM" % code)
        check.expect(rig.link.find(r"^GW_STOP .*scHandler=%d\b" % h2, mark, ">") is not None,
                     "GW_STOP for handler %d sent while quitting" % h2)
        return check.finish()


if __name__ == "__main__":
    run_main(body)
