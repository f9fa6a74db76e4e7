"""Records what a command-line render's depsgraph holds, after the add-on's handler, frame by frame.

blender -b --factory-startup --addons kestrin_tension SHOT --python render_probe.py -a
with KESTRIN_PROBE set to the pickle to write. Recorded: right after the file
opened, the viewport depsgraph's meshes ("opened"); then at each frame of the
render, the render depsgraph's ("frames", by frame number): for every
evaluated mesh object, inside collection instances too, by full name, its
points (object space), its "tension" and its "tension_along" attribute
(None when absent).
"""

import os
import pickle

import bpy
import numpy as np
from bpy.app.handlers import persistent


def attribute(mesh, name):
    layer = mesh.attributes.get(name)
    if layer is None:
        return None
    values = np.empty(len(layer.data), np.float32)
    layer.data.foreach_get("value", values)
    return values


def meshes(depsgraph):
    found = {}
    for obj in depsgraph.ids:
        if isinstance(obj, bpy.types.Object) and obj.type == "MESH":
            mesh = obj.data
            points = np.empty((len(mesh.vertices), 3), np.float32)
            mesh.vertices.foreach_get("co", points.ravel())
            found[obj.name_full] = (points, attribute(mesh, "tension"), attribute(mesh, "tension_along"))
    return found


record = {"opened": meshes(bpy.context.evaluated_depsgraph_get()), "frames": {}, "modes": set()}


@persistent
def after_the_add_on(scene, depsgraph):
    record["frames"][scene.frame_current + scene.frame_subframe] = meshes(depsgraph)
    record["modes"].add(depsgraph.mode)


@persistent
def write(*_):
    with open(os.environ["KESTRIN_PROBE"], "wb") as out:
        pickle.dump(record, out)


bpy.app.handlers.frame_change_post.append(after_the_add_on)
bpy.app.handlers.render_complete.append(write)
