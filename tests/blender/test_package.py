"""The extension for Blender 4.2 and later: its manifest, its wheel, what its libraries ask of the system.

Only Debian's Blender 3.4 runs here, so what is checked is what can be: the
manifest as Blender's reader takes it (TOML, then its fields' rules), the
wheel as installers lay it out (its tag, its RECORD), the libraries' needs
against the glibc floor its tag states (no libstdc++ at all), and the
extension's files running in this Blender with the module from the wheel
alone.
"""

import base64
import hashlib
import os
import re
import subprocess
import sys
import tomllib
import zipfile

import kestrin_tension

EXTENSION = os.environ["KESTRIN_EXTENSION"]


def _manifest():
    with zipfile.ZipFile(EXTENSION) as package:
        return tomllib.loads(package.read("blender_manifest.toml").decode()), set(package.namelist())


def _unpacked(tmp_path):
    """The extension's files, and its wheel installed (unpacked) beside them: (extension, site) folders."""
    manifest, _ = _manifest()
    extension, site = tmp_path / "extension" / "kestrin_tension", tmp_path / "site"
    with zipfile.ZipFile(EXTENSION) as package:
        package.extractall(extension)
    for wheel in manifest["wheels"]:
        with zipfile.ZipFile(extension / wheel) as unpacked:
            unpacked.extractall(site)
            for name in unpacked.namelist():
                os.chmod(site / name, (unpacked.getinfo(name).external_attr >> 16) & 0o777)
    return extension, site


def test_the_manifest_and_the_wheel_say_what_blender_and_installers_check(tmp_path):
    manifest, names = _manifest()
    assert {"__init__.py", "blender_manifest.toml"} <= names
    assert (manifest["schema_version"], manifest["id"], manifest["type"]) == ("1.0.0", "kestrin_tension", "add-on")
    assert manifest["version"] == ".".join(map(str, kestrin_tension.bl_info["version"]))
    assert len(manifest["tagline"]) <= 64 and not manifest["tagline"][-1] in ".!?"
    assert (4, 2, 0) <= tuple(map(int, manifest["blender_version_min"].split(".")))
    assert all(licence.startswith("SPDX:") for licence in manifest["license"])
    assert manifest["platforms"] == ["linux-x64"]
    assert all(len(why) <= 64 and why[-1] not in "." for why in manifest["permissions"].values())
    (wheel,) = manifest["wheels"]
    assert wheel.startswith("./wheels/") and wheel[2:] in names

    # The tag: this Blender's Python, and the glibc floor.
    package, version, python, abi, platform = os.path.basename(wheel)[:-len(".whl")].split("-")
    assert (package, version) == ("kestrin", manifest["version"])
    assert python == abi == f"cp{sys.version_info.major}{sys.version_info.minor}"
    floor = tuple(map(int, re.fullmatch(r"manylinux_(\d+)_(\d+)_x86_64", platform).groups()))

    extension, site = _unpacked(tmp_path)
    info = site / f"kestrin-{version}.dist-info"
    assert f"Tag: {python}-{abi}-{platform}" in (info / "WHEEL").read_text()
    for line in (info / "RECORD").read_text().splitlines():
        name, digest, size = line.split(",")
        if digest:
            data = (site / name).read_bytes()
            expected = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            assert (digest, int(size)) == (f"sha256={expected}", len(data)), name

    libraries = sorted((site / "kestrin").glob("*.so"))
    assert [library.name.split(".")[0] for library in libraries] == [
        "Grainmark", "Rimshaper", "Strainmark", "TangentSpace", "_kestrin"]
    for library in libraries:
        symbols = subprocess.run(["objdump", "-T", library], capture_output=True, text=True, check=True).stdout
        needed = max(tuple(map(int, v.split("."))) for v in re.findall(r"GLIBC_(\d+\.\d+)", symbols))
        assert needed <= floor, (library.name, needed)
        linked = subprocess.run(["objdump", "-p", library], capture_output=True, text=True, check=True).stdout
        assert "libstdc++" not in linked, library.name


def test_the_extension_runs_with_the_module_from_its_wheel(tmp_path):
    extension, site = _unpacked(tmp_path)
    script = f"""
import sys
sys.path[:0] = [{str(site)!r}, {str(extension.parent)!r}]
import bpy, numpy as np
import kestrin, kestrin_tension
assert kestrin.__file__.startswith({str(site)!r}) and kestrin_tension.__file__.startswith({str(extension)!r})
kestrin_tension.register()
cube = bpy.data.objects["Cube"]
bpy.context.view_layer.objects.active = cube
cube.shape_key_add(name="Basis")
key = cube.shape_key_add(name="wide")
key.data[0].co.x *= 3.0
key.value = 1.0
assert bpy.ops.kestrin.strainmark_add() == {{"FINISHED"}}
mesh = cube.evaluated_get(bpy.context.evaluated_depsgraph_get()).data
got = np.empty(8, np.float32)
mesh.attributes["tension"].data.foreach_get("value", got)
rest = np.array([v.co for v in cube.data.vertices])
posed = np.array([v.co for v in mesh.vertices])
expected = kestrin.weights(rest, [list(p.vertices) for p in cube.data.polygons], posed[None])[0]
assert got.tobytes() == expected.tobytes() and abs(got).max() > 0.1, (got, expected)
kestrin_tension.unregister()
print("the extension ran")
"""
    environment = {k: v for k, v in os.environ.items() if k != "BLENDER_USER_SCRIPTS"}
    run = subprocess.run([os.environ["KESTRIN_BLENDER"], "-b", "--factory-startup", "--python-exit-code", "1",
                          "--python-expr", script], capture_output=True, text=True, timeout=120, env=environment)
    assert run.returncode == 0 and "the extension ran" in run.stdout, run.stdout + run.stderr
