"""The install and the Debian package, run as a user and a render node run them.

Both doors (the kestrin tool and the Python module) run from the installed or
unpacked files with a clean environment, from a scratch folder, with the
loader logging every library it looks for and loads (LD_DEBUG=libs): a run
that reaches into the build or source tree fails, as does an installed file
whose run path points there.
"""

import glob
import os
import re
import subprocess
import sys

import pytest

BUILD = os.path.realpath(os.environ["KESTRIN_BUILD_DIR"])
SOURCE = os.path.realpath(os.environ["KESTRIN_SOURCE_DIR"])
PYTHON = sys.executable  # the interpreter the module was built for
PLUGINS = ("Strainmark.so", "Rimshaper.so", "Grainmark.so", "TangentSpace.so")

# A 3 x 3 grid of quads at rest, and stretched along x.
REST = [(x, y, 0.0) for y in range(4) for x in range(4)]
QUADS = [(r * 4 + c, r * 4 + c + 1, (r + 1) * 4 + c + 1, (r + 1) * 4 + c) for r in range(3) for c in range(3)]
POSE = [(1.5 * x, y, 0.0) for x, y, _ in REST]

DOORS = """
import sys
sys.path[1:1] = sys.argv[1:]
import numpy as np, kestrin
rest, faces = kestrin.read_mesh("rest.obj")
pose, _ = kestrin.read_mesh("pose.obj")
tool = np.loadtxt("w.csv", delimiter=",", skiprows=1)[:, 1]
np.testing.assert_allclose(kestrin.weights(rest, faces, pose), tool, rtol=1e-6)
print(kestrin.__file__)
"""


def write_obj(path, points, faces):
    with open(path, "w") as out:
        out.writelines(f"v {x} {y} {z}\n" for x, y, z in points)
        out.writelines("f " + " ".join(str(i + 1) for i in face) + "\n" for face in faces)


def away(folder, home):
    """A scratch folder with the meshes, and the environment a fresh login has: no build paths anywhere."""
    write_obj(folder / "rest.obj", REST, QUADS)
    write_obj(folder / "pose.obj", POSE, [])
    (folder / "ld").mkdir()
    return {"PATH": "/usr/bin:/bin", "HOME": str(home), "LANG": "C.UTF-8",
            "LD_DEBUG": "libs", "LD_DEBUG_OUTPUT": str(folder / "ld" / "log")}


def run(argv, folder, env):
    result = subprocess.run(argv, cwd=folder, env=env, capture_output=True, text=True)
    assert result.returncode == 0, f"{argv[0]}: {result.stderr[-2000:]}"
    return result.stdout


def assert_nothing_from_the_build(folder):
    """Every library the loader looked for or loaded in the runs so far lay outside the build and source trees."""
    logs = glob.glob(str(folder / "ld" / "log*"))
    assert logs, "the loader logged nothing"
    for log in logs:
        with open(log, errors="replace") as lines:
            reached = [line.strip() for line in lines if BUILD in line or SOURCE in line]
        assert reached == [], f"the loader reached into the build: {reached[:3]}"


def both_doors_run(folder, env, tool, site, site_on_path):
    """kestrin weights, then the module on the same meshes, giving the same weights.

    The module is imported from site; site_on_path: the interpreter searches
    it on its own, else it is put on sys.path.
    """
    run([tool, "weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "w.csv"], folder, env)
    given = [] if site_on_path else [site]
    # -E: no PYTHONPATH; -s (when site is given): no user site either.
    printed = run([PYTHON, "-B", "-E"] + ["-s"] * len(given) + ["-c", DOORS] + given, folder, env)
    assert printed.strip() == os.path.join(site, "kestrin", "__init__.py")
    assert_nothing_from_the_build(folder)


def elf_files(root):
    for path in sorted(glob.glob(os.path.join(root, "**", "*"), recursive=True)):
        if os.path.isfile(path) and not os.path.islink(path):
            with open(path, "rb") as file:
                if file.read(4) == b"\x7fELF":
                    yield path


def assert_no_run_path_into_the_build(files):
    for path in files:
        dynamic = subprocess.run(["readelf", "-d", path], capture_output=True, text=True, check=True).stdout
        paths = re.findall(r"\((?:RPATH|RUNPATH)\).*\[(.*)\]", dynamic)
        assert not any(BUILD in p or SOURCE in p for p in paths), f"{path}: run path {paths}"


def test_an_install_into_the_users_local_folder_runs_away_from_the_build(tmp_path):
    home = tmp_path / "home"
    local = home / ".local"
    subprocess.run(["cmake", "--install", BUILD, "--prefix", str(local)], env=dict(os.environ, HOME=str(home)),
                   capture_output=True, check=True)
    with open(os.path.join(BUILD, "install_manifest.txt")) as manifest:
        installed = manifest.read().split()
    assert all(path.startswith(str(local) + "/") for path in installed)

    # Debian's python3 reads the user's site-packages of its own version; the
    # tool finds its plug-ins in lib/kestrin, none being beside it.
    site = str(local / "lib" / f"python{sys.version_info.major}.{sys.version_info.minor}" / "site-packages")
    for plugin in PLUGINS:
        assert str(local / "lib" / "kestrin" / plugin) in installed
        assert not (local / "bin" / plugin).exists()
    assert str(local / "share" / "kestrin" / "blender" / "kestrin_tension.zip") in installed
    both_doors_run(tmp_path, away(tmp_path, home), str(local / "bin" / "kestrin"), site, site_on_path=True)
    assert_no_run_path_into_the_build(elf_files(str(local)))

    # What the manifest lists is everything the install wrote.
    for path in installed:
        os.remove(path)
    assert [f for f in glob.glob(str(local / "**"), recursive=True) if os.path.isfile(f)] == []


def package_names(relations):
    """The package names in a Depends-style list, every alternative's included."""
    return {re.split(r"[\s:(]", alternative.strip())[0]
            for entry in relations.split(",") for alternative in entry.split("|") if alternative.strip()}


def owners(libraries):
    """library -> the installed package holding it, under whichever name dpkg knows it (/usr merged or not)."""
    names = {}
    for library in libraries:
        for path in {library, os.path.realpath(library)}:
            names[path] = library
            names[path[len("/usr"):] if path.startswith("/usr/") else "/usr" + path] = library
    found = subprocess.run(["dpkg", "-S", *names], capture_output=True, text=True).stdout
    owner = {}
    for line in found.splitlines():
        package, _, path = line.partition(": ")
        if path in names:
            owner[names[path]] = package.split(":")[0]
    return owner


def installed_with(packages):
    """What apt installs with these packages: them, what they depend on, and so on, as installed here."""
    seen, new = set(), set(packages)
    while new:
        seen |= new
        relations = subprocess.run(["dpkg-query", "-W", "-f", "${Depends}, ${Pre-Depends},\n", *new],
                                   capture_output=True, text=True).stdout
        new = package_names(relations.replace("\n", "")) - seen
    return seen


def test_the_debian_package_runs_both_doors_and_declares_what_they_link(tmp_path):
    subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                    "-B", str(tmp_path / "package")], capture_output=True, check=True)
    (deb,) = glob.glob(str(tmp_path / "package" / "kestrin_*.deb"))
    root = tmp_path / "root"
    subprocess.run(["dpkg-deb", "-x", deb, str(root)], check=True)
    depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True, text=True, check=True).stdout
    declared = package_names(depends)
    assert {"python3", "python3-numpy", "libjemalloc2"} <= declared, depends

    # The layout a /usr install has: Debian's python3 reads dist-packages.
    usr = root / "usr"
    for plugin in PLUGINS:
        assert (usr / "lib" / "kestrin" / plugin).is_file()
    assert (usr / "share" / "kestrin" / "blender" / "kestrin_tension.zip").is_file()
    site = str(usr / "lib" / "python3" / "dist-packages")
    scratch = tmp_path / "scratch"
    scratch.mkdir()
    both_doors_run(scratch, away(scratch, tmp_path), str(usr / "bin" / "kestrin"), site, site_on_path=False)

    binaries = list(elf_files(str(root)))
    assert len(binaries) == 2 + 2 * len(PLUGINS)  # the tool, the extension, the plug-ins twice
    assert_no_run_path_into_the_build(binaries)
    linked = set()
    for binary in binaries:
        listed = subprocess.run(["ldd", binary], capture_output=True, text=True, check=True).stdout
        assert "not found" not in listed, f"{binary}: {listed}"
        linked |= set(re.findall(r"(/\S+) \(0x", listed))
    essential = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Essential}\n"],
                               capture_output=True, text=True, check=True).stdout
    pulled = installed_with(declared) | {line.split()[0] for line in essential.splitlines() if line.endswith(" yes")}
    owner = owners(linked)
    undeclared = {library: owner.get(library) for library in linked if owner.get(library) not in pulled}
    assert undeclared == {}, f"linked, but not what Depends pulls in ({depends.strip()})"
