#!/bin/sh
# Generates the spoken announcement files of every language:
#   OUTDIR/<language>/S0001.wav  user joined
#   OUTDIR/<language>/S0002.wav  user left
#   OUTDIR/<language>/S0003.wav  gateway offline
#   OUTDIR/<language>/S0004.wav  gateway online
# as 44100 Hz 16-bit mono PCM WAV, with espeak-ng (speech) and sox (format, level).
# Usage: make_sounds.sh OUTDIR
set -eu

out=${1:?usage: make_sounds.sh OUTDIR}
command -v espeak-ng >/dev/null || { echo "make_sounds.sh: espeak-ng is missing" >&2; exit 1; }
command -v sox >/dev/null || { echo "make_sounds.sh: sox is missing" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

# say LANGUAGE_FOLDER VOICE FILE TEXT
say() {
    mkdir -p "$out/$1"
    espeak-ng -v "$2" -s 150 -w "$tmp/speech.wav" "$4"
    # Resample to 44.1 kHz mono 16 bit, normalise to -3 dBFS, 100 ms of silence around it.
    sox "$tmp/speech.wav" -r 44100 -c 1 -b 16 -e signed-integer "$tmp/out.wav" \
        pad 0.1 0.1 norm -3
    mv "$tmp/out.wav" "$out/$1/$3"
}

say de_DE de S0001.wav "Benutzer angemeldet"
say de_DE de S0002.wav "Benutzer abgemeldet"
say de_DE de S0003.wav "Gateway offline"
say de_DE de S0004.wav "Gateway online"

say en_US en-us S0001.wav "User joined"
say en_US en-us S0002.wav "User left"
say en_US en-us S0003.wav "Gateway offline"
say en_US en-us S0004.wav "Gateway online"
