#!/usr/bin/env bash
# Builds everything and runs every test. Installs missing Debian packages first.
# The work is split into stages, scripts/ci/NN-name.sh, run in the order of their numbers;
# each prints what it does and how long it took. RD_STAGES="10 20" runs only some of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export RD_SRC=$PWD
export BUILD=${RD_BUILD_DIR:-build/ci}
export JOBS=${RD_JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen
# The compiler cache serves every checkout of the tree, wherever it lies.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
# Tests never talk to the real directory service: a loopback port where nothing listens.
export RELAYDECK_DIRECTORY_URL=${RELAYDECK_DIRECTORY_URL:-http://127.0.0.1:9/}

start=$SECONDS
for stage in scripts/ci/[0-9][0-9]-*.sh; do
  num=$(basename "$stage"); num=${num%%-*}
  if [ -n "${RD_STAGES:-}" ] && [[ " $RD_STAGES " != *" $num "* ]]; then
    continue
  fi
  t0=$SECONDS
  echo "== $(basename "$stage" .sh)"
  bash "$stage"
  echo "== $(basename "$stage" .sh): $((SECONDS - t0)) s"
done
echo "== all stages passed in $((SECONDS - start)) s"
