"""The attribute on the evaluated mesh at each frame equals kestrin.weights of that mesh, bit for bit."""

import bpy
import numpy as np
import pytest

import kestrin
import kestrin_tension
from conftest import (add_armature, add_mesh_cache, add_shape_key, attribute, evaluated, faces, grid,
                      points)

# Settings typed in the panel, as the user typed them; the plug-in must get these decimals.
TYPED = {"exponent": 0.3, "pre_multiplier": 0.7, "stretch_multiplier": 0.6, "clamp": False}


@pytest.mark.parametrize("source", ["armature", "shape key", "mesh cache"])
def test_attribute_is_the_weights_of_the_evaluated_mesh(scene, source, tmp_path):
    obj = grid()
    {"armature": add_armature, "shape key": add_shape_key,
     "mesh cache": lambda o: add_mesh_cache(o, str(tmp_path))}[source](obj)
    assert bpy.ops.kestrin.strainmark_add() == {"FINISHED"}
    settings = obj.kestrin_strainmark
    settings.colour_attribute = "tension_colour"
    for keyword, value in TYPED.items():
        setattr(settings, keyword, value)
    rest, polygons = points(obj.data), faces(obj.data)
    for frame in (2, 3):
        scene.frame_set(frame)
        mesh = evaluated(obj)
        posed = points(mesh)
        assert not np.allclose(posed, rest)
        expected = kestrin.weights(rest, polygons, posed[None], **TYPED)[0]
        got = attribute(mesh)
        assert got.tobytes() == expected.tobytes()
        assert (got > 0.01).any() and (got < -0.01).any()
        colour = np.empty(len(got) * 4, np.float32)
        mesh.attributes["tension_colour"].data.foreach_get("color", colour)
        colour = colour.reshape(-1, 4)
        assert np.array_equal(colour[:, 0], np.maximum(got, 0))
        assert np.array_equal(colour[:, 1], np.maximum(-got, 0))
        assert (colour[:, 3] == 1).all()
    # A changed setting reaches the same frame's attribute through the update, not a frame change.
    settings.exponent = 0.25
    expected = kestrin.weights(rest, polygons, points(evaluated(obj))[None], **dict(TYPED, exponent=0.25))[0]
    assert attribute(evaluated(obj)).tobytes() == expected.tobytes()
    assert kestrin_tension.problem(obj) is None


def test_rest_at_a_frame_serves_a_subdivided_mesh(scene):
    obj = grid()
    add_shape_key(obj)
    obj.modifiers.new("subdivide", "SUBSURF").levels = 1
    bpy.ops.kestrin.strainmark_add()
    settings = obj.kestrin_strainmark
    settings.rest_frame = 1
    settings.rest = "FRAME"
    rest_mesh = settings.rest_mesh
    assert len(rest_mesh.vertices) > len(obj.data.vertices)
    scene.frame_set(3)
    mesh = evaluated(obj)
    expected = kestrin.weights(points(rest_mesh), faces(rest_mesh), points(mesh)[None])[0]
    assert attribute(mesh).tobytes() == expected.tobytes()


def test_what_cannot_be_measured_is_reported_once_and_left_alone(scene, capsys):
    # A curve: the operator refuses it, and settings enabled by a script are reported.
    curve = bpy.data.objects.new("curve", bpy.data.curves.new("curve", "CURVE"))
    scene.collection.objects.link(curve)
    bpy.context.view_layer.objects.active = curve
    with pytest.raises(RuntimeError, match="needs a mesh"):
        bpy.ops.kestrin.strainmark_add()
    curve.kestrin_strainmark.enabled = True

    # Points only, no faces.
    loose = bpy.data.meshes.new("loose")
    loose.from_pydata([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [], [])
    no_faces = bpy.data.objects.new("no faces", loose)
    scene.collection.objects.link(no_faces)

    # A mesh whose modifier removes points until frame 3 (the Build modifier grows it face by face).
    growing = grid("growing")
    add_shape_key(growing)
    build = growing.modifiers.new("build", "BUILD")
    build.frame_start, build.frame_duration = 0, 3

    for obj in (no_faces, growing):
        bpy.context.view_layer.objects.active = obj
        bpy.ops.kestrin.strainmark_add()
        obj.data.attributes["tension"].data.foreach_set("value", np.full(len(obj.data.vertices), 7.0, np.float32))
        obj.data.update()

    for frame in (1, 2, 1, 2):
        scene.frame_set(frame)
    assert "needs a mesh" in kestrin_tension.problem(curve)
    assert "no faces" in kestrin_tension.problem(no_faces)
    assert "points where its rest has" in kestrin_tension.problem(growing)
    for obj in (no_faces, growing):
        assert (attribute(evaluated(obj)) == 7.0).all()
    reported = capsys.readouterr().err
    for name in ("curve", "no faces", "growing"):
        assert reported.count(f"Kestrin Tension: {name}:") == 1, reported

    # Whole again at frame 3: computed, and the problem cleared.
    scene.frame_set(3)
    assert kestrin_tension.problem(growing) is None
    assert not (attribute(evaluated(growing)) == 7.0).all()


def test_the_panels_settings_are_the_plugins_lists(scene):
    """Name, default, slider range and help of each setting as kestrin.CHANNELS and TOGGLES give them."""
    properties = grid().kestrin_strainmark.bl_rna.properties
    for c in kestrin.CHANNELS:
        p = properties[c.keyword]
        assert (p.name, p.soft_min, p.soft_max) == (c.name, c.low, c.high)
        assert p.default == pytest.approx(c.default, rel=1e-7)  # held as a float32
        assert p.description == c.help[:1].upper() + c.help[1:]
    for t in kestrin.TOGGLES:
        p = properties[t.keyword]
        assert (p.name, p.default, p.description) == (t.label, t.default, t.help[:1].upper() + t.help[1:])
