#!/bin/sh
# Plays a shot's engine files in Godot 3 as a user would, headless: copies
# engines/godot/ to OUT/project with the files in it (mesh.glb,
# tension.exr, corrected.exr) and SETTINGS.json as its kestrin_check.json,
# has the editor import them (the kestrin_import plug-in ends it once they
# are), then runs project/check.gd, which writes into the settings' "out"
# folder. Both under one Xvfb display; Godot's settings and caches stay in
# OUT/xdg; the logs are OUT/import.log and OUT/check.log. GODOT and XVFB_RUN
# name the programs (default godot3 and xvfb-run).
#
#   sh tests/godot/play.sh OUT MESH.glb TENSION.exr CORRECTED.exr SETTINGS.json
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=$1
project="$out/project"
mkdir -p "$project"
# The project's own files only: none a user's editor left in the checkout.
for entry in "$here/../../engines/godot"/*; do
  case "$entry" in
    *.glb | *.exr | *.import) ;;
    *) cp -R "$entry" "$project/" ;;
  esac
done
cp -R "$here/project/." "$project/"
cp "$2" "$project/mesh.glb"
cp "$3" "$project/tension.exr"
cp "$4" "$project/corrected.exr"
cp "$5" "$project/kestrin_check.json"
printf '\n[editor_plugins]\n\nenabled=PoolStringArray( "kestrin_import" )\n' >> "$project/project.godot"

for kind in CONFIG DATA CACHE; do
  mkdir -p "$out/xdg/$kind"
  export "XDG_${kind}_HOME=$out/xdg/$kind"
done
export KESTRIN_GODOT="${GODOT:-godot3}" KESTRIN_PROJECT="$project" KESTRIN_OUT="$out"
timeout 300 "${XVFB_RUN:-xvfb-run}" -a -s '-screen 0 1024x768x24' sh -c '
  "$KESTRIN_GODOT" --audio-driver Dummy --path "$KESTRIN_PROJECT" -e > "$KESTRIN_OUT/import.log" 2>&1
  test -e "$KESTRIN_PROJECT/kestrin_imported.txt" || exit 3
  "$KESTRIN_GODOT" --audio-driver Dummy --path "$KESTRIN_PROJECT" -s res://check.gd > "$KESTRIN_OUT/check.log" 2>&1
'
