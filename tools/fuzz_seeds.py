#!/usr/bin/env python3
"""Seed corpus of one fuzz target, cut out of the unit tests' own vectors.

    tools/fuzz_seeds.py --target NAME --out DIR

Reads the test sources of the module the target belongs to (string literals, the link
lines the gateway tests feed, the WAV headers and tones the audio tests build) and
writes one file per seed into DIR (replacing what was there). Runs at build time, so new
test vectors reach the fuzzers without a corpus to keep in step by hand.
"""
import argparse
import base64
import hashlib
import math
import os
import re
import shutil
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

_ESC = {'n': b'\n', 'r': b'\r', 't': b'\t', '0': b'\0', '\\': b'\\', '"': b'"', "'": b"'", 'a': b'\a',
        'b': b'\b', 'f': b'\f', 'v': b'\v', '?': b'?'}


def _decode_body(body):
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != '\\':
            out += c.encode('utf-8')
            i += 1
            continue
        n = body[i + 1]
        if n == 'x':
            m = re.match(r'[0-9a-fA-F]+', body[i + 2:])
            out.append(int(m.group(0), 16) & 0xFF)
            i += 2 + len(m.group(0))
        elif n in '01234567':
            m = re.match(r'[0-7]{1,3}', body[i + 1:])
            out.append(int(m.group(0), 8) & 0xFF)
            i += 1 + len(m.group(0))
        else:
            out += _ESC.get(n, n.encode())
            i += 2
    return bytes(out)


_LIT = re.compile(r'(?:u8|L|u|U)?"((?:[^"\\\n]|\\.)*)"')
_RAW = re.compile(r'R"\(((?:.|\n)*?)\)"')


def literals(text):
    """String literals in C++ source, adjacent ones joined."""
    out = []
    pos = 0
    text = re.sub(r'//[^\n]*', lambda m: '' if '"' not in m.group(0) else m.group(0), text)
    for m in _RAW.finditer(text):
        out.append(m.group(1).encode())
    for m in _LIT.finditer(text):
        value = _decode_body(m.group(1))
        between = text[pos:m.start()]
        if out and pos and between.strip() == '':
            out[-1] += value
        else:
            out.append(value)
        pos = m.end()
    return out


def read(*parts):
    path = os.path.join(ROOT, *parts)
    if not os.path.exists(path):
        return ''
    with open(path, encoding='utf-8', errors='replace') as f:
        return f.read()


def sources(folder):
    path = os.path.join(ROOT, folder)
    if not os.path.isdir(path):
        return ''
    return '\n'.join(read(folder, f) for f in sorted(os.listdir(path)) if f.endswith(('.cpp', '.h')))


def test_bodies(text):
    """(name, body) of each TEST/TEST_F in the text."""
    out = []
    starts = [m for m in re.finditer(r'\bTEST(?:_F|_P)?\s*\(\s*\w+\s*,\s*(\w+)\s*\)', text)]
    for i, m in enumerate(starts):
        end = starts[i + 1].start() if i + 1 < len(starts) else len(text)
        out.append((m.group(1), text[m.end():end]))
    return out


# --------------------------------------------------------------------- targets

def seeds_session():
    text = sources('app/session/tests')
    lines = [l for l in literals(text) if re.match(rb'^(<HELLO>|[A-Z_]{3,}[ \r]|[A-Z_]{3,}$)', l)]
    seeds = list(lines)
    seeds.append(b'\xff'.join(lines))
    seeds.append(b'<HELLO>\r\0' + b'\xff\xfe'.join(lines))
    seeds.append(b'\xfd'.join(l[: len(l) // 2] + b'\xff' + l[len(l) // 2:] for l in lines[:40]))
    return seeds


_CALL = re.compile(r'\bline\(\s*"([A-Z_0-9]+)"\s*,\s*\{((?:[^{}]|\{[^{}]*\})*)\}\s*\)|\bticks\((\d+)\)|\bseconds\((\d+)\)')


def dispatch_lines(body):
    out = []
    for m in _CALL.finditer(body):
        if m.group(1):
            items = [_decode_body(x) for x in re.findall(r'"((?:[^"\\]|\\.)*)"', m.group(2))]
            out.append(m.group(1).encode() + b' ' + b' '.join(items))
        elif m.group(3):
            n = int(m.group(3))
            while n > 0:
                out.append(b'\x01' + bytes([min(n, 64) - 1]))
                n -= 64
        else:
            out += [b'\x02'] * min(int(m.group(4)), 40)
    return out


def seeds_dispatch():
    seeds = []
    folder = 'app/gateway/tests'
    for f in sorted(os.listdir(os.path.join(ROOT, folder))):
        if not f.endswith('.cpp'):
            continue
        for i, (_, body) in enumerate(test_bodies(read(folder, f))):
            lines = dispatch_lines(body)
            if lines:
                mask = bytes([i & 0xFF, (i * 7) & 0xFF]) if i % 3 else b'\0\0'
                seeds.append(mask + b'\n'.join(lines) + b'\n')
    # Squelch, lamp, digits and settings steps the tests reach through the window.
    seeds.append(b'\x01\x00' + b'\n'.join([b'\x06\x01', b'\x01\x0a', b'\x06\x00', b'\x01\x14', b'\x08', b'\x01\x05',
                                           b'\x09', b'\x05*', b'\x0512', b'\x05#', b'\x07HF-ROGER-BEEP=True',
                                           b'RXVOICE scHandler=3 status=1 clientID=20 speakers=1', b'\x01\x3f',
                                           b'\x0b', b'\x01\x3f', b'\x0e\x01', b'\x0e\x05', b'\x02', b'\x03', b'\x04']))
    return seeds


def seeds_settings():
    text = sources('app/config/tests')
    lits = [l for l in literals(text) if b'=' in l or re.fullmatch(rb'[A-Za-z0-9+/=\s]{4,}', l)]
    seeds = list(lits)
    entries = [l for l in lits if re.fullmatch(rb'[^\r\n=]+=[^\r\n]*', l)]
    body = b''.join(e + b'\r\n' for e in entries)
    seeds += [body, base64.b64encode(body), base64.b64encode(body[:200]) + b'\r\n']
    return seeds


def seeds_ini():
    text = sources('app/config/tests')
    docs = [l for l in literals(text) if b'[' in l and b'=' in l or l.startswith(b';')]
    seeds = []
    for i, d in enumerate(docs):
        seeds.append(d)
        seeds.append(d + b'\0' + [b'COM1\x01Baud\x019600', b'Settings\x01Key\x01 "quoted" ',
                                   b'New Section\x01A\x01b=c'][i % 3])
    return seeds


def wav_bytes(declared, present, riff=0, fmt_size=16, channels=1, rate=44100, bits=16, extra_chunk=b''):
    block = channels * bits // 8
    fmt = struct.pack('<HHIIHH', 1, channels, rate, rate * block, block, bits) + b'\0' * (fmt_size - 16)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', fmt_size) + fmt + extra_chunk + b'data' + struct.pack('<I', declared)
    return b'RIFF' + struct.pack('<I', riff or 36 + declared) + body + b'\0' * present


def seeds_wav():
    # The shapes the length test builds, and a few more the reader must walk over.
    return [wav_bytes(88200, 88200), wav_bytes(8820, 88200), wav_bytes(88200, 8820), wav_bytes(0, 0),
            wav_bytes(88200, 100, riff=8), wav_bytes(1000, 1000, fmt_size=18, channels=2, bits=8, rate=8000),
            wav_bytes(500, 500, extra_chunk=b'LIST' + struct.pack('<I', 4) + b'INFO'),
            wav_bytes(500, 500, extra_chunk=b'junk' + struct.pack('<I', 3) + b'abc\0'),
            b'RIFF\0\0\0\0WAVE', b'RIFF']


DTMF = {'1': (697, 1209), '5': (770, 1336), '9': (852, 1477), '#': (941, 1477), 'D': (941, 1633)}


def dtmf_pcm(digits, rate, channels, bits):
    frames = []
    for d in digits:
        lo, hi = DTMF[d]
        for n in range(int(rate * 0.08)):
            v = 0.35 * math.sin(2 * math.pi * lo * n / rate) + 0.35 * math.sin(2 * math.pi * hi * n / rate)
            frames.append(v)
        frames += [0.0] * int(rate * 0.06)
    out = bytearray()
    for v in frames:
        for _ in range(channels):
            if bits == 8:
                out.append(int(128 + 127 * v) & 0xFF)
            else:
                out += struct.pack('<h', int(32767 * v))
    return bytes(out)


def dtmf_seed(digits, rate, channels, bits, chunk):
    bits_code = {8: 0, 16: 1}[bits]
    r = rate - 4000
    head = bytes([r & 0xFF, (r >> 8) & 0xFF, (r >> 16) & 0x0F,
                  bits_code | (channels << 3)]) + struct.pack('<H', 1000) + b'\0\0'
    pcm = dtmf_pcm(digits, rate, channels, bits)
    out = bytearray(head)
    step = chunk * 8
    for i in range(0, len(pcm), step):
        part = pcm[i:i + step]
        out.append(len(part) // 8 or 1)
        out += part[: (len(part) // 8 or 1) * 8]
    return bytes(out)


def seeds_dtmf():
    return [dtmf_seed('159', 8000, 1, 16, 200), dtmf_seed('#D', 44100, 2, 16, 250), dtmf_seed('1', 11025, 1, 8, 100),
            dtmf_seed('95', 22050, 1, 16, 254)]


def seeds_directory():
    text = sources('app/directory/tests')
    xml = [l for l in literals(text) if b'<' in l]
    requests = [b'\0SHOW-NEW\x01appUID=[APP]#{1}#[RDK4]', b'\0DOWNLOAD\x01plugVERS=4.0.2\x01plugFILE=Relaydeck_Link.so',
                b'\0GATE-ONLINE\x01gateName=Relais Nord \xc3\xbc&=%\x01gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}']
    return [x + requests[i % len(requests)] for i, x in enumerate(xml)] + xml + requests


def seeds_commands():
    text = sources('plugin/tests')
    lines = [l for l in literals(text) if re.match(rb'^[A-Z_]{3,}( |$)', l)]
    return [l + b'\r' for l in lines] + [b'\r'.join(lines) + b'\r']


def seeds_events():
    # op, argument byte, then the op's bytes (texts carry one length byte).
    t = lambda s: bytes([len(s)]) + s
    talk = b'\x03\x05\x01\x00'
    return [
        b'\x00\x00\x04\x00' + talk + b'\x03\x05\x00\x00' + b'\x0e\x00',
        b'\x01\x05\x00' + t(b'moved') + b'\x02\x09' + t(b'Mover') + t(b'uid+/=') + t(b'msg') + b'\x01',
        b'\x04\x05' + t(b'Anna') + t(b'x+/y=') + t(b'#REGISTER') + b'\x01' + b'\x04\x09' + t(b'B') + t(b'u') + t(b'#MUTE 1 2') + b'\x02',
        b'\x05\x05' + t(b'Poker') + t(b'pu') + t(b'hello ^ | \\') + b'\x07\x00' + t(b'err') + t(b'rc') + t(b'') + b'\x00\x01',
        b'\x09\x00\x01' + t(b'GATE_PING 1') + b'\x0a\x00\x01\x02\x03\x00\x00' + b'\x10\x05' + talk,
        b'\x06\x00' + t(b'0') + t(b'1') + b'\x03' + b'\x0d\x00\x00\x01\x00' + b'\x0f\x00' + t(b'hello'),
    ]


TARGETS = {'session': seeds_session, 'dispatch': seeds_dispatch, 'settings': seeds_settings, 'ini': seeds_ini,
           'wav': seeds_wav, 'dtmf': seeds_dtmf, 'directory': seeds_directory, 'command': seeds_commands,
           'events': seeds_events}


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--target', required=True, choices=sorted(TARGETS))
    ap.add_argument('--out', required=True)
    args = ap.parse_args()
    seeds = [s for s in TARGETS[args.target]() if s]
    if os.path.isdir(args.out):
        shutil.rmtree(args.out)
    os.makedirs(args.out)
    seen = set()
    for s in seeds:
        h = hashlib.sha1(s).hexdigest()
        if h in seen:
            continue
        seen.add(h)
        with open(os.path.join(args.out, h), 'wb') as f:
            f.write(s)
    if not seen:
        sys.exit('no seeds for ' + args.target)
    print(f'{args.target}: {len(seen)} seeds in {args.out}')


if __name__ == '__main__':
    main()
