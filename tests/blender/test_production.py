"""A shot built as productions build them, rendered from the command line after its folder moved.

The character lives in its own file (char.blend: a rigged grid with
Strainmark on, Grainmark along a bone of its rig, and the tension material); the shot links it twice, once as
a library override and once as a plain collection instance, and holds a
local character, linked duplicates with rigs of their own, a subdivided
mesh whose renders use more levels than the viewport, a corrective under a
subdivision and a render-only deformer, and an enabled object in an
excluded collection. The shot folder is then moved and rendered with
`blender -b SHOT -a` (Cycles, 80 x 68 pixels, one sample, frames 2-4),
with render_probe.py recording each frame's render depsgraph; meanwhile a
third Blender is stopped with Ctrl-C in the middle of a bake.

Vertices that the rigs leave in place sit on pixel centres (0.25 units a
pixel), so the tension AOV at such a pixel is that vertex's weight.
"""

import os
import pickle
import signal
import subprocess

import bpy
import numpy as np
import pytest

import kestrin
import kestrin_tension
from conftest import COLS, ROWS, add_armature, add_shape_key, clear_scene, faces, grid, points

FRAMES = (2, 3, 4)
CORRECTED = (2, 3)  # the corrective's range; frame 4 lies outside it
WIDTH, HEIGHT, PIXEL = 80, 68, 0.25
# World (x, y) -> pixel (column, row from the bottom): x = -1 at column 0's centre, y = -1 at row 0's.
LEFT, BOTTOM = -1.0, -1.0


def pixel_of(x, y):
    return int(round((x - LEFT) / PIXEL)), int(round((y - BOTTOM) / PIXEL))


def move_to(collection, *objects):
    for obj in objects:
        for holder in list(obj.users_collection):
            holder.objects.unlink(obj)
        collection.objects.link(obj)


def rigged(name, x=0.0, y=0.0, angle=0.9, mesh=None):
    """A grid (or a linked duplicate of `mesh`) at (x, y) with a rig of its own."""
    if mesh is None:
        obj = grid(name)
    else:
        obj = bpy.data.objects.new(name, mesh)
        bpy.context.scene.collection.objects.link(obj)
    obj.location = (x, y, 0)
    add_armature(obj, angle=angle, name=f"{name} rig")
    return obj


def enable(obj):
    bpy.context.view_layer.objects.active = obj
    assert bpy.ops.kestrin.strainmark_add() == {"FINISHED"}


def build_character(path):
    scene = bpy.context.scene
    character = bpy.data.collections.new("char")
    scene.collection.children.link(character)
    body = rigged("body", x=10)
    move_to(character, body, bpy.data.objects["body rig"])
    enable(body)
    assert bpy.ops.kestrin.material_add() == {"FINISHED"}
    # Grainmark along the rig's second bone, which bends 0.9 rad over frames 1-3.
    settings = body.kestrin_strainmark
    settings.grain_along, settings.axis_object, settings.axis_bone = True, bpy.data.objects["body rig"], "b"
    bpy.ops.wm.save_as_mainfile(filepath=str(path), copy=True)


def camera_and_output(scene):
    camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
    camera.data.type, camera.data.ortho_scale = "ORTHO", WIDTH * PIXEL
    camera.location = (LEFT - PIXEL / 2 + WIDTH * PIXEL / 2, BOTTOM - PIXEL / 2 + HEIGHT * PIXEL / 2, 20)
    scene.collection.objects.link(camera)
    scene.camera = camera
    scene.render.engine = "CYCLES"
    scene.cycles.samples, scene.cycles.use_denoising, scene.cycles.filter_width = 1, False, 0.01
    scene.render.resolution_x, scene.render.resolution_y, scene.render.resolution_percentage = WIDTH, HEIGHT, 100
    scene.render.image_settings.file_format = "OPEN_EXR"
    scene.render.filepath = "//render/frame_"
    scene.view_settings.view_transform = "Standard"
    scene.world = bpy.data.worlds.new("white")
    scene.world.color = (1, 1, 1)
    scene.frame_start, scene.frame_end = FRAMES[0], FRAMES[-1]
    # The tension AOV through the compositor, one file a frame.
    scene.use_nodes = True
    tree = scene.node_tree
    aov = tree.nodes.new("CompositorNodeOutputFile")
    aov.base_path = "//aov"
    aov.format.file_format = "OPEN_EXR"
    aov.file_slots[0].path = "tension_"
    layers = next(node for node in tree.nodes if node.type == "R_LAYERS")
    tree.links.new(layers.outputs["tension"], aov.inputs[0])


def corrective_family(scene):
    """The corrected object, its twin without correction and its twin playing the cache plainly; one mesh, one rig."""
    corrected = rigged("corrected", y=-40)
    rig = bpy.data.objects["corrected rig"]
    rest = points(corrected.data)
    lift = np.linspace(0.1, 0.6, len(rest), dtype=np.float32)[:, None]
    for name, shape in (("stretched", rest + lift * [0, 0, 1]), ("squashed", rest - lift * [0, 0.3, 1])):
        mesh = bpy.data.meshes.new(name)
        mesh.from_pydata(shape.tolist(), [], faces(corrected.data))
        target = bpy.data.objects.new(name, mesh)
        target.hide_render = True
        scene.collection.objects.link(target)
    twins = {}
    for name in ("uncorrected", "cached"):
        twin = bpy.data.objects.new(name, corrected.data)
        twin.location = corrected.location
        scene.collection.objects.link(twin)
        twin.modifiers.new("rig", "ARMATURE").object = rig
        twins[name] = twin
    cached = twins["cached"].modifiers.new("cache", "MESH_CACHE")
    for obj in (corrected, *twins.values()):
        subdivide = obj.modifiers.new("subdivide", "SUBSURF")
        subdivide.levels, subdivide.render_levels = 1, 2
    lift_in_renders = corrected.modifiers.new("lift", "DISPLACE")
    lift_in_renders.direction, lift_in_renders.strength, lift_in_renders.show_viewport = "Z", 2.0, False
    bpy.context.view_layer.objects.active = corrected
    assert bpy.ops.kestrin.bake_corrective(filepath="//fix.pc2", stretch_target="stretched",
                                           squash_target="squashed", frame_start=CORRECTED[0],
                                           frame_end=CORRECTED[-1], post_multiplier=0.8) == {"FINISHED"}
    played = corrected.modifiers[kestrin_tension.bake.MODIFIER_NAME]
    assert [m.name for m in corrected.modifiers] == ["corrected rig", played.name, "subdivide", "lift"]
    assert played.filepath == "//fix.pc2"
    for setting in ("cache_format", "filepath", "frame_start", "deform_mode", "interpolation", "time_mode"):
        setattr(cached, setting, getattr(played, setting))
    return corrected


def check_corrective_between_and_outside_frames(scene, corrected, folder):
    """In the viewport: sub-frames interpolate the baked frames; outside the range the rig plays through."""
    baked = kestrin.read_cache(folder / "fix.pc2")
    subdivide = corrected.modifiers["subdivide"]
    subdivide.show_viewport = False
    cage = {}
    for frame in (1.0, 2.0, 2.5, 3.0, 5.0):
        scene.frame_set(int(frame), subframe=frame % 1)
        cage[frame] = points(corrected.evaluated_get(bpy.context.evaluated_depsgraph_get()).data)
    played = corrected.modifiers[kestrin_tension.bake.MODIFIER_NAME]
    played.show_viewport = False
    for frame in (1.0, 5.0):
        scene.frame_set(int(frame))
        np.testing.assert_array_equal(cage[frame], points(corrected.evaluated_get(bpy.context.evaluated_depsgraph_get()).data))
    played.show_viewport, subdivide.show_viewport = True, True
    np.testing.assert_array_equal(cage[2.0], baked[0])
    np.testing.assert_allclose(cage[2.5], (baked[0] + baked[1]) / 2, atol=1e-6)
    assert np.abs(cage[2.5] - cage[2.0]).max() > 0.01 and np.abs(cage[2.5] - cage[3.0]).max() > 0.01
    scene.frame_set(3)


def start_stopped_bake(folder):
    """A command-line Blender baking a long range over an older file; Ctrl-C once its progress shows."""
    (folder / "old").mkdir()
    old = folder / "old" / "weights.npy"
    np.save(old, np.arange(6, dtype=np.float32))
    script = ("import bpy; bpy.context.view_layer.objects.active = bpy.data.objects['local']; "
              f"print(bpy.ops.kestrin.bake_weights(filepath={str(old)!r}, frame_start=1, frame_end=200000))")
    return old, old.read_bytes(), subprocess.Popen(
        [os.environ["KESTRIN_BLENDER"], "-b", "--factory-startup", "--addons", "kestrin_tension",
         str(folder / "shot.blend"), "--python-expr", script], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
        text=True)


def stop_when_it_bakes(bake):
    for line in bake.stderr:
        if "Bake Weights local: frame 1 of 200000" in line:
            bake.send_signal(signal.SIGINT)
            break
    out, err = bake.communicate(timeout=120)
    return out + err


def test_a_linked_shot_renders_each_objects_tension_from_another_folder(scene, tmp_path):
    first, moved = tmp_path / "first", tmp_path / "moved"
    first.mkdir()
    build_character(first / "char.blend")
    clear_scene()
    scene_collection = scene.collection
    bpy.ops.wm.save_as_mainfile(filepath=str(first / "shot.blend"))

    # The character twice: a library override and a plain linked collection instance.
    with bpy.data.libraries.load(str(first / "char.blend"), link=True, relative=True) as (_, linked):
        linked.collections = ["char"]
    character = linked.collections[0]
    instances = {}
    for name, y in (("overridden", 0), ("linked", 10)):
        instances[name] = bpy.data.objects.new(name, None)
        instances[name].instance_type, instances[name].instance_collection = "COLLECTION", character
        instances[name].location.y = y
        scene_collection.objects.link(instances[name])
    character.override_hierarchy_create(scene, bpy.context.view_layer, reference=instances["overridden"])
    if instances["overridden"].name in scene_collection.objects:
        scene_collection.objects.unlink(instances["overridden"])

    local = rigged("local")
    enable(local)
    assert bpy.ops.kestrin.material_add() == {"FINISHED"}
    left = rigged("left", y=-20, angle=0.9)
    enable(left)
    right = rigged("right", y=-20, angle=-0.6, mesh=left.data)
    enable(right)
    subdivided = grid("subdivided")
    subdivided.location.y = -30
    add_shape_key(subdivided)
    subdivide = subdivided.modifiers.new("subdivide", "SUBSURF")
    subdivide.levels, subdivide.render_levels = 1, 2
    subdivided.kestrin_strainmark.rest = "FRAME"
    enable(subdivided)
    corrected = corrective_family(scene)
    # A linked object keeps no modifier of ours: its corrective is refused, with the way out.
    linked_body = character.objects["body"]
    with bpy.context.temp_override(active_object=linked_body), pytest.raises(RuntimeError, match="library override"):
        bpy.ops.kestrin.bake_corrective(filepath="//linked.pc2", stretch_target="stretched", squash_target="squashed")
    assert kestrin_tension.bake.MODIFIER_NAME not in linked_body.modifiers
    excluded = bpy.data.collections.new("excluded")
    scene_collection.children.link(excluded)
    hidden = grid("hidden")
    add_shape_key(hidden)
    move_to(excluded, hidden)
    hidden.kestrin_strainmark.enabled = True
    bpy.context.view_layer.layer_collection.children["excluded"].exclude = True
    hidden_points = points(hidden.data)
    camera_and_output(scene)
    check_corrective_between_and_outside_frames(scene, corrected, first)
    bpy.ops.wm.save_as_mainfile(filepath=str(first / "shot.blend"))
    first.rename(moved)

    # Render the moved shot; meanwhile stop a bake of it with Ctrl-C.
    old, old_bytes, bake = start_stopped_bake(moved)
    probe = tmp_path / "probe.pickle"
    render = subprocess.run(
        [os.environ["KESTRIN_BLENDER"], "-b", "--factory-startup", "--addons", "kestrin_tension",
         str(moved / "shot.blend"), "--python", os.path.join(os.path.dirname(__file__), "render_probe.py"), "-a"],
        capture_output=True, text=True, timeout=300, env=dict(os.environ, KESTRIN_PROBE=str(probe)))
    assert render.returncode == 0, render.stdout + render.stderr
    assert "Kestrin Tension" not in render.stderr and "mismatch" not in render.stdout, render.stdout + render.stderr
    stopped = stop_when_it_bakes(bake)
    assert "stopped (Ctrl-C)" in stopped, stopped
    assert old.read_bytes() == old_bytes and os.listdir(old.parent) == ["weights.npy"]
    record = pickle.load(open(probe, "rb"))
    assert record["modes"] == {"RENDER"} and sorted(record["frames"]) == list(FRAMES)

    def weights(name, rest_mesh, frame):
        posed = record["frames"][frame][name][0]
        return kestrin.weights(points(rest_mesh), faces(rest_mesh), posed[None])[0]

    # Every character, linked, overridden, duplicated or subdivided, has its own weights in the render.
    body = character.objects["body"].data
    renders = {"local": local.data, "body": body, f"body [{character.library.name}]": body,
               "left": left.data, "right": left.data, "subdivided": subdivided.kestrin_strainmark.rest_mesh_render}
    for frame in FRAMES:
        for name, rest_mesh in renders.items():
            got = record["frames"][frame][name][1]
            assert got is not None and got.tobytes() == weights(name, rest_mesh, frame).tobytes(), (name, frame)
    assert len(record["frames"][3]["subdivided"][0]) == 693
    # Grainmark along the bone, as the render evaluated it at each frame, linked and overridden alike.
    for frame, bend in ((2, 0.45), (3, 0.9), (4, 0.9)):
        for name in ("body", f"body [{character.library.name}]"):
            posed, _, along = record["frames"][frame][name]
            with kestrin.Grainmark(points(body), faces(body), axis=(np.cos(bend), np.sin(bend), 0)) as grain:
                np.testing.assert_allclose(along, grain.weights(posed), atol=2e-6, err_msg=f"{name} {frame}")
    assert np.abs(record["frames"][3]["left"][1] - record["frames"][3]["right"][1]).max() > 0.1
    # Right at once after the file opened (frame 3), before any frame change.
    opened = record["opened"]["local"]
    assert opened[1].tobytes() == kestrin.weights(points(local.data), faces(local.data), opened[0][None])[0].tobytes()
    # Nothing of the excluded object rendered or written.
    assert "hidden" not in record["frames"][3]
    assert "tension" not in hidden.data.attributes and np.array_equal(points(hidden.data), hidden_points)

    # The corrective under render levels: the played cache subdivided, the render-only lift on top;
    # outside its range, the rig's pose with the lift.
    lift = np.array([0, 0, 1], np.float32)
    frames = record["frames"]
    for frame in CORRECTED:
        np.testing.assert_allclose(frames[frame]["corrected"][0], frames[frame]["cached"][0] + lift, atol=1e-5)
        assert np.abs(frames[frame]["corrected"][0] - frames[frame]["uncorrected"][0] - lift).max() > 0.05
    np.testing.assert_allclose(frames[4]["corrected"][0], frames[4]["uncorrected"][0] + lift, atol=1e-5)
    assert len(frames[3]["corrected"][0]) == 693

    # The picture: the AOV is each character's weight at vertices the rig leaves in place, and the
    # material colours them: red where stretched, blue where squashed.
    coloured = 0
    interior = [i for i in range(COLS * ROWS) if 0 < i % COLS < COLS - 1 and 0 < i // COLS < ROWS - 1]
    for frame in FRAMES:
        aov = _pixels(moved / "aov" / f"tension_{frame:04d}.exr")
        colour = _pixels(moved / "render" / f"frame_{frame:04d}.exr")
        for name, origin in (("local", (0, 0)), ("body", (10, 0)), (f"body [{character.library.name}]", (10, 10))):
            posed, values, _ = record["frames"][frame][name]
            for index in interior:
                column, row = pixel_of(posed[index, 0] + origin[0], posed[index, 1] + origin[1])
                if index % COLS <= 3:  # left in place by the rig: on a pixel centre
                    assert aov[row, column, 0] == pytest.approx(values[index], abs=2e-3), (name, frame, index)
                if name == "local" and abs(values[index]) > 0.2:
                    red, blue = colour[row, column, 0], colour[row, column, 2]
                    assert (red > 1.5 * blue) if values[index] > 0 else (blue > 1.5 * red), (frame, index)
                    coloured += 1
    assert coloured >= 4


def _pixels(path):
    image = bpy.data.images.load(str(path))
    pixels = np.array(image.pixels[:], np.float32).reshape(HEIGHT, WIDTH, 4)
    bpy.data.images.remove(image)
    return pixels
