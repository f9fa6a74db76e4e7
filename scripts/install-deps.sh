#!/usr/bin/env bash
# Installs the Debian packages the project builds with, skipping those already
# present; apt-get update runs once, and only when something is missing.
set -euo pipefail

packages=(
  build-essential     # g++, make
  cmake               # 3.25, with presets
  g++-multilib        # the 32-bit (-m32) configuration
  googletest          # GoogleTest sources, built per configuration
  libbenchmark-dev    # bench/
  libfast-float-dev   # correctly rounded number parsing for OBJ input
  libfmt-dev          # shortest digits of doubles for OBJ and PLY output (header-only use)
  nlohmann-json3-dev  # saved settings files
  libcli11-dev        # command-line parsing
  libstb-dev          # PNG output
  zlib1g-dev          # deflates the shot page's data (.html)
  lib32z1-dev         # the same for the 32-bit (-m32) configuration
  libjemalloc-dev     # the kestrin tool's allocator (64-bit): memory reused pose after pose, on huge pages
  clang               # fuzzers (libFuzzer)
  libclang-rt-14-dev  # sanitizer and fuzzer runtimes for clang
  valgrind            # leak checks
  libjs-three         # three.js and its orbit controls, built into the shot page (.html)
  chromium            # the shot page's browser test (headless)
  nodejs              # drives Chromium in that test (DevTools protocol)
  pybind11-dev        # the Python module's C++ binding (python/)
  python3-pybind11    # pybind11's CMake files for /usr/bin/python3
  python3-numpy       # the Python module's arrays
  python3-pytest      # the Python module's tests (tests/python)
  python3-matplotlib  # make bench's figures of time and memory against a shot's size (bench/figures)
  blender             # the Blender add-on (python/blender) and its tests (tests/blender); reads the engine outputs in tests/engines
  libopenexr-dev      # vertex-animation textures (.exr)
  libtinygltf-dev     # the mesh for engines (.glb)
  dpkg-dev            # the Debian package's dependencies, read from what it links (dpkg-shlibdeps)
  file                # which of the package's files are programs and libraries, for dpkg-shlibdeps (cpack)
  godot3              # plays the engine outputs in engines/godot/ (tests/godot)
  xvfb                # a display for Godot there (xvfb-run)
  xauth               # which xvfb-run needs (only recommended by xvfb)
  libgl1-mesa-dri     # software OpenGL (llvmpipe) for Godot under Xvfb
  glslang-tools       # compiles the Unity and Unreal shaders of engines/ (glslangValidator)
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

# npm comes with some builds of nodejs and is a package of its own in Debian's.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  # Through env, so that sudo (which resets the environment) passes it on.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Node packages for the tests (the glTF validator), at the versions of
# scripts/node/package-lock.json, into scripts/node/node_modules: nothing
# global, nothing fetched at test time.
node_dir="$(dirname "$0")/node"
stamp="$node_dir/node_modules/.package-lock.json"
if [ ! -e "$stamp" ] || [ "$node_dir/package-lock.json" -nt "$stamp" ]; then
  npm ci --prefix "$node_dir" --no-audit --no-fund --loglevel=error
fi
