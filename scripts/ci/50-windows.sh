#!/usr/bin/env bash
# The Windows pair: Relaydeck_Link.dll and clientsim.exe cross-built with mingw-w64
# (cmake/mingw-w64-x86_64.cmake, into $RD_WIN_BUILD_DIR, default build/win), the DLL's
# exports and imports checked, then run under wine64 in a fresh prefix of its own
# (headless; no display except a private Xvfb for the dialog): the plugin's end-to-end tests that speak over the link socket
# run from Linux against clientsim.exe with the DLL, and the clientsim-3.x.exe variants
# show the interface number the plugin takes from the client's version resource, and a
# Windows program clicks through the plugin's native settings dialog.
set -euo pipefail
BUILD=${BUILD:-build/ci}
JOBS=${JOBS:-$(nproc)}
win=${RD_WIN_BUILD_DIR:-build/win}
t0=$SECONDS
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "-- $* ($((SECONDS - t0)) s)"; }

quiet() { # runs a command, shows its output only when it fails
  local log
  log=$("$@" 2>&1) || { echo "$log" | tail -50; fail "$*"; }
}
quiet cmake -S . -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
quiet cmake --build "$win" -j "$JOBS"
dll=$win/bin/Relaydeck_Link.dll
want="Relaydeck_Link.dll
clientsim-3.1.exe
clientsim-3.3.exe
clientsim-3.5.exe
clientsim-3.6.exe
clientsim.exe"
got=$(cd "$win/bin" && ls)
[ "$got" = "$want" ] || fail "the Windows build made
$got
instead of
$want"
step "cross-built"

# Exports: exactly the entry points the plugin declares, undecorated; imports: only
# system libraries (the C++ runtime and winpthread are linked in).
exports=$(x86_64-w64-mingw32-objdump -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR > 1 && NF { print $NF }' | sort)
declared=$(grep -oE 'ts3plugin_[A-Za-z0-9_]+\(' plugin/ts3_abi.h | tr -d '(' | sort -u)
[ "$exports" = "$declared" ] || fail "exports differ from the declared entry points:
$(diff <(echo "$declared") <(echo "$exports"))"
imports=$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
[ "$imports" = "GDI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL VERSION.DLL WS2_32.DLL " ] ||
  fail "the DLL imports $imports"
step "$(echo "$exports" | wc -l) exports, imports $imports"

# The Linux side of the tests (built by stage 10; alone this builds just what it needs).
if [ ! -x "$BUILD/bin/e2e_program_tests" ]; then
  [ -f "$BUILD/build.ninja" ] ||
    quiet cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_WERROR=ON
  quiet cmake --build "$BUILD" -j "$JOBS" --target e2e_program_tests
fi

wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine64" ] || fail "wine64 not found (scripts/deps.sh installs it)"
wineserver=$(dirname "$wine64")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
prefix=$(mktemp -d /tmp/rd-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
unset WAYLAND_DISPLAY
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT
"$wine64" wineboot -i >/dev/null 2>&1 || fail "wineboot could not create $prefix"
step "fresh Wine prefix"

abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
dll=$(abs "$dll")
bin=$(dirname "$dll")

# The version resource decides the interface number; plain clientsim.exe has none.
work=$prefix/drive_c/work
mkdir -p "$work"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[LINKSettings]\r\nPORT=%s\r\n' "$port" >"$work/Relaydeck[LINK].ini"
for row in "clientsim 21" "clientsim-3.1 21" "clientsim-3.3 23" "clientsim-3.5 24" "clientsim-3.6 26"; do
  set -- $row
  out=$(cd "$work" && echo quit | "$wine64" "$bin/$1.exe" --plugin "$dll" 2>&1 | tr -d '\r') || true
  echo "$out" | grep -qx "EVENT apiVersion() -> $2" ||
    fail "$1.exe: the plugin did not answer $2:
$out"
done
step "version resources: 3.1 -> 21, 3.3 -> 23, 3.5 -> 24, 3.6 -> 26, none -> 21"

run_e2e() { # EXE [clientsim options]
  local exe=$1
  shift
  RD_E2E_CLIENTSIM="$wine64 $bin/$exe" RD_E2E_PLUGIN="$dll" RD_E2E_CLIENTSIM_ARGS="$*" \
    "$BUILD/bin/e2e_program_tests" --gtest_brief=1 || fail "end-to-end tests against $exe under Wine"
}
run_e2e clientsim.exe
step "end-to-end tests against clientsim.exe (3.1 interface) under Wine"
if "$wine64" "$bin/clientsim.exe" --help 2>&1 | grep -q -- "--generation"; then
  run_e2e clientsim-3.6.exe --generation 3.6
  step "end-to-end tests against clientsim-3.6.exe --generation 3.6 under Wine"
else
  echo "-- clientsim has no --generation option yet: the 3.6 run under Wine is not tried"
fi
# The native settings dialog, driven through window messages by a Windows program; it
# needs a display, so it gets a private X server of its own (xvfb-run -a). Last, and with
# the prefix's server ended first: Wine keeps the display of the session it started in.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
quiet cmake --build "$win" -j "$JOBS" --target dialog_check
check=$(abs "$win/checks/dialog_check.exe")
mkdir -p "$work/dialog"
out=$(cd "$work/dialog" && timeout 120 xvfb-run -a "$wine64" "$check" "$dll" 2>&1 | tr -d '\r') ||
  fail "the settings dialog under Wine:
$out"
step "settings dialog: $(echo "$out" | grep -c '^ok') checks passed (\"abc\" refused, \"26010\" saved)"

echo "Windows pair checked under $("$wine64" --version) in $((SECONDS - t0)) s"
