"""The attribute on the evaluated mesh at each frame equals kestrin.weights of that mesh, bit for bit."""

import bmesh
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
    subdivide = obj.modifiers.new("subdivide", "SUBSURF")
    subdivide.levels, subdivide.render_levels = 1, 2
    bpy.ops.kestrin.strainmark_add()
    settings = obj.kestrin_strainmark
    settings.rest_frame = 1
    settings.rest = "FRAME"
    rest_mesh = settings.rest_mesh
    # Captured as the viewport and as a render evaluate it; the modifier put back as it was.
    assert (len(obj.data.vertices), len(rest_mesh.vertices), len(settings.rest_mesh_render.vertices)) == (54, 187, 693)
    assert (subdivide.levels, subdivide.show_viewport) == (1, True)
    scene.frame_set(3)
    mesh = evaluated(obj)
    expected = kestrin.weights(points(rest_mesh), faces(rest_mesh), points(mesh)[None])[0]
    assert attribute(mesh).tobytes() == expected.tobytes()


def test_what_cannot_be_measured_is_reported_once_with_its_current_numbers_and_gets_no_attribute(scene, capsys):
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

    # Stale values in the original meshes (an older add-on's layer) must not show through.
    for obj in (no_faces, growing):
        bpy.context.view_layer.objects.active = obj
        bpy.ops.kestrin.strainmark_add()
        obj.data.attributes.new("tension", "FLOAT", "POINT").data.foreach_set(
            "value", np.full(len(obj.data.vertices), 7.0, np.float32))
        obj.data.update()

    for frame in (1, 2, 1, 2):
        scene.frame_set(frame)
    assert "needs a mesh" in kestrin_tension.problem(curve)
    assert "no faces" in kestrin_tension.problem(no_faces)
    assert f"has {len(evaluated(growing).vertices)} points where its rest has 54" in kestrin_tension.problem(growing)
    for obj in (no_faces, growing):
        assert "tension" not in evaluated(obj).attributes
    reported = capsys.readouterr().err
    for name in ("curve", "no faces", "growing"):
        assert reported.count(f"Kestrin Tension: {name}:") == 1, reported

    # Whole again at frame 3: computed, and the problem cleared.
    scene.frame_set(3)
    assert kestrin_tension.problem(growing) is None
    assert not (attribute(evaluated(growing)) == 7.0).all()

    # A new object given a deleted one's name starts clean.
    bpy.data.objects.remove(no_faces)
    no_faces = grid("no faces")
    bpy.ops.kestrin.strainmark_add()
    assert kestrin_tension.problem(no_faces) is None


def test_attribute_names_blender_refuses_are_reported_with_the_reason(scene, monkeypatch):
    obj = grid()
    add_shape_key(obj)
    obj.vertex_groups.new(name="elbow")
    obj.data.uv_layers.new(name="uvs")
    bpy.ops.kestrin.strainmark_add()
    settings = obj.kestrin_strainmark
    scene.frame_set(3)
    cases = {
        "elbow": "name of one of its vertex groups",
        "position": "built-in attribute",
        "id": "built-in attribute",
        "uvs": "another layer of its mesh",
        "t" * 64: "at most 63 bytes",
        "é" * 32: "at most 63 bytes",
        ".tension": "internal attributes",
        "": "needs a name",
    }
    originals = sorted(a.name for a in obj.data.attributes)
    for name, reason in cases.items():
        settings.attribute = name
        mesh = evaluated(obj)
        assert reason in (kestrin_tension.problem(obj) or ""), name
        assert not any(a.name.startswith(name) and a.data_type == "FLOAT" for a in mesh.attributes), name
        assert len(mesh.vertices) == 54
    assert sorted(a.name for a in obj.data.attributes) == originals

    # A write Blender does not keep (as into a linked mesh where nothing else works): no attribute, never zeros.
    settings.attribute = "tension"
    monkeypatch.setattr(kestrin_tension.layers, "_took", lambda *arguments: False)
    settings.exponent = 0.3
    assert "tension" not in evaluated(obj).attributes
    assert "no writable evaluated mesh" in kestrin_tension.problem(obj)


def test_each_evaluated_object_gets_its_own_weights_and_nothing_else_is_written(scene):
    # Linked duplicates (Alt+D: one mesh), each bent by a rig of its own.
    left = grid("left")
    add_armature(left, angle=0.9, name="left rig")
    bpy.ops.kestrin.strainmark_add()
    right = bpy.data.objects.new("right", left.data)
    scene.collection.objects.link(right)
    bpy.context.view_layer.objects.active = right
    add_armature(right, angle=-0.6, name="right rig")
    bpy.ops.kestrin.strainmark_add()
    # Enabled, in a collection excluded from the view layer: outside the depsgraph.
    excluded = bpy.data.collections.new("excluded")
    scene.collection.children.link(excluded)
    hidden = grid("hidden")
    add_shape_key(hidden)
    scene.collection.objects.unlink(hidden)
    excluded.objects.link(hidden)
    hidden.kestrin_strainmark.enabled = True
    bpy.context.view_layer.layer_collection.children["excluded"].exclude = True
    hidden_points = points(hidden.data)
    for index in range(3):
        grid(f"bystander {index}")
    # One mesh, no modifier, no shape key: Blender evaluates it once for both objects.
    plain = grid("plain")
    bpy.ops.kestrin.strainmark_add()
    twin = bpy.data.objects.new("twin", plain.data)
    scene.collection.objects.link(twin)
    twin.kestrin_strainmark.enabled = True
    twin.kestrin_strainmark.exponent = 0.3

    for frame in (2, 3, 2, 3):
        scene.frame_set(frame)
        for obj in (left, right):
            mesh = evaluated(obj)
            expected = kestrin.weights(points(obj.data), faces(obj.data), points(mesh)[None])[0]
            assert attribute(mesh).tobytes() == expected.tobytes(), obj.name
    assert np.abs(attribute(evaluated(left)) - attribute(evaluated(right))).max() > 0.1
    assert "tension" not in left.data.attributes and "tension" not in hidden.data.attributes
    assert np.array_equal(points(hidden.data), hidden_points) and kestrin_tension.problem(hidden) is None
    assert "shares one evaluated mesh with plain" in kestrin_tension.problem(twin)
    assert kestrin_tension.problem(plain) is None and "tension" in evaluated(plain).attributes
    assert sorted(o.name for o in bpy.data.objects if o.get("kestrin_strainmark") is not None) == [
        "hidden", "left", "plain", "right", "twin"]


def test_a_face_change_that_keeps_every_count_is_seen(scene, tmp_path):
    obj = grid()
    add_armature(obj)
    editor = bmesh.new()
    editor.from_mesh(obj.data)
    bmesh.ops.triangulate(editor, faces=editor.faces)
    editor.to_mesh(obj.data)
    bpy.ops.kestrin.strainmark_add()
    scene.frame_set(3)
    evaluated(obj)
    # Rotate Edge: the same points, edges and faces counted, other faces.
    editor.edges.ensure_lookup_table()
    inner = [e for e in editor.edges if not e.is_boundary and 4.5 < e.verts[0].co.x < 6]
    bmesh.ops.rotate_edges(editor, edges=inner, use_ccw=True)
    before = faces(obj.data)
    editor.to_mesh(obj.data)
    obj.data.update()
    assert len(faces(obj.data)) == len(before) and faces(obj.data) != before

    mesh = evaluated(obj)
    expected = kestrin.weights(points(obj.data), faces(obj.data), points(mesh)[None])[0]
    assert attribute(mesh).tobytes() == expected.tobytes()
    assert bpy.ops.kestrin.bake_weights(filepath=str(tmp_path / "w.npy"), frame_start=3, frame_end=3) == {"FINISHED"}
    assert np.load(tmp_path / "w.npy")[0].tobytes() == expected.tobytes()


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
