#!/bin/sh
# Runs Relaydeck's DTMF decoder and multimon-ng on the same generated files and prints a
# Markdown table of what each reports. Both get 22050 Hz mono 16-bit (multimon-ng's raw
# input format); Relaydeck reads the WAV in capture chunks of 1/50 s.
# Usage: compare_multimon.sh BUILD_BIN_DIR [WORKDIR]
set -eu
bin=${1:?usage: compare_multimon.sh BUILD_BIN_DIR [WORKDIR]}
work=${2:-$(mktemp -d)}
cli="$bin/relaydeck-cli"
keys='123A456B789C*0#D'
mkdir -p "$work"

# Characters of $2 found in order in $1 (a simple score: digits right, in sequence).
score() {
    python3 - "$1" "$2" <<'PY'
import sys
got, want = sys.argv[1], sys.argv[2]
# longest common subsequence
n, m = len(got), len(want)
t = [[0]*(m+1) for _ in range(n+1)]
for i in range(n):
    for j in range(m):
        t[i+1][j+1] = t[i][j]+1 if got[i]==want[j] else max(t[i][j+1], t[i+1][j])
print(f"{t[n][m]}/{m}" + (f" +{n-t[n][m]}" if n > t[n][m] else ""))
PY
}

echo "| case | Relaydeck | right | multimon-ng | right |"
echo "|---|---|---|---|---|"
run() { # name, then dtmf-gen options
    name=$1
    shift
    f="$work/case.wav"
    "$cli" dtmf-gen "$f" "$keys" --rate 22050 --channels 1 "$@"
    ours=$("$cli" dtmf "$f" | sed -n 's/^digits: //p')
    sox "$f" -t raw -r 22050 -c 1 -b 16 -e signed-integer "$work/case.raw"
    theirs=$(multimon-ng -q -c -a DTMF -t raw "$work/case.raw" 2>/dev/null | sed -n 's/^DTMF: //p' | tr -d '\n')
    echo "| $name | \`$ours\` | $(score "$ours" "$keys") | \`$theirs\` | $(score "$theirs" "$keys") |"
}

for level in 16000 8000 3000 1500 1300 1000 700 300; do
    run "level $level per tone" --level "$level"
done
for noise in 300 1000 2000 3000 4000; do
    run "level 4000, noise RMS $noise" --level 4000 --noise "$noise"
done
for twist in -10 -6 -3 3 6 10; do
    run "level 4000, twist $twist dB" --level 4000 --twist "$twist"
done
for on in 70 50 40 30 20; do
    run "tone $on ms, gap 100 ms" --level 4000 --on "$on"
done
for gap in 60 40 30 20 10; do
    run "tone 100 ms, gap $gap ms" --level 4000 --gap "$gap"
done
