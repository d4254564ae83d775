#!/usr/bin/env bash
# House style: every C++ file as .clang-format has it, and the .clang-tidy checks over the
# C++ files the last change touched (RD_STYLE_BASE picks another base, e.g. origin/main).
set -euo pipefail
mapfile -t all < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${all[@]}"; do
  clang-format --dry-run -Werror "$f" 2>/dev/null || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "not formatted (run clang-format -i on them):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "format: ${#all[@]} files as .clang-format has them"

base=${RD_STYLE_BASE:-HEAD~1}
if ! git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  echo "tidy: no base $base, nothing to compare"
  exit 0
fi
[ -f "$BUILD/compile_commands.json" ] || { echo "tidy: $BUILD/compile_commands.json is missing (stage 10 makes it)"; exit 1; }
mapfile -t changed < <(git diff --name-only --diff-filter=AM "$base" -- '*.cpp' |
  while read -r f; do grep -q "\"file\": \"[^\"]*/$f\"" "$BUILD/compile_commands.json" && echo "$f"; done)
if [ ${#changed[@]} -eq 0 ]; then
  echo "tidy: no compiled C++ file changed since $base"
  exit 0
fi
echo "tidy: ${#changed[@]} files changed since $base"
# grep finds no line when tidy is content: that is no failure.
printf '%s\n' "${changed[@]}" | xargs -P "$JOBS" -n 1 clang-tidy -p "$BUILD" --quiet 2>&1 |
  { grep -v ' warnings\? generated\.$' || true; } | tee "$BUILD/tidy.log"
if grep -qE '(warning|error):' "$BUILD/tidy.log"; then
  echo "clang-tidy found something"
  exit 1
fi
echo "tidy: nothing found"
