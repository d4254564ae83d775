#!/usr/bin/env python3
"""Chat commands through the real programs: a TeamSpeak user writes to the gateway's
client, the plugin turns it into a REMOTE event, Relaydeck answers in the user's chat.
With registration required for moving, an unregistered user's "#MOVE" is refused and the
gateway stays; a registered user's "#MOVE" brings the gateway into the user's channel."""

import os
import re

from rdharness import Check, Rig, run_main

HELP = ("[b][color=#000080]available Remote-Commands: #REGISTER / #VOLUME / #MOVE / #MUTE / #REST / "
        "#AWAY / #CALL / #INFO / #HELP[/color][/b]")
DENIED = "[b][color=#FF0000]Permission denied for REMOTE-Control-Command: MOVE[/color][/b]"


def reply_pattern(handler, text, to):
    return r'^CALL requestSendPrivateTextMsg\(%d, "%s", %d\b' % (handler, re.escape(text), to)


def body(args):
    with Rig(args.bin, keep=args.keep) as rig:
        check = Check(rig)
        uid, path = rig.add_gateway("Chat Gateway", ["REM-MOVE-REG=True", "TS3-MOVING-CLIENT=False"])
        # Bob is registered and may move the gateway; Alice has never registered.
        with open(os.path.join(rig.cfg, uid + ".rem"), "w", encoding="latin-1") as f:
            f.write("[bob-uid-0002]\r\nNICK=Bob\r\nREG=1\r\nIGNO=0\r\nmove=1\r\n")
        rig.start_clientsim()
        rig.start_relaydeck(["--open", path])
        k, h = rig.handler_of(uid, 30)
        rig.connected(h, 15, k)
        rig.wire(r"^SETINFO scHandler=%d" % h, 10, k)
        own = rig.own_client_id(h)
        rig.ts_cmd("join S1 7 Alice channel=2 uid=alice-uid-0001")
        rig.ts_cmd("join S1 8 Bob channel=2 uid=bob-uid-0002")

        # "#HELP" -> the help line in the sender's chat.
        mark, tmark = rig.link.mark(), rig.ts.log.mark()
        rig.ts_cmd('msg S1 7 private %d "#HELP"' % own)
        rig.wire(r"^REMOTE scHandler=%d .*fromID=7 .*cmd=HELP" % h, 5, mark, "<")
        rig.ts.log.wait(reply_pattern(h, HELP, 7), 5, tmark)

        # "#MOVE" with registration required: (user id, expected reply or None, moved?)
        cases = [(7, "Alice", DENIED, False), (8, "Bob", None, True)]
        for cid, who, reply, moved in cases:
            mark, tmark = rig.link.mark(), rig.ts.log.mark()
            rig.ts_cmd('msg S1 %d private %d "#MOVE"' % (cid, own))
            rig.wire(r"^REMOTE scHandler=%d .*fromID=%d .*cmd=MOVE" % (h, cid), 5, mark, "<")
            if moved:
                i, mv = rig.wire(r"^MOVETOCHAN scHandler=%d " % h, 5, mark)
                check.expect("chanID=2" in mv.text, "%s's #MOVE sends %s" % (who, mv.text))
                rig.ts.log.wait(r"^CALL requestClientMove\(%d, %d, 2," % (h, own), 5, tmark)
                rig.wire(r"^MOVED scHandler=%d " % h, 5, i, "<")
            else:
                rig.ts.log.wait(reply_pattern(h, reply, cid), 5, tmark)
                # The refusal is the whole reaction: nothing moves the gateway.
                rig.ts_cmd("print settle")
                moves = rig.link.find_all(r"^MOVETOCHAN ", mark, ">")
                check.expect(not moves, "%s's #MOVE refused, gateway not moved" % who)
                st = rig.ts_cmd("state %d" % h)
                _, state = rig.ts.log.wait(r"^INFO handler %d " % h, 5, st)
                check.expect(re.search(r"channel=1\b", state.text) is not None,
                             "gateway still in channel 1 (%s)" % state.text)
        st = rig.ts_cmd("state %d" % h)
        _, state = rig.ts.log.wait(r"^INFO handler %d " % h, 5, st)
        check.expect(re.search(r"channel=2\b", state.text) is not None, "gateway now in channel 2 (%s)" % state.text)
        return check.finish()


if __name__ == "__main__":
    run_main(body)
