"""Every array a plug-in could not use is refused with ValueError before it reaches one."""

import numpy as np
import pytest

import kestrin
from conftest import quad_grid, targets

REST, FACES = quad_grid()
N = REST.shape[0]
STRETCH, SQUASH = targets(REST)


def with_nan(points, row=3):
    out = np.array(points, dtype=float)
    out[row, 1] = np.nan
    return out


def with_inf(points, row=5):
    out = np.array(points, dtype=float)
    out[row, 2] = -np.inf
    return out


def weights_of(pose):
    with kestrin.Strainmark(REST, FACES) as tool:
        tool.weights(pose)


def displaced(pose):
    with kestrin.Strainshaper(REST, FACES, STRETCH, SQUASH) as fx:
        fx.displace(pose)


def set_on_new_tool(setting, value):
    with kestrin.Strainmark(REST, FACES) as tool:
        setattr(tool, setting, value)


CASES = [
    ("rest of 2 columns", lambda: kestrin.Strainmark(REST[:, :2], FACES), "shape"),
    ("rest of 1 dimension", lambda: kestrin.Strainmark(REST.ravel(), FACES), "shape"),
    ("rest without points", lambda: kestrin.Strainmark(np.zeros((0, 3)), []), "no points"),
    ("rest of complex numbers", lambda: kestrin.Strainmark(REST.astype(complex), FACES), "complex"),
    ("rest of strings", lambda: kestrin.Strainmark(REST.astype(str), FACES), "cannot be used"),
    ("rest of booleans", lambda: kestrin.Strainmark(REST > 1, FACES), "bool"),
    ("rest holding None", lambda: kestrin.Strainmark([[0, 0, 0], [1, None, 0], [0, 1, 0]], [[0, 1, 2]]),
     "cannot be used"),
    ("rest with NaN", lambda: kestrin.Strainmark(with_nan(REST), FACES), "point 3 is not finite"),
    ("rest with infinity", lambda: kestrin.Strainmark(with_inf(REST), FACES), "point 5 is not finite"),
    ("faces of floats", lambda: kestrin.Strainmark(REST, FACES.astype(float)), "integers"),
    ("face index past the end", lambda: kestrin.Strainmark(REST, np.where(FACES == 0, N, FACES)),
     f"index {N} is out of range"),
    ("negative face index", lambda: kestrin.Strainmark(REST, [[0, 1, 8], [1, -1, 8]]), "faces\\[1\\]"),
    ("polygon of 2 corners", lambda: kestrin.Strainmark(REST, [[0, 1, 8], [1, 2]]), "at least 3"),
    ("polygon of strings", lambda: kestrin.Strainmark(REST, [["a", "b", "c"]]), "integers"),
    ("faces of 3 dimensions", lambda: kestrin.Strainmark(REST, FACES[None]), "shape"),
    ("faces not a sequence", lambda: kestrin.Strainmark(REST, 7), "sequence"),
    ("channel not finite", lambda: kestrin.Strainmark(REST, FACES, exponent=float("nan")), "exponent"),
    ("channel not a number", lambda: kestrin.Strainshaper(REST, FACES, STRETCH, SQUASH, squash_multiplier="x"),
     "squash_multiplier"),
    # A string or a number would tick the box whatever it says.
    ("check box given as a string", lambda: kestrin.Strainmark(REST, FACES, clamp="False"),
     "clamp: 'False' is not True or False"),
    ("check box given as a number", lambda: kestrin.weights(REST, FACES, REST, switch=0), "switch"),
    ("check box set to None", lambda: set_on_new_tool("only_positive", None), "only_positive"),
    ("channel given as text", lambda: kestrin.Strainmark(REST, FACES, exponent="0.3"), "exponent"),
    ("channel set to a bool", lambda: set_on_new_tool("pre_multiplier", True), "pre_multiplier"),
    ("pose with fewer points", lambda: weights_of(REST[:-1]), f"{N - 1} points, but the rest mesh has {N}"),
    ("poses with more points", lambda: weights_of(np.stack([REST, REST])[:, :N - 2]), "points"),
    ("pose of 1 dimension", lambda: weights_of(REST.ravel()), "shape"),
    ("pose of 4 dimensions", lambda: weights_of(REST[None, None]), "shape"),
    ("pose with NaN", lambda: weights_of(with_nan(REST)), "is not finite"),
    ("second pose with infinity", lambda: weights_of(np.stack([REST, with_inf(REST)])),
     "pose 1, point 5 is not finite"),
    ("effect pose with NaN", lambda: displaced(with_nan(REST)), "is not finite"),
    ("effect pose of complex numbers", lambda: displaced(REST + 0j), "complex"),
    ("stretch target with fewer points", lambda: kestrin.Strainshaper(REST, FACES, STRETCH[1:], SQUASH),
     "stretch_target"),
    ("squash target with NaN", lambda: kestrin.Strainshaper(REST, FACES, STRETCH, with_nan(SQUASH)), "squash_target"),
    ("weight map of another length", lambda: kestrin.Strainshaper(REST, FACES, STRETCH, SQUASH, np.ones(N + 1)),
     "weight_map"),
    ("weight map beyond float32", lambda: kestrin.Strainshaper(REST, FACES, STRETCH, SQUASH, np.where(
        np.arange(N) == 2, 1e39, 1.0)), "entry 2 is not finite as a float32"),
    ("weight map with NaN", lambda: kestrin.Strainshaper(REST, FACES, STRETCH, SQUASH, np.where(
        np.arange(N) == 4, np.nan, 1.0)), "entry 4 is not finite"),
    ("sequence of other poses", lambda: kestrin.weights(REST, FACES, np.zeros((2, N + 1, 3))), "points"),
]


@pytest.mark.parametrize("make, message", [case[1:] for case in CASES], ids=[case[0] for case in CASES])
def test_bad_arrays_are_refused(make, message):
    with pytest.raises(ValueError, match=message):
        make()


def test_float32_and_non_contiguous_arrays_are_accepted():
    pose = (REST * [1.4, 0.9, 1.1]).astype(np.float32)
    expected = kestrin.weights(REST, FACES, pose.astype(np.float64)[None])[0]
    strided = np.asfortranarray(np.repeat(pose, 2, axis=0)[::2])
    assert not strided.flags.c_contiguous
    faces = np.asfortranarray(FACES.astype(np.uint16))
    with kestrin.Strainmark(np.asfortranarray(REST), faces) as tool:
        np.testing.assert_array_equal(tool.weights(pose), expected)
        np.testing.assert_array_equal(tool.weights(strided), expected)
        np.testing.assert_array_equal(tool.weights(pose.tolist()), expected)


def test_numpy_scalars_are_taken_as_settings():
    with kestrin.Strainmark(REST, FACES, clamp=np.bool_(False), exponent=np.float32(0.25)) as tool:
        tool.switch = np.True_
        tool.post_multiplier = np.array(0.75)
        tool.squash_multiplier = np.int64(1)
        assert (tool.clamp, tool.switch, tool.exponent, tool.post_multiplier, tool.squash_multiplier) == \
            (False, True, 0.25, 0.75, 1.0)
