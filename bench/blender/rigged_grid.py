"""The benches' skinned quad grid: a flat wavy grid on 8 x 5 units, two bones, the second bending over the frames."""

import bpy
import numpy as np


def grid(cols, rows):
    """A mesh object of cols x rows points in quads (not linked to a scene), and its points as an array."""
    xs, ys = np.meshgrid(np.linspace(0, 8, cols), np.linspace(0, 5, rows))
    points = np.stack([xs.ravel(), ys.ravel(), 0.2 * np.sin(1.3 * xs.ravel())], 1)
    index = np.arange(cols * rows).reshape(rows, cols)
    quads = np.stack([index[:-1, :-1], index[:-1, 1:], index[1:, 1:], index[1:, :-1]], -1).reshape(-1, 4)
    mesh = bpy.data.meshes.new("grid")
    mesh.vertices.add(len(points))
    mesh.vertices.foreach_set("co", points.astype(np.float32).ravel())
    mesh.loops.add(quads.size)
    mesh.loops.foreach_set("vertex_index", quads.astype(np.int32).ravel())
    mesh.polygons.add(len(quads))
    mesh.polygons.foreach_set("loop_start", np.arange(0, quads.size, 4, dtype=np.int32))
    mesh.polygons.foreach_set("loop_total", np.full(len(quads), 4, np.int32))
    mesh.update(calc_edges=True)
    return bpy.data.objects.new("grid", mesh), points


def rig(scene, obj, points, frames):
    """Skins obj to two bones (an Armature modifier, last in its stack) keyed to bend from frame 1 to frames."""
    armature = bpy.data.objects.new("rig", bpy.data.armatures.new("rig"))
    scene.collection.objects.link(armature)
    bpy.context.view_layer.objects.active = armature
    bpy.ops.object.mode_set(mode="EDIT")
    first = armature.data.edit_bones.new("a")
    first.head, first.tail = (0, 2.5, 0), (4, 2.5, 0)
    second = armature.data.edit_bones.new("b")
    second.head, second.tail, second.parent = (4, 2.5, 0), (8, 2.5, 0), first
    bpy.ops.object.mode_set(mode="OBJECT")
    # The weights blend over the middle in 21 levels: one vertex-group call per level, not per point.
    share = np.clip((points[:, 0] - 3.0) / 2.0, 0, 1)
    levels = np.round(share * 20) / 20
    a, b = obj.vertex_groups.new(name="a"), obj.vertex_groups.new(name="b")
    for level in np.unique(levels):
        members = np.flatnonzero(levels == level).tolist()
        if level < 1:
            a.add(members, float(1 - level), "REPLACE")
        if level > 0:
            b.add(members, float(level), "REPLACE")
    obj.modifiers.new("rig", "ARMATURE").object = armature
    bone = armature.pose.bones["b"]
    bone.rotation_mode = "XYZ"
    for frame, angle in ((1, 0.0), (frames, 1.0)):
        bone.rotation_euler = (0, 0, angle)
        bone.keyframe_insert("rotation_euler", frame=frame)
    bpy.context.view_layer.objects.active = obj
    return armature
