#!/usr/bin/env bash
# Writes screenshots of the game's wide picture for people to look at: the logo, the story, the
# demonstration and the title of the attract sequence; the grid, the countdown and the race under
# way on courses 1, 5, 9 and 14; the pause; course 10 raced to its finish, its replay, results and
# the ending and gallery that follow it. Every run is off-screen, seeded and driven by the automatic driver.
#   tools/wide_shots.sh OUTDIR [WIDTHxHEIGHT] [BUILD_DIR]      (default 1280x720, build/)
set -euo pipefail
out="${1:?usage: wide_shots.sh OUTDIR [WIDTHxHEIGHT] [BUILD_DIR]}"
size="${2:-1280x720}"
build="$(cd "${3:-$(dirname "$0")/../build}" && pwd)"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
run="$(mktemp -d)"
trap 'rm -rf "$run"' EXIT
ln -s "$build/data" "$run/data"
mkdir -p "$run/config/korvan"
printf 'display.aspect = wide\ndisplay.resolution = window\n' > "$run/config/korvan/korvan.cfg"
export XDG_RUNTIME_DIR="$run" XDG_DATA_HOME="$run/share" XDG_CONFIG_HOME="$run/config"
cd "$run"
game=("$build/korvan" --headless --unpaced --seed 11 --window "$size")

"${game[@]}" --frames 4310 --shot 150:"$out/logo-0150.png" --shot 1500:"$out/story-1500.png" \
  --shot 3300:"$out/demonstration-3300.png" --shot 4300:"$out/title-4300.png"

printf '1300 down Q\n1301 up Q\n' > pause.in
for c in 1 5 9 14; do
  n=$(printf '%02d' "$c")
  "${game[@]}" --course "$c" --skip-intro --autopilot --input pause.in --frames 1360 \
    --shot 20:"$out/course$n-grid.png" --shot 150:"$out/course$n-countdown.png" \
    --shot 1200:"$out/course$n-race.png" --shot 1340:"$out/course$n-pause.png"
done

# Course 10 to its finish and on (seed 11, the automatic driver): the finish sequence, the replay,
# the results, the ending and the vehicle gallery that follow it, at the frames each is on screen.
shots=()
for f in 16100 16300 21000 27300 28600 29500 31500 34000; do
  shots+=(--shot "$f:$out/course10-$(printf '%05d' "$f").png")
done
"${game[@]}" --course 10 --skip-intro --autopilot --frames 34010 "${shots[@]}"
echo "wide_shots: $(ls "$out" | wc -l) pictures in $out"
