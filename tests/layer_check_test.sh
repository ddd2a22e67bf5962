#!/usr/bin/env bash
# The layer check passes on the source tree and fails on a copy of it with one upward include
# planted in each floor but the top.
set -euo pipefail
src="$1"
"$src/scripts/check-layers" "$src"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for pair in "platform:framework/debug_log.h" "framework:game/settings.h" "game:courses/course_table.h" \
            "courses:race/race_state.h" "race:shell/boot.h"; do
  floor="${pair%%:*}"
  header="${pair#*:}"
  rm -rf "$tmp/tree"
  mkdir -p "$tmp/tree"
  cp -r "$src/platform" "$src/framework" "$src/game" "$src/courses" "$src/race" "$src/shell" "$tmp/tree/"
  victim="$(ls "$tmp/tree/$floor"/*.cpp | head -n 1)"
  sed -i "1i #include \"$header\"" "$victim"
  if out="$("$src/scripts/check-layers" "$tmp/tree" 2>&1)"; then
    echo "an include of $header in $floor/ was not caught"
    exit 1
  fi
  echo "$out" | grep -q "upward include: $floor/" || { echo "unexpected report: $out"; exit 1; }
done
echo "layer check: every planted upward include caught"
