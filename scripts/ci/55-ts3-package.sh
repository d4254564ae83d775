#!/usr/bin/env bash
# The TeamSpeak client's install package, Relaydeck_Link.ts3_plugin, from the CI builds
# (Linux: $BUILD; Windows: $RD_WIN_BUILD_DIR, default build/win, when it was built), and a
# look inside: the file names the client's installer expects, the package.ini fields, the
# libraries byte for byte the built ones, and the unpacked Linux plugin opening its dialog
# in a Qt 5 host.
set -euo pipefail
BUILD=${BUILD:-build/ci}
JOBS=${JOBS:-$(nproc)}
win=${RD_WIN_BUILD_DIR:-build/win}
out=$BUILD/Relaydeck_Link.ts3_plugin

# Run alone (RD_STAGES=55) this builds what the package needs; after stage 10 it is a no-op.
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_WERROR=ON >/dev/null
fi
cmake --build "$BUILD" -j "$JOBS" --target Relaydeck_Link plugin_dialog_qt5_tests >/dev/null

bash scripts/ts3-plugin-package.sh "$BUILD" "$win" "$out"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
dll=$win/bin/Relaydeck_Link.dll
[ -f "$dll" ] || dll=$win/Relaydeck_Link.dll
want="package.ini
plugins/Relaydeck_Link/dialog_qt5.so
plugins/Relaydeck_Link_linux_amd64.so"
platforms="linux_amd64"
if [ -f "$dll" ]; then
  want="$want
plugins/Relaydeck_Link_win64.dll"
  platforms="linux_amd64, win64"
fi
got=$(unzip -Z1 "$out" | sort)
[ "$got" = "$(echo "$want" | sort)" ] || fail "package holds
$got
instead of
$want"

ini=$(unzip -p "$out" package.ini)
field() { echo "$ini" | sed -n "s/^$1 = //p"; }
for key in Name Type Author Version Platforms Description; do
  [ -n "$(field "$key")" ] || fail "package.ini has no $key"
done
[ "$(field Type)" = "Plugin" ] || fail "Type is '$(field Type)'"
[ "$(field Name)" = "Relaydeck [LINK]" ] || fail "Name is '$(field Name)'"
[ "$(field Author)" = "Wavenest" ] || fail "Author is '$(field Author)'"
[ "$(field Platforms)" = "$platforms" ] || fail "Platforms is '$(field Platforms)', want '$platforms'"
version=$(python3 -c 'import ctypes, sys
f = ctypes.CDLL(sys.argv[1]).ts3plugin_version
f.restype = ctypes.c_char_p
print(f().decode())' "$BUILD/bin/Relaydeck_Link.so")
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the library says '$version'"
case $(field Description) in
  \"*"This plugin provides the connection"*\") ;;
  *) fail "Description is '$(field Description)'" ;;
esac

same() { unzip -p "$out" "$1" | cmp -s - "$2" || fail "$1 is not $2"; }
same plugins/Relaydeck_Link_linux_amd64.so "$BUILD/bin/Relaydeck_Link.so"
same plugins/Relaydeck_Link/dialog_qt5.so "$BUILD/bin/Relaydeck_Link/dialog_qt5.so"
if [ -f "$dll" ]; then
  same plugins/Relaydeck_Link_win64.dll "$dll"
fi

# Unpacked as the client's installer lays it out, the plugin finds its dialog and saves.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$out" -d "$unpacked"
if ! log=$(QT_QPA_PLATFORM=offscreen RD_PLUGIN_UNDER_TEST="$unpacked/plugins/Relaydeck_Link_linux_amd64.so" \
  "$BUILD/bin/plugin_dialog_qt5_tests" 2>&1); then
  echo "$log"
  fail "the unpacked plugin's dialog tests failed"
fi
echo "package checked: $(echo "$want" | wc -l) files, platforms $platforms"
