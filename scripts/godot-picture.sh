#!/bin/sh
# The picture of docs/engines.md from Godot itself (docs/godot_arm.png): the
# demo's arm at its last frame, played by engines/godot/ from mesh.glb, the
# tension texture (colour) and the corrected positions (position), through
# the headless run of the engines test (tests/engines/godot/play.sh).
#
#   sh scripts/godot-picture.sh [build/x64/tools/kestrin] [docs/godot_arm.png]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
kestrin=$(realpath "${1:-$root/build/x64/tools/kestrin}")
picture=$(realpath -m "${2:-$root/docs/godot_arm.png}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cd "$work"
"$kestrin" demo --out demo > /dev/null
set -- demo/arm_pose_*.obj
"$kestrin" weights --rest demo/arm_rest.obj --pose "$@" -o tension.exr -o mesh.glb > /dev/null
"$kestrin" morph --rest demo/arm_rest.obj --pose "$@" --stretch-target demo/arm_stretch.obj \
  --squash-target demo/arm_squash.obj -o corrected.exr --exr-values position > /dev/null
last=$(($# - 1))
cat > settings.json <<JSON
{"files": ["res://mesh.glb", "res://tension.exr", "res://corrected.exr"], "frames": [$last],
 "rows_per_frame": 1, "colour_range": 1.0, "morph_values": 2, "view": [15, 12], "size": [800, 500],
 "out": "$work"}
JSON
sh "$root/tests/engines/godot/play.sh" "$work/godot" mesh.glb tension.exr corrected.exr settings.json
cp "godot_frame_$#.png" "$picture"
