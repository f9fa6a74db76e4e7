#!/bin/sh
# The pictures of docs/engines.md, from one run of the demo: the demo's arm
# at its last frame played from mesh.glb, tension.exr (colour) and
# corrected.exr (the corrected positions), by Godot (docs/godot_arm.png,
# through the godot test's headless run, tests/godot/play.sh) and
# by the proof page in headless Chromium (docs/engine_proof.png).
#
#   sh scripts/engine-pictures.sh [build/x64/tools/kestrin] [docs]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
kestrin=$(realpath "${1:-$root/build/x64/tools/kestrin}")
docs=$(realpath "${2:-$root/docs}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cd "$work"
"$kestrin" demo --out demo > /dev/null
set -- demo/arm_pose_*.obj
"$kestrin" weights --rest demo/arm_rest.obj --pose "$@" -o tension.exr -o mesh.glb > /dev/null
"$kestrin" morph --rest demo/arm_rest.obj --pose "$@" --stretch-target demo/arm_stretch.obj \
  --squash-target demo/arm_squash.obj -o corrected.exr --exr-values position > /dev/null

node "$root/scripts/engine-proof-page.js" mesh.glb tension.exr corrected.exr proof.html \
  --picture "$docs/engine_proof.png"

cat > settings.json <<JSON
{"files": ["res://mesh.glb", "res://tension.exr", "res://corrected.exr"], "frames": [$(($# - 1))],
 "rows_per_frame": 1, "colour_range": 1.0, "morph_values": 2, "view": [15, 12], "size": [800, 500],
 "out": "$work"}
JSON
sh "$root/tests/godot/play.sh" "$work/godot" mesh.glb tension.exr corrected.exr settings.json
cp "godot_frame_$#.png" "$docs/godot_arm.png"
