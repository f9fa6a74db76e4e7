"""kestrin.Grainmark against a reference written here in NumPy, and the
readings a user checks by hand: a stretched grid, a rigid move, a swapped
axis, a patch stretched one way and squashed the other, a shear."""

import math

import numpy as np
import pytest

import kestrin
from conftest import bent_poses, grid, write_obj

F = np.float32


def reference_tensors(rest, faces, pose):
    """Per point: its rest normal, a tangent basis (u, v) and the 2 x 2 mean
    right Cauchy-Green tensor of its polygons' fan triangles in that basis,
    each triangle turned onto the point's plane, weighted by rest area."""
    triangles = [[] for _ in range(len(rest))]
    for face in faces:
        fan = [(face[0], face[k], face[k + 1]) for k in range(1, len(face) - 1)]
        for point in set(int(i) for i in face):
            triangles[point] += fan
    result = []
    for point, own in enumerate(triangles):
        t = np.array(own)
        rest_edges = np.stack([rest[t[:, 1]] - rest[t[:, 0]], rest[t[:, 2]] - rest[t[:, 0]]], axis=2)
        pose_edges = np.stack([pose[t[:, 1]] - pose[t[:, 0]], pose[t[:, 2]] - pose[t[:, 0]]], axis=2)
        crosses = np.cross(rest_edges[:, :, 0], rest_edges[:, :, 1])
        areas = np.linalg.norm(crosses, axis=1) / 2
        normal = crosses.sum(axis=0) / np.linalg.norm(crosses.sum(axis=0))
        helper = np.eye(3)[np.argmin(np.abs(normal))]
        u = np.cross(normal, helper)
        u /= np.linalg.norm(u)
        basis = np.stack([u, np.cross(normal, u)], axis=1)
        tensor = np.zeros((2, 2))
        for rest_e, pose_e, cross, area in zip(rest_edges, pose_edges, crosses, areas):
            m = cross / np.linalg.norm(cross)
            k = np.cross(normal, m)
            kx = np.array([[0, -k[2], k[1]], [k[2], 0, -k[0]], [-k[1], k[0], 0]])
            turn = np.eye(3) + kx + kx @ kx / (1 + normal @ m)
            gradient = pose_e @ np.linalg.pinv(rest_e)
            g = gradient @ turn @ basis
            tensor += area * g.T @ g
        result.append((normal, basis, tensor / areas.sum()))
    return result


def reference_ratios(rest, faces, pose, direction, axis):
    axis = np.asarray(axis, float) / np.linalg.norm(axis)
    ratios = []
    for normal, basis, c in reference_tensors(rest, faces, pose):
        if direction in ("along", "across"):
            along = axis - (axis @ normal) * normal
            along /= np.linalg.norm(along)
            d = basis.T @ (along if direction == "along" else np.cross(normal, along))
            ratios.append(math.sqrt(d @ c @ d))
        elif direction == "area":
            ratios.append(math.sqrt(np.linalg.det(c)))
        else:
            low, high = np.linalg.eigvalsh(c)
            ratios.append(math.sqrt(high if direction == "max" else max(low, 0.0)))
    return np.array(ratios)


def curve(ratio):
    """Strainmark's curve with the default settings, in float steps."""
    t = F(math.log(F(ratio)) / math.log(2.0))
    t = F(t * 0.5 * 2.0)
    if t > 1.0:
        t = F(1.0)
    elif t > -1.0:
        t = F(-1.0 + 2.0 * (0.5 + 0.5 * math.sin(((t + 1.0) / 2.0 - 0.5) * 3.1415926535898)))
    else:
        t = F(-1.0)
    t = F(t * 0.5 * 2.0)
    if t < 0.0:
        t = F(-F(F(t * 0.5 * -2.0) ** 2.0))
    if t >= 0.0:
        t = F(F(t * 0.5 * 2.0) ** 2.0)
    return min(max(t, F(-1.0)), F(1.0))


# The bumpy grid of quads and triangles in every pose of the module's tests
# (scaled, stretched along x, bent, jittered), each measure, along two axes.
@pytest.mark.parametrize("axis", [(1.0, 0.0, 0.0), (0.0, 1.0, 1.0)])
def test_weights_match_the_reference(axis):
    rest, faces = grid()
    poses = bent_poses(rest)
    for direction in kestrin.DIRECTIONS:
        with kestrin.Grainmark(rest, faces, direction=direction, axis=axis) as tool:
            got = tool.weights(poses)
        for pose, weights in zip(poses, got):
            expected = [curve(r) for r in reference_ratios(rest, faces, pose, direction, axis)]
            np.testing.assert_allclose(weights, expected, atol=2e-5, err_msg=direction)


def flat_grid(n=6):
    xs, ys = np.meshgrid(np.arange(n, dtype=float), np.arange(n, dtype=float))
    rest = np.stack([xs.ravel(), ys.ravel(), np.zeros(n * n)], axis=1)
    faces = np.array([[y * n + x, y * n + x + 1, (y + 1) * n + x + 1, (y + 1) * n + x]
                      for y in range(n - 1) for x in range(n - 1)])
    interior = [y * n + x for y in range(1, n - 1) for x in range(1, n - 1)]
    return rest, faces, interior


def grain(rest, faces, pose, direction, axis=(1.0, 0.0, 0.0)):
    with kestrin.Grainmark(rest, faces, direction=direction, axis=axis) as tool:
        return tool.weights(pose)


def test_the_readings_a_user_checks_by_hand():
    rest, faces, interior = flat_grid()
    s = 1.3
    with kestrin.Strainmark(rest, faces) as strainmark:
        uniform = strainmark.weights(rest * s)[0]
        uniform_squash = strainmark.weights(rest / s)[0]
        patch_strainmark = strainmark.weights(rest * [s, 1 / s, 1.0])
    assert uniform == pytest.approx(curve(s), abs=1e-6)

    # Stretched by s along x: along x reads Strainmark's uniform stretch, across 0, area the same.
    stretched = rest * [s, 1.0, 1.0]
    np.testing.assert_allclose(grain(rest, faces, stretched, "along"), uniform, atol=1e-6)
    np.testing.assert_allclose(grain(rest, faces, stretched, "across"), 0.0, atol=1e-6)
    np.testing.assert_allclose(grain(rest, faces, stretched, "area"), uniform, atol=1e-6)

    # Swapping the axis to y swaps along and across.
    np.testing.assert_allclose(grain(rest, faces, stretched, "along", (0, 1, 0)),
                               grain(rest, faces, stretched, "across"), atol=1e-6)
    np.testing.assert_allclose(grain(rest, faces, stretched, "across", (0, 1, 0)),
                               grain(rest, faces, stretched, "along"), atol=1e-6)

    # Turned and moved, bent out of the plane too: nothing reads anything.
    c, d = math.cos(0.7), math.sin(0.7)
    turn = np.array([[c, -d, 0], [d * 0.6, c * 0.6, -0.8], [d * 0.8, c * 0.8, 0.6]])
    moved = rest @ turn.T + [5.0, -2.0, 3.0]
    for direction in kestrin.DIRECTIONS:
        np.testing.assert_allclose(grain(rest, faces, moved, direction, (0.3, 1.0, 0.2)), 0.0, atol=1e-6,
                                   err_msg=direction)

    # s along x, 1/s across: Strainmark barely sees it; along = -across = the curve of log2 s.
    patch = rest * [s, 1 / s, 1.0]
    assert np.all(np.abs(patch_strainmark[interior]) < 0.05)
    np.testing.assert_allclose(grain(rest, faces, patch, "along"), uniform, atol=1e-6)
    np.testing.assert_allclose(grain(rest, faces, patch, "across"), uniform_squash, atol=1e-6)
    np.testing.assert_allclose(uniform_squash, -uniform, atol=1e-6)

    # A shear keeps the area: its principal stretches read equal and opposite.
    sheared = rest + np.outer(rest[:, 1], [0.4, 0.0, 0.0])
    most, least = grain(rest, faces, sheared, "max"), grain(rest, faces, sheared, "min")
    assert np.all(most > 0.05)
    np.testing.assert_allclose(least, -most, atol=1e-5)
    np.testing.assert_allclose(grain(rest, faces, sheared, "area"), 0.0, atol=1e-6)


def test_direction_and_axis_are_settings_like_the_others(tmp_path):
    rest, faces, _ = flat_grid(3)
    with kestrin.Grainmark(rest, faces, direction="min", axis=(0, 0, 2), clamp=False) as tool:
        assert (tool.direction, tool.axis, tool.clamp) == ("min", (0.0, 0.0, 2.0), False)
        tool.direction = "across"
        tool.axis = np.array([1, 2, 3])
        tool.save_settings(tmp_path / "grain.json")
    with kestrin.Grainmark(rest, faces) as loaded:
        loaded.load_settings(tmp_path / "grain.json")
        assert (loaded.direction, loaded.axis, loaded.clamp) == ("across", (1.0, 2.0, 3.0), False)
    for bad in ({"direction": "sideways"}, {"axis": (1, 0)}, {"axis": (1, float("nan"), 0)}, {"axis": "xyz"}):
        with pytest.raises(ValueError):
            kestrin.Grainmark(rest, faces, **bad)
    assert kestrin.attached_records() == 0


# The tool runs the same plug-in: one .npy per direction, the same bits as the module's.
def test_tool_writes_one_output_per_direction(tmp_path, run_tool):
    rest, faces = grid()
    poses = bent_poses(rest)[1:4]
    rest_obj = write_obj(tmp_path / "rest.obj", rest, faces)
    pose_objs = [write_obj(tmp_path / f"pose{i}.obj", pose, faces) for i, pose in enumerate(poses)]
    args = ["weights", "--rest", rest_obj, "-o", tmp_path / "w.npy", "--axis", "1,0.5,0", "--exponent", "0.1"]
    for pose in pose_objs:
        args += ["--pose", pose]
    run_tool(*args, "--direction", "across", "--direction", "max")
    for direction in ("across", "max"):
        with kestrin.Grainmark(rest, faces, direction=direction, axis=(1, 0.5, 0), exponent=0.1) as tool:
            np.testing.assert_array_equal(np.load(tmp_path / f"w.{direction}.npy"), tool.weights(poses))
    assert not (tmp_path / "w.npy").exists()
