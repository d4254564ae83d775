#!/usr/bin/env python3
"""Crash-consistent saves: kill -9 a program while it saves, then check every file.

    tools/killsave.py --bin BIN --rounds N [--seed S] [--home DIR] [--max-delay SEC]

BIN is rd_savestorm (tests/savestorm.cpp), which saves the gateway file, main.cfg, the
user register (.rem), comport.cfg and rogerbeep.cfg in a loop through the program's own
save code and reports "W FILE GEN" before and "D FILE GEN" after each save. Each round
starts it on the same home folder, kills it with SIGKILL after a random time and runs
"BIN HOME --verify": every file must parse and hold either the generation saved last or
the one that was being saved when the kill came. Prints one line,
"killsave: 0 corrupt of 1000 rounds (...)", and exits 1 when any file was corrupt.
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time


def run_round(binary, home, delay):
    """One kill; returns (last done generation, generation in flight) per file."""
    proc = subprocess.Popen([binary, home], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    lines = []

    def reader():
        for line in proc.stdout:
            lines.append(line.split())

    t = threading.Thread(target=reader, daemon=True)
    t.start()
    time.sleep(delay)
    proc.send_signal(signal.SIGKILL)
    proc.wait()
    t.join(5)
    err = proc.stderr.read()
    done, flight = {}, {}
    for parts in lines:
        if len(parts) != 3:
            continue
        kind, name, gen = parts[0], parts[1], int(parts[2])
        if kind == 'W':
            flight[name] = gen
        elif kind == 'D':
            done[name] = gen
            flight.pop(name, None)
    saves = sum(1 for p in lines if p and p[0] == 'D')
    return done, flight, saves, proc.returncode, err


def verify(binary, home):
    out = subprocess.run([binary, home, '--verify'], capture_output=True, text=True, timeout=60)
    if out.returncode != 0:
        raise RuntimeError('verify failed: ' + out.stderr)
    result = {}
    for line in out.stdout.splitlines():
        name, _, rest = line.partition(' ')
        result[name] = rest
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--bin', required=True, help='rd_savestorm')
    ap.add_argument('--rounds', type=int, default=1000)
    ap.add_argument('--seed', type=int, default=None)
    ap.add_argument('--home', help='folder to use (default: a fresh temporary one, removed afterwards)')
    ap.add_argument('--max-delay', type=float, default=0.6, help='longest time before the kill (s)')
    args = ap.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    home = args.home or tempfile.mkdtemp(prefix='rd-killsave-')
    os.makedirs(home, exist_ok=True)

    known = {}          # file -> generation the last verify saw
    corrupt = 0
    checks = 0
    mid_write = 0       # kills that came while a save was under way
    saves = 0
    started = time.monotonic()
    try:
        for rnd in range(1, args.rounds + 1):
            delay = rng.uniform(0.02, args.max_delay)
            done, flight, n, rc, err = run_round(args.bin, home, delay)
            if rc != -signal.SIGKILL:
                print(f'killsave: round {rnd}: the saver ended by itself ({rc}): {err.strip()}', file=sys.stderr)
                return 2
            saves += n
            if flight:
                mid_write += 1
            state = verify(args.bin, home)
            for name, text in state.items():
                checks += 1
                allowed = set()
                if name in done:
                    allowed.add(str(done[name]))
                elif name in known:
                    allowed.add(known[name])
                else:
                    allowed.add('none')
                if name in flight:
                    allowed.add(str(flight[name]))
                if text not in allowed:
                    corrupt += 1
                    print(f'killsave: round {rnd} (seed {seed}, kill after {delay:.3f} s): {name} is "{text}", '
                          f'expected one of {sorted(allowed)}', file=sys.stderr)
                known[name] = text
        leftovers = [f for f in os.listdir(os.path.join(home, 'config'))
                     if not f.endswith(('.rdk', '.rem', '.cfg'))]
    finally:
        if not args.home:
            shutil.rmtree(home, ignore_errors=True)
    print(f'killsave: {corrupt} corrupt of {args.rounds} rounds ({checks} file checks, {saves} saves, {mid_write} kills '
          f'during a save, seed {seed}, {len(leftovers)} files left beside them, {time.monotonic() - started:.0f} s)')
    return 1 if corrupt else 0


if __name__ == '__main__':
    sys.exit(main())
