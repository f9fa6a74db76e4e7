"""What the plug-ins do, seen through the module: known tensions, turning offsets, many instances."""

import gc
import threading

import numpy as np
import pytest

import kestrin
from conftest import bent_poses, grid, quad_grid, targets


def rotation(axis, angle):
    x, y, z = np.asarray(axis, dtype=float) / np.linalg.norm(axis)
    c, s = np.cos(angle), np.sin(angle)
    return np.array([[c + x * x * (1 - c), x * y * (1 - c) - z * s, x * z * (1 - c) + y * s],
                     [y * x * (1 - c) + z * s, c + y * y * (1 - c), y * z * (1 - c) - x * s],
                     [z * x * (1 - c) - y * s, z * y * (1 - c) + x * s, c + z * z * (1 - c)]])


def test_uniform_scale_and_rest_give_known_weights():
    rest, faces = quad_grid()
    with kestrin.Strainmark(rest, faces) as tool:
        # log2(1.5) = 0.585, shaped sin(0.585 pi/2) = 0.795, squared: 0.63188.
        np.testing.assert_allclose(tool.weights(rest * 1.5), 0.63188, atol=1e-5)
        assert not tool.weights(rest).any()


def test_offsets_turn_with_a_rotated_and_scaled_pose():
    rest, faces = quad_grid()
    stretch, squash = targets(rest)
    shift = np.array([3.5, -1.25, 10.0])
    with kestrin.Strainshaper(rest, faces, stretch_target=stretch, squash_target=squash) as fx:
        for axis, angle in [((0, 0, 1), 0.0), ((1, 0, 0), np.pi / 2), ((0.48, 0.6, 0.64), 2.1),
                            ((-0.8, 0.0, 0.6), -0.7)]:
            R = rotation(axis, angle)
            # Edges twice as long reach the full stretch offset, half as long the full squash offset.
            for factor, target in [(2.0, stretch), (0.5, squash)]:
                pose = (rest * factor) @ R.T + shift
                expected = pose + (target - rest) @ R.T
                np.testing.assert_allclose(fx.displace(pose), expected, rtol=0, atol=1e-9)


def test_instances_side_by_side_give_what_each_gives_alone():
    rest, faces = grid()
    other_rest, other_faces = quad_grid()
    other_rest = other_rest * [1.0, 2.0, 0.5]
    poses, other_poses = bent_poses(rest), bent_poses(other_rest)
    stretch, squash = targets(other_rest)
    a_settings = {"exponent": 0.3, "clamp": False}
    b_settings = {"post_multiplier": 0.8, "switch": True}

    alone_a = kestrin.weights(rest, faces, poses, **a_settings)
    alone_b = kestrin.weights(rest, faces, poses, **b_settings)
    with kestrin.Strainshaper(other_rest, other_faces, stretch, squash, exponent=0.1) as fx:
        alone_fx = fx.displace(other_poses)

    with kestrin.Strainmark(rest, faces, **a_settings) as a, \
            kestrin.Strainmark(rest, faces, **b_settings) as b, \
            kestrin.Strainshaper(other_rest, other_faces, stretch, squash, exponent=0.1) as fx:
        for i in reversed(range(len(poses))):
            np.testing.assert_array_equal(b.weights(poses[i]), alone_b[i])
            np.testing.assert_array_equal(fx.displace(other_poses[i]), alone_fx[i])
            np.testing.assert_array_equal(a.weights(poses[i]), alone_a[i])

        # From threads: the GIL is released while the plug-ins compute; the scene takes turns.
        results = {}
        threads = [threading.Thread(target=lambda k=k, f=f: results.__setitem__(k, f()))
                   for k, f in [("a", lambda: a.weights(poses)), ("b", lambda: b.weights(poses)),
                                ("fx", lambda: fx.displace(other_poses))] * 3]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        np.testing.assert_array_equal(results["a"], alone_a)
        np.testing.assert_array_equal(results["b"], alone_b)
        np.testing.assert_array_equal(results["fx"], alone_fx)

        # Settings changed between poses act from the next pose on, as made with them.
        a.exponent, a.clamp = b_settings.get("exponent", 0.2), True
        a.post_multiplier, a.switch = 0.8, True
        np.testing.assert_array_equal(a.weights(poses), alone_b)


def test_objects_release_their_instances():
    rest, faces = quad_grid()
    stretch, squash = targets(rest)
    gc.collect()
    before = kestrin._attached_records()

    tool = kestrin.Strainmark(rest, faces)
    fx = kestrin.Strainshaper(rest, faces, stretch, squash)
    assert kestrin._attached_records() == before + 2
    tool.close()
    tool.close()
    assert tool.closed and kestrin._attached_records() == before + 1
    with pytest.raises(ValueError, match="closed"):
        tool.weights(rest)
    with pytest.raises(ValueError, match="closed"):
        tool.exponent = 0.3

    cycle = [fx]
    cycle.append(cycle)  # freed by the collector, not by reference counts
    del fx, cycle
    gc.collect()
    assert kestrin._attached_records() == before

    with kestrin.Strainmark(rest, faces) as inside:
        assert kestrin._attached_records() == before + 1
    assert inside.closed and kestrin._attached_records() == before
