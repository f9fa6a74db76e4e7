"""Bakes: a frame range's weights to .npy, the Strainshaper correction to a point cache.

Both step the scene through the range on the interface's thread with the live
handler suspended, read the evaluated mesh at each frame and write their file
under a temporary name in the same folder, renamed over the target only when
complete: a failed bake leaves the old file as it was.
"""

import contextlib
import os
import tempfile

import numpy as np

from . import live, mesh_arrays
from ._module import kestrin
from .settings_list import strainmark_keywords

MODIFIER_NAME = "Kestrin corrective"


@contextlib.contextmanager
def _atomic(path):
    """A temporary path beside path (same extension), renamed to path if the block succeeds."""
    folder, name = os.path.split(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix=f".{name}.", suffix=os.path.splitext(name)[1], dir=folder)
    os.close(handle)
    try:
        yield temporary
        if os.path.exists(path):
            os.chmod(temporary, os.stat(path).st_mode & 0o7777)
        os.replace(temporary, path)
    finally:
        if os.path.exists(temporary):
            os.remove(temporary)


def _evaluated_meshes(context, obj, frames):
    """Yields (index, evaluated mesh) at each frame, the scene's frame restored at the end."""
    scene = context.scene
    frame, subframe = scene.frame_current, scene.frame_subframe
    with live.suspended():
        try:
            for index, number in enumerate(frames):
                scene.frame_set(number)
                yield index, obj.evaluated_get(context.evaluated_depsgraph_get()).data
        finally:
            scene.frame_set(frame, subframe=subframe)


def weights(context, obj, path, frames):
    """Writes obj's weights at each frame as (frames, points) float32 .npy; returns the array."""
    live.check_mesh_object(obj)
    with live.lock:
        state = live.state_for(obj, check_rest=True)
    keywords = strainmark_keywords(obj.kestrin_strainmark)
    result = np.empty((len(frames), state.count), "<f4")
    for index, mesh in _evaluated_meshes(context, obj, frames):
        with live.lock:
            live.check_count(state, mesh)
            result[index] = state.weights(mesh, keywords)
    with _atomic(path) as temporary:
        with open(temporary, "wb") as out:
            np.save(out, result)
    return result


def _target_points(name, count, role):
    import bpy
    target = bpy.data.objects.get(name)
    if target is None or target.type != "MESH":
        raise live.Problem(f"{role} {name!r} is not a mesh object")
    if len(target.data.vertices) != count:
        raise live.Problem(f"{role} {name!r} has {len(target.data.vertices)} points, the rest has {count}")
    return mesh_arrays.points(target.data)


def corrective(context, obj, path, frames, stretch, squash, group, channels):
    """Writes the Strainshaper-corrected frames to a .pc2 or .mdd cache and plays it.

    stretch, squash: names of mesh objects with the rest's points, sculpted.
    group: a vertex group of obj as the influence map, or "" for none.
    channels: the five channel keywords. The Mesh Cache modifier "Kestrin
    corrective", last in obj's stack, replaces the points with the cache's;
    an earlier one is off while the poses are read, then replaced (kept
    when the bake fails).
    """
    live.check_mesh_object(obj)
    settings = obj.kestrin_strainmark
    rest_mesh, _ = live.rest_source(obj, settings)
    rest = mesh_arrays.points(rest_mesh)
    influence = mesh_arrays.group_weights(obj, group) if group else None
    if influence is not None and settings.rest == "FRAME":
        raise live.Problem("a vertex group is an influence map of the base mesh's points only")
    old = obj.modifiers.get(MODIFIER_NAME)
    shown = (old.show_viewport, old.show_render) if old is not None else None
    if old is not None:
        old.show_viewport = old.show_render = False
    try:
        corrected = _corrected_frames(context, obj, frames, rest, rest_mesh, stretch, squash, influence, channels)
        scene = context.scene
        # The module writes it whole or not at all, keeping a replaced file's
        # permissions and owner, and giving a new one the umask's.
        kestrin.write_cache(path, corrected, start=float(frames[0]), step=1.0,
                            fps=scene.render.fps / scene.render.fps_base)
    except BaseException:
        if old is not None:
            old.show_viewport, old.show_render = shown
        raise
    if old is not None:
        obj.modifiers.remove(old)
    _play(obj, path, frames[0])
    return corrected


def _corrected_frames(context, obj, frames, rest, rest_mesh, stretch, squash, influence, channels):
    count = rest.shape[0]
    fx = kestrin.Strainshaper(rest, mesh_arrays.polygons(rest_mesh),
                              _target_points(stretch, count, "stretch target"),
                              _target_points(squash, count, "squash target"), influence, **channels)
    try:
        corrected = np.empty((len(frames), count, 3), np.float32)
        points = None
        for index, mesh in _evaluated_meshes(context, obj, frames):
            if len(mesh.vertices) != count:
                raise live.Problem(f"has {len(mesh.vertices)} points at frame {frames[index]}, "
                                   f"its rest has {count}")
            points = mesh_arrays.points(mesh, points)
            corrected[index] = fx.displace(points)
    finally:
        fx.close()
    return corrected


def _play(obj, path, first_frame):
    modifier = obj.modifiers.new(MODIFIER_NAME, "MESH_CACHE")
    modifier.cache_format = "PC2" if path.lower().endswith(".pc2") else "MDD"
    modifier.filepath = os.path.abspath(path)
    modifier.deform_mode = "OVERWRITE"
    modifier.play_mode = "SCENE"
    modifier.time_mode = "FRAME"
    # Frame numbers index the cache's samples from its first, the range's start.
    modifier.frame_start = first_frame
    modifier.frame_scale = 1.0
    modifier.interpolation = "NONE"
