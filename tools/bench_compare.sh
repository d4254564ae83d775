#!/usr/bin/env bash
# Side-by-side speed and memory figures of one build, taken in one run on this machine, as a
# Markdown table:
#   - relaydeck-cli dtmf on a 1-minute and a 60-minute 44.1 kHz stereo WAV (wall time, peak
#     RSS) against multimon-ng on the same audio prepared beforehand as 22.05 kHz mono raw;
#   - the decoder benchmark (seconds of capture decoded per second of one core);
#   - rendering the 3 s call tone;
#   - CPU of relaydeck and of clientsim with the plugin for 5, 20, 50 and 100 idle gateways;
#   - relay latency.
# Usage: tools/bench_compare.sh BIN [WORKDIR]
#   BIN      the build's bin folder (relaydeck, relaydeck-cli, clientsim, rd_audio_bench)
#   WORKDIR  where the test audio goes (about 700 MB; default: a new folder under /tmp)
# RD_BENCH_GATEWAYS="5 20" picks the idle sizes, RD_BENCH_IDLE_SECONDS the sampling time.
set -euo pipefail
bin=$(cd "${1:?usage: tools/bench_compare.sh BIN [WORKDIR]}" && pwd)
work=${2:-$(mktemp -d /tmp/rd-bench.XXXXXX)}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
for tool in sox multimon-ng python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bench_compare: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done

# Wall seconds and peak RSS (MB) of one command, printed as "WALL RSS".
measure() {
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    awk '{ printf "%s %.1f\n", $1, $2 / 1024 }' "$work/time.txt"
}

echo "# Relaydeck figures, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
echo

# --- DTMF -------------------------------------------------------------------------------
keys=$(printf '0123456789*#ABCD%.0s' $(seq 1 8))
"$bin/relaydeck-cli" dtmf-gen "$work/keys.wav" "$keys" --rate 44100 --channels 2 --level 4000 --noise 300 >/dev/null
sox "$work/keys.wav" "$work/minute.wav" repeat 60 trim 0 60
sox "$work/minute.wav" "$work/hour.wav" repeat 59
for f in minute hour; do
    sox "$work/$f.wav" -t raw -r 22050 -c 1 -b 16 -e signed-integer "$work/$f.raw"
done
echo "| DTMF decoding | wall s | peak RSS MB |"
echo "|---|---|---|"
for f in minute hour; do
    read -r w m < <(measure "$bin/relaydeck-cli" dtmf "$work/$f.wav")
    echo "| relaydeck-cli dtmf, $f (44.1 kHz stereo WAV) | $w | $m |"
    read -r w m < <(measure multimon-ng -q -c -a DTMF -t raw "$work/$f.raw")
    echo "| multimon-ng, $f (22.05 kHz mono raw) | $w | $m |"
done
echo

# --- benchmarks -------------------------------------------------------------------------
if [ -x "$bin/rd_audio_bench" ]; then
    "$bin/rd_audio_bench" --benchmark_filter='BM_DecodeHourOfCapture|BM_RenderCallTone$' \
        --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_format=json \
        >"$work/audio_bench.json" 2>/dev/null
    python3 - "$work/audio_bench.json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
d = runs["BM_DecodeHourOfCapture/process_time_median"]
t = runs["BM_RenderCallTone_median"]
print("| benchmark (median of 3) | figure |")
print("|---|---|")
print("| DTMF detector, one core | %.0f x real time |" % d["realtime"])
print("| 3 s call tone render | %.2f ms CPU (%.2f ms wall) |" % (t["cpu_time"] / 1000, t["real_time"] / 1000))
PY
    echo
fi

# --- idle gateways ----------------------------------------------------------------------
echo "| idle gateways (one server) | relaydeck CPU % | clientsim+plugin CPU % | link lines/s | relaydeck RSS MB |"
echo "|---|---|---|---|---|"
for n in ${RD_BENCH_GATEWAYS:-5 20 50 100}; do
    out=$(python3 "$here/measure_idle.py" --bin "$bin" --gateways "$n" --seconds "${RD_BENCH_IDLE_SECONDS:-20}" 2>&1) || {
        echo "| $n | failed | | | |"; continue; }
    python3 - "$n" "$out" <<'PY'
import re, sys
n, out = sys.argv[1], sys.argv[2]
def grab(pattern):
    m = re.search(pattern, out)
    return m.group(1) if m else "?"
print("| %s | %s | %s | %s | %s |" % (n, grab(r"  CPU ([\d.]+) %"), grab(r"clientsim with the plugin: CPU ([\d.]+) %"),
                                      grab(r"\(([\d.]+)/s\)"), grab(r"RSS mean [\d.]+ MB, peak ([\d.]+) MB")))
PY
done
echo

# --- latency ----------------------------------------------------------------------------
echo "Relay latency (tools/measure_latency.py --edges 50):"
echo
echo '```'
python3 "$here/measure_latency.py" --bin "$bin" --edges 50 2>&1 | tail -n 12
echo '```'
