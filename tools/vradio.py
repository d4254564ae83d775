#!/usr/bin/env python3
"""vradio: a simulated radio on a Relaydeck virtual serial port.

Relaydeck opens a port whose comport.cfg section says `device=virtual:` (or
`device=virtual:/some/path.sock`) by listening on a Unix-domain socket, by default
<temp folder>/relaydeck-vcom/COM<n>.sock. This program connects to that socket as the
radio at the other end of the cable:

  * it prints its push-to-talk state whenever the PTT line changes (RTS by default,
    --ptt DTR or BREAK for the other outputs; every output change is shown);
  * it opens its squelch (sets the busy input: CTS by default, --squelch DCD, DSR or RI)
    now and then (--every / --length), or when told to on standard input. Like a real
    half-duplex radio it does not open the squelch by itself while it transmits, and
    keying it closes an open squelch (--full-duplex turns both off).

Protocol (text lines ending in "\\n"):
  Relaydeck -> radio: "RTS 1", "DTR 0", "BREAK 0" (all three on connect, then each write)
  radio -> Relaydeck: "CTS 1", "DSR 0", "RI 1", "DCD 1"; "STATUS" asks for the outputs.
  Inputs read low while no radio is connected; Relaydeck closing the port closes the
  socket, which this program reports as "port closed" (all lines down) before it waits
  for the port to come back.

Commands on standard input (one per line):
  open [SECONDS]   open the squelch (for SECONDS, else until "close")
  close            close the squelch
  CTS 1 / DCD 0 …  set any input line directly
  status           print the current line states
  quit             end the program

Every printed event line starts with the local time and the Unix time in ms, e.g.
  12:00:01.234 1700000001234 COM7 PTT ON (RTS 1)
so a test or demo can measure latencies from the output.

CM108 mode (--cm108 SOCKETPATH): the radio hangs on the GPIO pins of a CM108 sound card
instead of a serial port. The program stands in for the chip's hidraw node: it listens
on a Unix socket (SOCK_SEQPACKET) at SOCKETPATH, the node of the port's
`device=cm108:SOCKETPATH`, and takes every connection (the program's port,
`relaydeck-cli unkey`). Each message from them is an output report
(00 <mode> <data> <direction> 00); a pin counts as driven high when it is an output with
its data bit set (GPIO1 = bit 0, C-Media numbering). PTT is GPIO3 (--ptt GPIOn), the
squelch the volume-down button (--squelch VOLUP or GPIOn for a GPIO input); the squelch
goes to every connection as a 4-byte input report (buttons, GPIO levels, 0, 0), and a new
connection gets the present one at once. Like the chip, it keeps its pins when a
connection goes away, even one of a killed program: only a report changes them. Ending
this program is the card being pulled out (the connections close, the node goes). The
PTT and SQUELCH lines are those of a serial port, and input commands name the chip's
inputs: "VOLDN 1", "GPIO1 0".
"""

import argparse
import os
import random
import selectors
import socket
import stat
import sys
import tempfile
import time

OUTPUTS = ("RTS", "DTR", "BREAK")
INPUTS = {"CTS": "CTS", "DSR": "DSR", "RI": "RI", "RING": "RI", "DCD": "DCD", "RLSD": "DCD", "CD": "DCD"}
GPIOS = tuple("GPIO%d" % n for n in range(1, 9))
CM108_INPUTS = dict({"VOLUP": "VOLUP", "VOLDN": "VOLDN", "VOLDOWN": "VOLDN"}, **{g: g for g in GPIOS})
CM108_BUTTONS = {"VOLUP": 0x01, "VOLDN": 0x02}


def default_socket(port):
    name = port.upper()
    if not name.startswith("COM"):
        name = "COM" + name
    return os.path.join(tempfile.gettempdir(), "relaydeck-vcom", name + ".sock")


class Radio:
    input_names = INPUTS

    def __init__(self, args):
        self.args = args
        self.name = args.port.upper() if args.port else os.path.basename(args.socket)
        self.path = args.socket or default_socket(args.port)
        self.sock = None
        self.buf = b""
        self.outputs = {k: False for k in OUTPUTS}
        self.squelch_open = False
        self.squelch_until = None
        self.next_open = self._schedule(time.monotonic()) if args.every > 0 else None
        self.sel = selectors.DefaultSelector()
        self.stdin_open = not args.no_stdin
        self.stdin_buf = b""
        self.running = True
        self.last_attempt = 0.0
        self.waiting_reported = False
        if self.stdin_open:
            try:
                self.sel.register(sys.stdin, selectors.EVENT_READ, self.on_stdin)
            except (ValueError, PermissionError, OSError):
                self.stdin_open = False

    # ---- output -------------------------------------------------------------------------
    def say(self, text):
        now = time.time()
        stamp = time.strftime("%H:%M:%S", time.localtime(now)) + ".%03d" % int((now % 1) * 1000)
        print("%s %d %s %s" % (stamp, int(now * 1000), self.name, text), flush=True)

    def lines_text(self):
        outs = " ".join("%s=%d" % (k, self.outputs[k]) for k in OUTPUTS)
        return "%s  squelch %s (%s)" % (outs, "OPEN" if self.squelch_open else "closed", self.args.squelch)

    # ---- connection ---------------------------------------------------------------------
    def try_connect(self):
        now = time.monotonic()
        if now - self.last_attempt < 0.25:
            return
        self.last_attempt = now
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            s.connect(self.path)
        except OSError:
            s.close()
            if not self.waiting_reported:
                self.say("waiting for the port at %s" % self.path)
                self.waiting_reported = True
            return
        s.setblocking(False)
        self.sock = s
        self.buf = b""
        self.waiting_reported = False
        self.sel.register(s, selectors.EVENT_READ, self.on_port_data)
        self.say("connected to %s" % self.path)
        # The port forgets the inputs between connections: tell it the squelch again, and
        # say so, since whoever watches this output saw "all lines down" when it closed.
        if self.squelch_open:
            self.send("%s 1" % self.args.squelch)
            self.say("SQUELCH OPEN   (%s 1) - still receiving a signal" % self.args.squelch)

    def drop(self, why):
        if self.sock is None:
            return
        self.sel.unregister(self.sock)
        self.sock.close()
        self.sock = None
        was_keyed = self.outputs[self.args.ptt]
        self.outputs = {k: False for k in OUTPUTS}
        self.say("%s: all lines down%s" % (why, " - PTT OFF" if was_keyed else ""))
        if self.args.exit_on_close:
            self.running = False

    def send(self, line):
        if self.sock is None:
            return
        try:
            self.sock.sendall((line + "\n").encode())
        except OSError:
            self.drop("port closed")

    def on_port_data(self):
        if self.sock is None:
            return
        try:
            data = self.sock.recv(4096)
        except BlockingIOError:
            return
        except OSError:
            data = b""
        if not data:
            self.drop("port closed")
            return
        self.buf += data
        while b"\n" in self.buf:
            raw, self.buf = self.buf.split(b"\n", 1)
            self.on_port_line(raw.decode(errors="replace").strip())

    def on_port_line(self, line):
        parts = line.split()
        if len(parts) != 2 or parts[0] not in OUTPUTS or parts[1] not in ("0", "1"):
            return
        self.output_changed(parts[0], parts[1] == "1")

    def output_changed(self, pin, on):
        if self.outputs[pin] == on:
            return
        self.outputs[pin] = on
        if pin == self.args.ptt:
            if on and self.squelch_open and not self.args.full_duplex:
                self.set_squelch(False)   # keying the transmitter ends reception
            self.say("PTT %s (%s %d) - %s" % ("ON " if on else "OFF", pin, on,
                                              "transmitting" if on else "receiving"))
        else:
            self.say("%s %d" % (pin, on))

    def send_input(self, pin, on):
        self.send("%s %d" % (pin, 1 if on else 0))

    def connected(self):
        return self.sock is not None

    # ---- squelch ------------------------------------------------------------------------
    def _schedule(self, now):
        jitter = self.args.every * 0.3
        return now + max(0.5, self.args.every + random.uniform(-jitter, jitter))

    def set_squelch(self, on, seconds=None):
        self.squelch_until = time.monotonic() + seconds if (on and seconds) else None
        if on == self.squelch_open:
            return
        self.squelch_open = on
        self.send_input(self.args.squelch, on)
        self.say("SQUELCH %s (%s %d)%s" % ("OPEN  " if on else "CLOSED", self.args.squelch, on,
                                           " - receiving a signal" if on else ""))

    def on_command(self, line):
        words = line.split()
        if not words:
            return
        cmd = words[0].lower()
        if cmd == "open":
            secs = float(words[1]) if len(words) > 1 else None
            self.set_squelch(True, secs)
        elif cmd == "close":
            self.set_squelch(False)
        elif cmd == "status":
            self.say(self.lines_text())
        elif cmd in ("quit", "exit"):
            self.running = False
        elif words[0].upper() in self.input_names and len(words) == 2 and words[1] in ("0", "1"):
            pin = self.input_names[words[0].upper()]
            if pin == self.args.squelch:
                self.set_squelch(words[1] == "1")
            else:
                self.send_input(pin, words[1] == "1")
                self.say("%s %s" % (pin, words[1]))
        else:
            self.say("unknown command: %s (open [s], close, status, quit, %s 1...)" % (line, self.args.squelch))

    def on_stdin(self):
        # Raw reads: buffered readline() would hide a second queued line from select.
        try:
            data = os.read(sys.stdin.fileno(), 4096)
        except OSError:
            data = b""
        if not data:
            self.sel.unregister(sys.stdin)
            self.stdin_open = False
            return
        self.stdin_buf += data
        while b"\n" in self.stdin_buf:
            raw, self.stdin_buf = self.stdin_buf.split(b"\n", 1)
            self.on_command(raw.decode(errors="replace").strip())

    def tick(self):
        now = time.monotonic()
        if self.squelch_until is not None and now >= self.squelch_until:
            self.set_squelch(False)
        if self.next_open is not None and now >= self.next_open:
            if self.keyed() and not self.args.full_duplex:
                # A radio does not receive while it transmits: try again shortly.
                self.next_open = now + 1.0
                return
            if self.connected() and not self.squelch_open:
                self.set_squelch(True, self.args.length)
            self.next_open = self._schedule(now)

    def keyed(self):
        return self.outputs[self.args.ptt]

    # ---- main loop ----------------------------------------------------------------------
    def run(self):
        self.say("simulated radio: PTT on %s, squelch on %s%s" % (
            self.args.ptt, self.args.squelch,
            ", opens every ~%gs for %gs" % (self.args.every, self.args.length) if self.args.every > 0 else ""))
        deadline = time.monotonic() + self.args.duration if self.args.duration > 0 else None
        while self.running:
            if self.sock is None:
                self.try_connect()
            for key, _ in self.sel.select(timeout=0.05):
                key.data()
            self.tick()
            if deadline is not None and time.monotonic() >= deadline:
                break
        self.finish()
        return 0

    def finish(self):
        if self.sock is not None:
            self.set_squelch(False)
            self.sock.close()


class Cm108(Radio):
    """The CM108 chip of a radio interface, at the node where the program looks for it."""

    input_names = CM108_INPUTS

    def __init__(self, args):
        super().__init__(args)
        self.outputs = {g: False for g in GPIOS}
        self.buttons = 0
        self.gpio_in = 0
        self.peers = set()
        # A socket left behind by a stand-in that was killed (a card pulled out) goes.
        try:
            if stat.S_ISSOCK(os.lstat(self.path).st_mode):
                os.unlink(self.path)
        except OSError:
            pass
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        self.listener.bind(self.path)
        self.listener.listen(4)
        self.sel.register(self.listener, selectors.EVENT_READ, self.on_accept)

    def try_connect(self):
        pass  # the program comes to us

    def connected(self):
        return bool(self.peers)

    def lines_text(self):
        outs = " ".join("%s=%d" % (g, self.outputs[g]) for g in GPIOS)
        return "%s  squelch %s (%s)" % (outs, "OPEN" if self.squelch_open else "closed", self.args.squelch)

    def input_report(self):
        return bytes([self.buttons, self.gpio_in, 0, 0])

    def on_accept(self):
        try:
            conn, _ = self.listener.accept()
        except OSError:
            return
        conn.setblocking(False)
        self.peers.add(conn)
        self.sel.register(conn, selectors.EVENT_READ, lambda: self.on_report(conn))
        self.say("opened (%d connection%s)" % (len(self.peers), "" if len(self.peers) == 1 else "s"))
        # The program asks for the present input state when it opens the node.
        self.deliver(conn, self.input_report())

    def close_peer(self, conn):
        if conn not in self.peers:
            return
        self.peers.discard(conn)
        self.sel.unregister(conn)
        conn.close()
        high = [g for g in GPIOS if self.outputs[g]]
        self.say("closed; the chip keeps its pins (%s)%s" % (
            ", ".join(g + " high" for g in high) or "all low",
            " - still transmitting" if self.keyed() else ""))

    def deliver(self, conn, report):
        # A connection that went away is closed where it is read, once the reports it
        # wrote before (an unkey writes one and closes at once) are taken.
        try:
            conn.send(report)
        except OSError:
            pass

    def on_report(self, conn):
        reset = False
        while conn in self.peers:
            try:
                data = conn.recv(64)
            except BlockingIOError:
                return
            except ConnectionResetError:
                # The program closed with an input report unread (an unkey reads none):
                # Linux says so before it hands over the reports still queued, so read on.
                if not reset:
                    reset = True
                    continue
                data = b""
            except OSError:
                data = b""
            if not data:
                self.close_peer(conn)
                return
            self.take_report(data)

    def take_report(self, data):
        if len(data) != 5 or data[0] != 0:
            self.say("ignored a %d-byte write (%s)" % (len(data), data.hex(" ")))
            return
        if data[1] & 0x80:
            self.say("ignored an EEPROM write (%s)" % data.hex(" "))
            return
        levels, direction = data[2], data[3]
        for n, g in enumerate(GPIOS):
            bit = 1 << n
            self.output_changed(g, bool(direction & bit and levels & bit))

    def send_input(self, pin, on):
        if pin in CM108_BUTTONS:
            field, bit = "buttons", CM108_BUTTONS[pin]
        else:
            field, bit = "gpio_in", 1 << GPIOS.index(pin)
        setattr(self, field, getattr(self, field) | bit if on else getattr(self, field) & ~bit)
        for conn in list(self.peers):
            self.deliver(conn, self.input_report())

    def finish(self):
        for conn in list(self.peers):
            self.sel.unregister(conn)
            conn.close()
        self.peers.clear()
        self.listener.close()
        try:
            os.unlink(self.path)
        except OSError:
            pass


def main(argv=None):
    p = argparse.ArgumentParser(description="Simulated radio on a Relaydeck virtual serial port or CM108 card.",
                                epilog=__doc__[__doc__.index("CM108 mode"):],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    where = p.add_mutually_exclusive_group()
    where.add_argument("--port", default="COM7", help="port name, e.g. COM7 (default); socket in the temp folder")
    where.add_argument("--socket", help="socket path (the port's device=virtual:PATH)")
    where.add_argument("--cm108", metavar="SOCKETPATH",
                       help="be the CM108 chip of the port's device=cm108:SOCKETPATH instead (below)")
    p.add_argument("--ptt", type=str.upper,
                   help="output that keys this radio (RTS, DTR, BREAK; CM108: GPIO1..8; default RTS or GPIO3)")
    p.add_argument("--squelch", type=str.upper,
                   help="input set while the squelch is open (CTS, DSR, RI, DCD; CM108: VOLDN, VOLUP, "
                        "GPIO1..8; default CTS or VOLDN)")
    p.add_argument("--every", type=float, default=0.0,
                   help="open the squelch about every N seconds (0 = only on command)")
    p.add_argument("--length", type=float, default=3.0, help="seconds the squelch stays open each time")
    p.add_argument("--full-duplex", action="store_true",
                   help="receive while transmitting (by default keying closes the squelch and "
                        "the squelch does not open by itself while keyed)")
    p.add_argument("--duration", type=float, default=0.0, help="end after N seconds (0 = run until quit)")
    p.add_argument("--no-stdin", action="store_true", help="ignore standard input")
    p.add_argument("--exit-on-close", action="store_true", help="end when the port closes")
    p.add_argument("--seed", type=int, help="random seed for the squelch times")
    args = p.parse_args(argv)
    outputs, inputs = (GPIOS, CM108_INPUTS) if args.cm108 else (OUTPUTS, INPUTS)
    args.ptt = args.ptt or outputs[2 if args.cm108 else 0]
    args.squelch = inputs.get(args.squelch or ("VOLDN" if args.cm108 else "CTS"), args.squelch)
    if args.ptt not in outputs:
        p.error("--ptt %s: one of %s" % (args.ptt, ", ".join(outputs)))
    if args.squelch not in inputs.values():
        p.error("--squelch %s: one of %s" % (args.squelch, ", ".join(sorted(set(inputs.values())))))
    if args.seed is not None:
        random.seed(args.seed)
    if args.socket or args.cm108:
        args.port = None
        args.socket = args.socket or args.cm108
    try:
        return (Cm108 if args.cm108 else Radio)(args).run()
    except KeyboardInterrupt:
        return 0


if __name__ == "__main__":
    sys.exit(main())
