#!/usr/bin/env bash
# Records a reference of seeded races: for five courses, a race driven by the automatic driver
# (paused, resumed and switched to the cockpit view on the way) and a stretch driven by a scripted
# player (rocket start, steering, boosts, a pause, both views), each with screenshots over the
# countdown, the race, the finish sequence and the curtains, and the --stats race record.
# Two recordings of the same build are byte-identical; a change that must not alter the game is
# checked by recording before and after it and comparing the folders:
#   tools/race_reference.sh /tmp/before   (old build)
#   tools/race_reference.sh /tmp/after    (new build)
#   diff -r /tmp/before /tmp/after
set -euo pipefail
out="${1:?usage: race_reference.sh OUTDIR [BUILD_DIR]}"
build="$(cd "${2:-$(dirname "$0")/../build}" && pwd)"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
run="$(mktemp -d)"
trap 'rm -rf "$run"' EXIT
ln -s "$build/data" "$run/data"
export XDG_RUNTIME_DIR="$run" XDG_DATA_HOME="$run/share"
cd "$run"

cat > auto.in <<'IN'
# pause and resume, then the cockpit view and back
1000 down Q
1001 up Q
1060 down Q
1061 up Q
1500 down V
1501 up V
1800 down V
1801 up V
IN
cat > human.in <<'IN'
155 down Z
# steering, a double tap to slide, a boost try from the stock
400 down RIGHT
430 up RIGHT
600 down LEFT
640 up LEFT
700 down LEFT
702 up LEFT
704 down LEFT
706 up LEFT
900 down LSHIFT
905 up LSHIFT
950 down X
990 up X
# pause, move the cursor, resume with Q
1000 down Q
1001 up Q
1020 down DOWN
1021 up DOWN
1030 down UP
1031 up UP
1060 down Q
1061 up Q
1100 down V
1101 up V
1300 down V
1301 up V
1350 down RIGHT
1400 up RIGHT
IN

# Frames after the last of each automatic race: the finish at about total - 2182.
declare -A total=([1]=0 [5]=0 [7]=0 [11]=0 [14]=0)
for c in 1 5 7 11 14; do
  "$build/korvan" --headless --unpaced --seed 7 --skip-intro --course "$c" --autopilot --exit-after-race \
    --input auto.in --stats "$run/probe.json" >/dev/null 2>&1
  total[$c]=$(sed -n 's/^  "frames": \([0-9]*\).*/\1/p' "$run/probe.json")
  t=${total[$c]}
  f=$((t - 2182))
  shots=()
  for n in 60 200 1030 1600 2500 $((f + 30)) $((f + 650)) $((f + 1300)) $((f + 2000)) $((f + 2150)); do
    shots+=(--shot "$n:$out/auto_c${c}_$(printf %05d "$n").png")
  done
  "$build/korvan" --headless --unpaced --seed 7 --skip-intro --course "$c" --autopilot --exit-after-race \
    --input auto.in --stats "$run/auto.json" "${shots[@]}" >/dev/null 2>&1
  sed -n '/^  "race": {"course"/p' "$run/auto.json" > "$out/auto_c${c}_race.txt"
  echo "frames $t" >> "$out/auto_c${c}_race.txt"

  shots=()
  for n in 30 100 170 230 400 650 1040 1150 1330 1450; do
    shots+=(--shot "$n:$out/human_c${c}_$(printf %05d "$n").png")
  done
  "$build/korvan" --headless --unpaced --seed 11 --skip-intro --course "$c" --frames 1500 \
    --input human.in --stats "$run/human.json" "${shots[@]}" >/dev/null 2>&1
  sed -n '/^  "race": {"course"/p' "$run/human.json" > "$out/human_c${c}_race.txt"
  echo "course $c: automatic race $t frames; $(ls "$out" | grep -c "_c${c}_") files"
done
