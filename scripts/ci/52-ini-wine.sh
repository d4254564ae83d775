#!/usr/bin/env bash
# Our INI reader and writer against the profile functions of Wine: generated files and
# operations (fixed seed) run through both, results compared, the known Wine differences
# excluded by rule (see ini/wine/rd_ini_wine.cpp). Uses its own fresh Wine prefix.
set -euo pipefail
BUILD=${BUILD:-build/ci}
JOBS=${JOBS:-$(nproc)}
SEED=${RD_INI_WINE_SEED:-2311}
COUNT=${RD_INI_WINE_CASES:-2000}
t0=$SECONDS

wine=$(command -v wine64 || true)
[ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; } || true
[ -n "$wine" ] || wine=$(command -v wine || true)
if [ -z "$wine" ] || ! command -v x86_64-w64-mingw32-gcc >/dev/null; then
  echo "FAIL: wine64 and mingw-w64 are needed (scripts/deps.sh installs them)" >&2
  exit 1
fi

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_WERROR=ON >/dev/null
fi
cmake --build "$BUILD" -j "$JOBS" --target rd_ini_wine >/dev/null

work=$(mktemp -d /tmp/rd-ini-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
cleanup() {
  # Ends the server of this run's own prefix (nothing else: WINEPREFIX names it).
  "$(command -v wineserver || echo /usr/lib/wine/wineserver)" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

x86_64-w64-mingw32-gcc -O1 -Wall -Werror -o "$work/profile_driver.exe" ini/wine/profile_driver.c
mkdir "$work/cases"
"$BUILD/bin/rd_ini_wine" prepare "$work/cases" "$SEED" "$COUNT"
if ! "$wine" "$work/profile_driver.exe" "Z:${work//\//\\}\\cases\\script.txt" >"$work/cases/wine.txt" 2>"$work/wine.log"; then
  cat "$work/wine.log" >&2
  exit 1
fi
"$BUILD/bin/rd_ini_wine" compare "$work/cases"
echo "ini-wine: seed $SEED, $COUNT cases, $((SECONDS - t0)) s"
