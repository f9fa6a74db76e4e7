#!/usr/bin/env bash
# The add-on's frame-step bench, in headless Blender: run.sh BUILD_DIR (skipped without Blender).
set -euo pipefail
if ! command -v blender >/dev/null; then
  echo "Kestrin Tension bench: blender is not installed, skipped"
  exit 0
fi
here=$(cd "$(dirname "$0")" && pwd)
BLENDER_USER_SCRIPTS="$(cd "$1" && pwd)/python/blender" PYTHONDONTWRITEBYTECODE=1 \
  blender -b --factory-startup --python-exit-code 1 --python "$here/frame_step.py" 2>&1 |
  sed -n '/^Kestrin Tension frame step/,/target/p'
