"""Meshes, OBJ files and the built kestrin tool for the module's tests."""

import os
import subprocess

import numpy as np
import pytest

import kestrin

COLS, ROWS = 7, 5


def grid():
    """A bumpy 7 x 5 grid: quads, except the last column of cells split into triangles.

        28 - 29 - ... - 33 - 34
         |    |          | /  |
         ...             ...
         0 -  1 - ... -  5 -  6
    """
    xs, ys = np.meshgrid(np.arange(COLS, dtype=float), np.arange(ROWS, dtype=float))
    x, y = xs.ravel(), ys.ravel()
    rest = np.stack([x, y, 0.3 * np.sin(1.3 * x) * np.cos(0.9 * y)], axis=1)
    faces = []
    for r in range(ROWS - 1):
        for c in range(COLS - 1):
            a, b, d, e = r * COLS + c, r * COLS + c + 1, (r + 1) * COLS + c + 1, (r + 1) * COLS + c
            faces += [[a, b, d], [a, d, e]] if c == COLS - 2 else [[a, b, d, e]]
    return rest, faces


def quad_grid():
    """The same grid with quads only, faces as an (F, 4) array."""
    rest, _ = grid()
    faces = np.array([[r * COLS + c, r * COLS + c + 1, (r + 1) * COLS + c + 1, (r + 1) * COLS + c]
                      for r in range(ROWS - 1) for c in range(COLS - 1)])
    return rest, faces


def targets(rest):
    """Stretch and squash targets: the rest mesh pushed out and in along z and sideways."""
    bump = np.linspace(0.2, 1.0, rest.shape[0])[:, None]
    return rest + bump * [0.1, 0.0, 0.5], rest - bump * [0.0, 0.2, 0.4]


def bent_poses(rest):
    """Poses with every kind of tension: scaled, stretched along x, bent about x = 3, jittered."""
    rng = np.random.default_rng(7)
    bent = rest.copy()
    right = rest[:, 0] > 3.0
    angle = 0.8
    dx = rest[right, 0] - 3.0
    bent[right, 0] = 3.0 + dx * np.cos(angle)
    bent[right, 2] = rest[right, 2] + dx * np.sin(angle)
    return np.stack([rest, rest * 1.5, rest * [1.3, 0.8, 1.0], bent, rest + rng.normal(0, 0.08, rest.shape)])


def write_obj(path, points, faces):
    """An OBJ file holding the points as their shortest round-trip text."""
    with open(path, "w") as out:
        for p in points:
            out.write(f"v {float(p[0])!r} {float(p[1])!r} {float(p[2])!r}\n")
        for face in faces:
            out.write("f " + " ".join(str(int(i) + 1) for i in face) + "\n")
    return str(path)


@pytest.fixture(scope="session")
def tool_binary():
    path = os.environ.get("KESTRIN_TOOL", "")
    if not os.path.isfile(path):
        pytest.fail(f"KESTRIN_TOOL names no built kestrin tool: {path!r}")
    return path


@pytest.fixture
def run_tool(tool_binary):
    def run(*args):
        result = subprocess.run([tool_binary, *map(str, args)], capture_output=True, text=True)
        assert result.returncode == 0, result.stderr
        return result

    return run


def tool_options(settings):
    """The tool's options for a dict of the module's keywords: a check box ticked
    by default takes on|off, the others are flags (the lists' option column)."""
    channels = {c.keyword: c for c in kestrin.CHANNELS}
    toggles = {t.keyword: t for t in kestrin.TOGGLES}
    options = []
    for keyword, value in settings.items():
        if keyword in channels:
            options += [f"--{channels[keyword].option}", repr(float(value))]
        elif toggles[keyword].default:
            options += [f"--{toggles[keyword].option}", "on" if value else "off"]
        elif value:
            options += [f"--{toggles[keyword].option}"]
    return options


def read_weight_csv(path):
    rows = np.loadtxt(path, delimiter=",", dtype=str, skiprows=1)  # point,weight
    return np.array([np.float32(float(w)) for w in rows[:, 1]], dtype=np.float32)


def read_obj_points(path):
    with open(path) as lines:
        return np.array([[float(v) for v in line.split()[1:4]] for line in lines if line.startswith("v ")])


@pytest.fixture(autouse=True)
def no_record_left_behind():
    """Each test releases every instance it made."""
    import gc

    gc.collect()
    before = kestrin.attached_records()
    yield
    gc.collect()
    assert kestrin.attached_records() == before
