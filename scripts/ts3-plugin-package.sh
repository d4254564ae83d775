#!/usr/bin/env bash
# ts3-plugin-package.sh LINUXBUILD WINBUILD OUTFILE
#
# Makes the TeamSpeak client's install package of Relaydeck_Link (Relaydeck_Link.ts3_plugin):
# a zip that the user opens with the TeamSpeak 3 client, which copies its plugins/ folder
# into the client's plugin folder.
#
#   package.ini                              Name, Type, Author, Version, Platforms, Description
#   plugins/Relaydeck_Link_linux_amd64.so    from LINUXBUILD/bin/Relaydeck_Link.so
#   plugins/Relaydeck_Link/dialog_qt5.so     the Linux configuration dialog, loaded by the plugin
#   plugins/Relaydeck_Link_win64.dll         from WINBUILD/bin/Relaydeck_Link.dll (dialog inside)
#
# LINUXBUILD and WINBUILD are CMake build folders (the Windows one cross-built with
# cmake/mingw-w64-x86_64.cmake). Without a Windows build the package serves Linux only, and
# says so. Name, author, version and description are read from the Linux library itself.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 LINUXBUILD WINBUILD OUTFILE" >&2
  exit 2
fi
linux=$1 win=$2 out=$3

so=$linux/bin/Relaydeck_Link.so
dialog=$linux/bin/Relaydeck_Link/dialog_qt5.so
if [ ! -f "$so" ]; then
  echo "error: no Linux plugin at $so (build the target Relaydeck_Link first)" >&2
  exit 1
fi
dll=""
for candidate in "$win/bin/Relaydeck_Link.dll" "$win/Relaydeck_Link.dll"; do
  if [ -f "$candidate" ]; then
    dll=$candidate
    break
  fi
done

# The identity the client shows, asked from the library's own entry points.
identity=$(python3 - "$so" <<'EOF'
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
for name in ("name", "author", "version", "description"):
    f = getattr(lib, "ts3plugin_" + name)
    f.restype = ctypes.c_char_p
    text = f().decode("utf-8")
    # package.ini takes one line per key; the description's paragraphs become one line.
    print(" ".join(text.replace('"', "'").split()))
EOF
)
{ read -r name; read -r author; read -r version; read -r description; } <<<"$identity"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/plugins"
cp "$so" "$stage/plugins/Relaydeck_Link_linux_amd64.so"
platforms="linux_amd64"
if [ -f "$dialog" ]; then
  mkdir -p "$stage/plugins/Relaydeck_Link"
  cp "$dialog" "$stage/plugins/Relaydeck_Link/dialog_qt5.so"
else
  echo "warning: no dialog module at $dialog (Qt 5 missing at build time): on Linux the plugin offers no settings dialog"
fi
if [ -n "$dll" ]; then
  cp "$dll" "$stage/plugins/Relaydeck_Link_win64.dll"
  platforms="$platforms, win64"
else
  echo "no Windows build in $win (no bin/Relaydeck_Link.dll): the package serves Linux only"
fi

cat >"$stage/package.ini" <<EOF
Name = $name
Type = Plugin
Author = $author
Version = $version
Platforms = $platforms
Description = "$description"
EOF

mkdir -p "$(dirname "$out")"
out_abs=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
rm -f "$out_abs"
(cd "$stage" && zip -q -X -D -r "$out_abs" package.ini plugins)
echo "made $out ($name $version, platforms: $platforms):"
unzip -Z1 "$out_abs" | sed 's/^/  /'
