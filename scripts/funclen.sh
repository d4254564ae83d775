#!/usr/bin/env bash
# Lists the longest function definitions of the given files: lines (signature to closing
# brace), file:line and name. Uses Universal Ctags.
#   scripts/funclen.sh [-n COUNT] FILE...
# e.g. the gateway engine without its windows:
#   scripts/funclen.sh -n 15 $(ls app/gateway/*.cpp app/gateway/*.h | grep -v window)
set -euo pipefail
count=15
if [ "${1:-}" = "-n" ]; then count=$2; shift 2; fi
ctags --c++-kinds=f --fields=+ne --sort=no -o - "$@" |
  awk -F'\t' '{
    line = ""; end = ""; scope = "";
    for (i = 4; i <= NF; i++) {
      if ($i ~ /^line:/) line = substr($i, 6);
      else if ($i ~ /^end:/) end = substr($i, 5);
      else if ($i ~ /^(class|struct|namespace):/) { scope = $i; sub(/^[a-z]+:/, "", scope); gsub(/__anon[0-9a-f]+/, "(anonymous)", scope); }
    }
    if (line != "" && end != "")
      printf "%5d  %s:%s  %s%s\n", end - line + 1, $2, line, (scope != "" ? scope "::" : ""), $1;
  }' | sort -rn | head -n "$count"
