#!/usr/bin/env bash
# The Debian package: built with CPack from the CI build, checked with lintian (no errors
# allowed), unpacked into a scratch root and its programs run from there.
set -euo pipefail
ROOT=$RD_SRC/$BUILD/pkgroot
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls -t "$BUILD"/relaydeck_*.deb | head -n 1)
echo "package: $DEB"
dpkg-deb -f "$DEB" Package Version Depends
lint=$(lintian --tag-display-limit 0 "$DEB" 2>&1 | grep -v 'running with root privileges' || true)
[ -n "$lint" ] && printf '%s\n' "$lint"
if printf '%s\n' "$lint" | grep -q '^E: '; then
  echo "lintian reports errors"
  exit 1
fi
rm -rf "$ROOT" && mkdir -p "$ROOT"
dpkg -x "$DEB" "$ROOT"
for f in usr/bin/relaydeck usr/bin/relaydeck-cli usr/lib/relaydeck/Relaydeck_Link.so \
         usr/share/relaydeck/sounds/en_US/S0001.wav usr/share/relaydeck/sounds/de_DE/S0004.wav \
         usr/share/applications/relaydeck.desktop usr/lib/systemd/user/relaydeck.service \
         usr/lib/udev/rules.d/70-relaydeck-radio.rules usr/share/man/man1/relaydeck.1.gz \
         usr/share/man/man1/relaydeck-cli.1.gz; do
  [ -e "$ROOT/$f" ] || { echo "missing in the package: $f"; exit 1; }
done
# The unpacked programs run on their own, from a folder that is not the source tree.
cd "$ROOT"
./usr/bin/relaydeck-cli text en_US 0008 >/dev/null
./usr/bin/relaydeck-cli help 2>/dev/null
# The program without windows checks a fresh base folder: no display, no platform plugin.
mkdir -p "$ROOT/home/config"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ./usr/bin/relaydeck --headless --check --home "$ROOT/home"
echo "unpacked programs run from $ROOT"
