#!/bin/sh
# check_binaries.sh PLUGIN DIALOG_MODULE
# The plugin library needs no toolkit. The dialog module, which runs in the TeamSpeak
# client's own Qt 5 (as old as 5.12), needs no Qt version node newer than Qt_5.12 and no
# Qt symbol newer than 5.12. Qt 5 versions all its public symbols "Qt_5", so the nodes
# alone cannot tell a symbol added in 5.15: each one is looked up in Debian's record of
# the Qt version that first had it (the libqt5*.symbols files dpkg keeps).
set -eu
plugin=$1 module=$2
fail=0

if readelf -d "$plugin" | grep -i 'NEEDED.*qt'; then
  echo "FAIL: $plugin links Qt"; fail=1
fi
if nm -D --undefined-only "$plugin" | grep '@Qt_'; then
  echo "FAIL: $plugin imports Qt symbols"; fail=1
fi

echo "version needs of $(basename "$module"):"
readelf -V "$module" | sed -n '/\.gnu\.version_r/,$p' | sed -n 's/.*File: \([^ ]*\).*/  \1:/p; s/.*Name: \([^ ]*\).*/    \1/p'
needs=$(readelf -V "$module" | sed -n '/\.gnu\.version_r/,$p' | sed -n 's/.*Name: \(Qt_[0-9.A-Z_]*\).*/\1/p' | sort -u)
for n in $needs; do
  case $n in
    Qt_5|Qt_5.[0-9]|Qt_5.1[0-2]) ;;
    *) echo "FAIL: $module needs $n"; fail=1 ;;
  esac
done

record=$(ls /var/lib/dpkg/info/libqt5core5a*.symbols /var/lib/dpkg/info/libqt5gui5*.symbols \
  /var/lib/dpkg/info/libqt5widgets5*.symbols 2>/dev/null || true)
if [ -z "$record" ]; then
  echo "FAIL: Debian's Qt 5 symbol record (libqt5core5a, libqt5gui5, libqt5widgets5) is not installed"
  exit 1
fi
newest=0
for s in $(nm -D --undefined-only "$module" | awk '$NF ~ /@Qt_/ { print $NF }' | sort -u); do
  since=$(cat $record | awk -v s="$s" '$1 == s { print $2; exit }')
  if [ -z "$since" ]; then
    echo "FAIL: $(echo "${s%@*}" | c++filt) is not in Debian's Qt 5 record"; fail=1
  elif dpkg --compare-versions "$since" ge 5.13~; then
    echo "FAIL: $(echo "${s%@*}" | c++filt) came with Qt $since"; fail=1
  elif dpkg --compare-versions "$since" gt "$newest"; then
    newest=$since newestSymbol=$(echo "${s%@*}" | c++filt)
  fi
done
echo "newest Qt symbol it needs: ${newestSymbol:-none} (Qt $newest)"
[ $fail -eq 0 ] && echo "OK: the plugin needs no Qt; the module needs nothing newer than Qt 5.12"
exit $fail
