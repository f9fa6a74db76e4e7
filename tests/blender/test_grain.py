"""Grainmark's measures on the evaluated mesh equal kestrin.Grainmark's for the axis at that frame.

The axis comes typed and animated, from an empty turned by its parent, or
from a bone of the rig; each expected axis is written out here from the
animation's own numbers.
"""

import math

import bpy
import numpy as np

import kestrin
import kestrin_tension
from conftest import add_armature, attribute, evaluated, faces, grid, points

MEASURED = ("along", "across", "area")
TYPED = {"exponent": 0.3, "clamp": False}


def _turning(angle):
    """A unit axis turned by angle about z from x."""
    return (math.cos(angle), math.sin(angle), 0.0)


def _scene(scene):
    """Three rigged grids, each with its axis from another source; returns {name: (object, axis at frame)}."""
    typed = grid("typed")
    add_armature(typed, name="typed rig")
    bpy.ops.kestrin.strainmark_add()
    settings = typed.kestrin_strainmark
    for frame, axis in ((1, (1.0, 0.0, 0.0)), (3, (0.0, 1.0, 0.0))):
        settings.axis_x, settings.axis_y, settings.axis_z = axis
        for name in ("axis_x", "axis_y", "axis_z"):
            settings.keyframe_insert(name, frame=frame)

    # An empty turned by its key and by its parent, measured on a turned object: x in the object's space.
    turned = grid("turned")
    turned.rotation_euler.z = 0.2
    add_armature(turned, name="turned rig")
    bpy.ops.kestrin.strainmark_add()
    parent = bpy.data.objects.new("axis parent", None)
    parent.rotation_euler.z = 0.5
    empty = bpy.data.objects.new("axis", None)
    empty.parent = parent
    for obj in (parent, empty):
        scene.collection.objects.link(obj)
    for frame, angle in ((1, 0.0), (3, 0.6)):
        empty.rotation_euler.z = angle
        empty.keyframe_insert("rotation_euler", index=2, frame=frame)
    turned.kestrin_strainmark.axis_object, turned.kestrin_strainmark.axis_local = empty, "X"

    # The rig's second bone, bent 0.9 rad by frame 3 (two eased keys: half way at frame 2): its Y.
    boned = grid("boned")
    rig = add_armature(boned, name="boned rig")
    bpy.ops.kestrin.strainmark_add()
    boned.kestrin_strainmark.axis_object, boned.kestrin_strainmark.axis_bone = rig, "b"

    for action in bpy.data.actions:
        for curve in action.fcurves:
            if curve.data_path != "pose.bones[\"b\"].rotation_euler":
                for key in curve.keyframe_points:
                    key.interpolation = "LINEAR"
    for obj in (typed, turned, boned):
        settings = obj.kestrin_strainmark
        for direction in MEASURED:
            setattr(settings, "grain_" + direction, True)
        for keyword, value in TYPED.items():
            setattr(settings, keyword, value)
    return {
        "typed": (typed, lambda frame: (1 - (frame - 1) / 2, (frame - 1) / 2, 0.0)),
        "turned": (turned, lambda frame: _turning(0.5 + 0.3 * (frame - 1) - 0.2)),
        "boned": (boned, lambda frame: _turning(0.45 * (frame - 1))),
    }


def _expected(obj, pose, axis, directions=MEASURED):
    with kestrin.Grainmark(points(obj.data), faces(obj.data), axis=axis, **TYPED) as tool:
        found = {}
        for direction in directions:
            tool.direction = direction
            found[direction] = tool.weights(pose)
        return found


def _check(obj, axis):
    """Every measure's attribute on obj's evaluated mesh against kestrin.Grainmark with that axis."""
    mesh = evaluated(obj)
    pose = points(mesh)
    for direction, expected in _expected(obj, pose, axis).items():
        np.testing.assert_allclose(attribute(mesh, f"tension_{direction}"), expected, atol=2e-6,
                                   err_msg=f"{obj.name} {direction}")
    return pose


def test_each_measure_follows_its_axis_frame_by_frame_live_and_baked(scene, tmp_path):
    cases = _scene(scene)
    poses = {name: [] for name in cases}
    for frame in (1, 2, 3):
        scene.frame_set(frame)
        for name, (obj, axis) in cases.items():
            poses[name].append(_check(obj, axis(frame)))
            assert kestrin_tension.problem(obj) is None
    # The axis matters: at frame 3 along and across differ, and the three objects read differently.
    mesh = evaluated(cases["turned"][0])
    assert np.abs(attribute(mesh, "tension_along") - attribute(mesh, "tension_across")).max() > 0.05

    # The axis object turned at the same frame, no frame change: the next update has the new axis.
    obj, _ = cases["turned"]
    bpy.data.objects["axis parent"].rotation_euler.z = 0.9
    evaluated(obj)
    _check(obj, _turning(0.9 + 0.6 - 0.2))
    bpy.data.objects["axis parent"].rotation_euler.z = 0.5

    # Baked: Strainmark's file and one per measure beside it, as the tool names them.
    bpy.context.view_layer.objects.active = obj
    path = tmp_path / "w.npy"
    assert bpy.ops.kestrin.bake_weights(filepath=str(path), frame_start=1, frame_end=3) == {"FINISHED"}
    assert np.load(path).tobytes() == kestrin.weights(points(obj.data), faces(obj.data), np.stack(poses["turned"]),
                                                      **TYPED).tobytes()
    for direction in MEASURED:
        baked = np.load(tmp_path / f"w.{direction}.npy")
        for index, frame in enumerate((1, 2, 3)):
            expected = _expected(obj, poses["turned"][index], cases["turned"][1](frame), (direction,))[direction]
            np.testing.assert_allclose(baked[index], expected, atol=2e-6)


def test_an_axis_that_cannot_be_read_leaves_no_attribute_and_says_why(scene):
    obj = grid()
    rig = add_armature(obj)
    bpy.ops.kestrin.strainmark_add()
    settings = obj.kestrin_strainmark
    settings.grain_along = True
    scene.frame_set(3)
    for source, bone, reason in ((rig, "nope", "has no bone 'nope'"),
                                 (obj, "b", "has no bone 'b'"),
                                 (rig, "b", None)):
        settings.axis_object, settings.axis_bone = source, bone
        mesh = evaluated(obj)
        if reason:
            assert reason in (kestrin_tension.problem(obj) or ""), reason
            assert not {"tension", "tension_along"} & set(mesh.attributes.keys()), reason
        else:
            assert kestrin_tension.problem(obj) is None and "tension_along" in mesh.attributes
