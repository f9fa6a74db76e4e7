"""Scenes for the add-on's tests: a bumpy grid, and what deforms it (armature, shape key, cache)."""

import os
import subprocess

import bpy
import numpy as np
import pytest

import kestrin

COLS, ROWS = 9, 6


def clear_scene():
    """Removes what earlier tests made (loading a file would reset the enabled add-ons too)."""
    for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.armatures, bpy.data.curves,
                       bpy.data.materials, bpy.data.cameras, bpy.data.actions, bpy.data.images,
                       bpy.data.collections):
        for item in list(collection):
            collection.remove(item)
    scene = bpy.context.scene
    scene.frame_start, scene.frame_end = 1, 3
    scene.frame_set(1)


def grid(name="grid"):
    """A COLS x ROWS grid of quads over x in [0, 8], y in [0, 5], bumpy in z, as a mesh object.

        45 - 46 - ... - 53
         |    |          |
         0 -  1 - ... -  8
    """
    xs, ys = np.meshgrid(np.arange(COLS, dtype=float), np.arange(ROWS, dtype=float))
    points = np.stack([xs.ravel(), ys.ravel(), 0.2 * np.sin(1.3 * xs.ravel()) * np.cos(0.9 * ys.ravel())], 1)
    faces = [[r * COLS + c, r * COLS + c + 1, (r + 1) * COLS + c + 1, (r + 1) * COLS + c]
             for r in range(ROWS - 1) for c in range(COLS - 1)]
    mesh = bpy.data.meshes.new(name)
    mesh.from_pydata(points.tolist(), [], faces)
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj
    return obj


def stretched_left(points):
    """The grid's left half stretched along x, its right half squashed."""
    moved = points.copy()
    x = points[:, 0]
    moved[:, 0] = np.where(x < 4, 4 - (4 - x) * 1.4, 4 + (x - 4) * 0.7)
    return moved


def add_shape_key(obj, frame_on=3):
    obj.shape_key_add(name="Basis")
    key = obj.shape_key_add(name="deformed")
    key.data.foreach_set("co", stretched_left(points(obj.data)).astype(np.float32).ravel())
    key.value = 0.0
    key.keyframe_insert("value", frame=1)
    key.value = 1.0
    key.keyframe_insert("value", frame=frame_on)


def add_armature(obj, angle=0.9, name="rig"):
    """Two bones along x, the second bent up by `angle` over frames 1-3; the grid skinned by distance."""
    armature = bpy.data.armatures.new(name)
    rig = bpy.data.objects.new(name, armature)
    rig.location = obj.location
    bpy.context.scene.collection.objects.link(rig)
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode="EDIT")
    first = armature.edit_bones.new("a")
    first.head, first.tail = (0, 2.5, 0), (4, 2.5, 0)
    second = armature.edit_bones.new("b")
    second.head, second.tail, second.parent = (4, 2.5, 0), (8, 2.5, 0), first
    bpy.ops.object.mode_set(mode="OBJECT")
    for bone in "ab":
        group = obj.vertex_groups.get(bone) or obj.vertex_groups.new(name=bone)
        for vertex in obj.data.vertices:
            share = float(np.clip((vertex.co.x - 3.0) / 2.0, 0, 1))
            group.add([vertex.index], share if bone == "b" else 1 - share, "REPLACE")
    obj.modifiers.new(name, "ARMATURE").object = rig
    bone = rig.pose.bones["b"]
    bone.rotation_mode = "XYZ"
    for frame, bend in ((1, 0.0), (3, angle)):
        bone.rotation_euler = (0, 0, bend)
        bone.keyframe_insert("rotation_euler", frame=frame)
    bpy.context.view_layer.objects.active = obj
    return rig


def add_mesh_cache(obj, folder, frames=3):
    """A PC2 file of the grid sliding to its deformed shape over frames 1..frames, played by a modifier."""
    rest = points(obj.data)
    end = stretched_left(rest)
    shot = np.stack([rest + (end - rest) * i / (frames - 1) for i in range(frames)]).astype(np.float32)
    path = os.path.join(folder, "source.pc2")
    kestrin.write_cache(path, shot, start=1.0)
    modifier = obj.modifiers.new("cache", "MESH_CACHE")
    modifier.cache_format, modifier.filepath = "PC2", path
    modifier.time_mode, modifier.frame_start = "FRAME", 1
    modifier.interpolation = "NONE"


def points(mesh):
    out = np.empty((len(mesh.vertices), 3), np.float32)
    mesh.vertices.foreach_get("co", out.ravel())
    return out


def faces(mesh):
    return [list(polygon.vertices) for polygon in mesh.polygons]


def evaluated(obj):
    return obj.evaluated_get(bpy.context.evaluated_depsgraph_get()).data


def attribute(mesh, name="tension"):
    layer = mesh.attributes[name]
    out = np.empty(len(layer.data), np.float32)
    layer.data.foreach_get("value", out)
    return out


def write_obj(path, points, faces):
    """An OBJ file of the points as their shortest round-trip text (float32 values read back exactly)."""
    with open(path, "w") as out:
        for p in np.asarray(points, np.float64):
            out.write("v %r %r %r\n" % tuple(float(c) for c in p))
        for f in faces:
            out.write("f " + " ".join(str(i + 1) for i in f) + "\n")


def tool(*arguments):
    """Runs the built kestrin tool; fails the test with its message on an error."""
    run = subprocess.run([os.environ["KESTRIN_TOOL"], *map(str, arguments)], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    return run


@pytest.fixture
def scene():
    clear_scene()
    yield bpy.context.scene
