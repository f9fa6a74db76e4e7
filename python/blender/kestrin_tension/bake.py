"""Bakes: a frame range's weights (and measures) to .npy, the Strainshaper correction to a point cache played by a modifier.

A bake is a generator. It steps the scene through the range on the
interface's thread with the live handler suspended and yields (frames done,
frames) after each frame, so that its runner shows progress and may stop it
there; its file is written once every frame is done, through the kestrin
module's writers (a temporary file renamed into place whole, with the mode
the umask gives). Stopped (closed) or failed at any point, a bake leaves the
old file, the object and the scene's frame as they were.
"""

import contextlib
import os

import bpy
import numpy as np

from . import grain, live, mesh_arrays, rest
from ._module import kestrin
from .problems import Problem

MODIFIER_NAME = "Kestrin corrective"

# Modifiers that move points and keep them (and their order): a new
# corrective goes after the leading run of these that renders as it shows.
DEFORMERS = frozenset((
    "ARMATURE", "CAST", "CLOTH", "CORRECTIVE_SMOOTH", "CURVE", "DISPLACE", "HOOK", "LAPLACIANDEFORM",
    "LAPLACIANSMOOTH", "LATTICE", "MESH_CACHE", "MESH_DEFORM", "SHRINKWRAP", "SIMPLE_DEFORM", "SMOOTH",
    "SOFT_BODY", "SURFACE_DEFORM", "WARP", "WAVE"))


@contextlib.contextmanager
def _closing_frames(context, obj, frames):
    """(index, evaluated mesh) at each frame; the scene's frame restored when done or stopped."""
    scene = context.scene
    frame, subframe = scene.frame_current, scene.frame_subframe

    def step():
        for index, number in enumerate(frames):
            scene.frame_set(number)
            yield index, obj.evaluated_get(context.evaluated_depsgraph_get()).data

    with live.suspended():
        try:
            yield step()
        finally:
            scene.frame_set(frame, subframe=subframe)


def weights(context, obj, path, frames):
    """Writes obj's weights at each frame as (frames, points) float32 .npy, and each ticked measure's beside it.

    A measure's file is named as the kestrin tool names it (w.npy, w.along.npy);
    every frame is computed before the first file is replaced.
    """
    live.check_mesh_object(obj)
    with live.lock:
        state = live.state_for(obj, check_rest=True)
    directions = grain.directions(obj.kestrin_strainmark)
    strain = np.empty((len(frames), state.count), np.float32)
    measured = {direction: np.empty_like(strain) for direction in directions}
    with _closing_frames(context, obj, frames) as meshes:
        for index, mesh in meshes:
            settings = live.frame_settings(obj, context.evaluated_depsgraph_get(), directions)
            with live.lock:
                live.check_count(state, mesh)
                strain[index], grains = state.weights(mesh, *settings)
            for direction, values in grains.items():
                measured[direction][index] = values
            yield index + 1, len(frames)
    kestrin.write_weights(path, strain)
    for direction, values in measured.items():
        kestrin.write_weights(grain.bake_path(path, direction), values)


def _target_points(name, count, role):
    target = bpy.data.objects.get(name)
    if target is None or target.type != "MESH":
        raise Problem(f"{role} {name!r} is not a mesh object")
    if len(target.data.vertices) != count:
        raise Problem(f"{role} {name!r} has {len(target.data.vertices)} points, the rest has {count}")
    return mesh_arrays.points(target.data)


def _place(modifiers):
    """Where a new corrective goes: after the leading deformers shown alike in the viewport and renders."""
    for index, modifier in enumerate(modifiers):
        if modifier.type not in DEFORMERS or not (modifier.show_viewport and modifier.show_render):
            return index
    return len(modifiers)


def corrective(context, obj, path, frames, stretch, squash, group, channels):
    """Writes the Strainshaper-corrected frames to a .pc2 or .mdd cache and plays it.

    The correction stands where the modifier "Kestrin corrective" stands in
    obj's stack (a new one: after the leading deformers, so before a
    Subdivision Surface or a render-only modifier): the poses are the stack
    up to it, read with it and every modifier after it off; the rest is the
    base mesh, or that same stack at the rest frame. Later modifiers
    (subdivision, render-only deformers) apply on top of the correction.

    stretch, squash: names of mesh objects with the rest's points, sculpted.
    group: a vertex group of obj as the influence map, or "" for none.
    channels: the five channel keywords.
    """
    live.check_mesh_object(obj)
    if obj.library is not None:
        raise Problem(f"is linked from {obj.library.filepath}: a modifier added to it would not be saved; "
                      "bake on a library override of it (Object > Library Override > Make)")
    modifiers = list(obj.modifiers)
    existing = obj.modifiers.get(MODIFIER_NAME)
    if existing is not None and existing.type != "MESH_CACHE":
        raise Problem(f"its modifier {MODIFIER_NAME!r} is not a Mesh Cache; rename it")
    if existing is not None:
        position = modifiers.index(existing)
    else:
        position = _place(modifiers)
        if obj.override_library is not None:  # an override's own modifiers come after the library's
            position = max([position] + [i + 1 for i, m in enumerate(modifiers) if m.is_override_data])
    differing = rest.render_differences(modifiers[:position])
    if differing:
        raise Problem(f"modifier {differing[0]!r} before the corrective gives renders another mesh than the "
                      "viewport (shown, or levels); the correction would not fit renders: move "
                      f"{MODIFIER_NAME!r} above it, or set it alike for both")
    later = [(m, m.show_viewport) for m in modifiers[position:]]
    for modifier, _ in later:
        modifier.show_viewport = False
    try:
        corrected = yield from _corrected_frames(context, obj, frames, stretch, squash, group, channels)
        scene = context.scene
        kestrin.write_cache(path, corrected, start=float(frames[0]), step=1.0,
                            fps=scene.render.fps / scene.render.fps_base)
    finally:
        for modifier, shown in later:
            modifier.show_viewport = shown
    _play(context, obj, path, frames, position)


def _corrected_frames(context, obj, frames, stretch, squash, group, channels):
    settings = obj.kestrin_strainmark
    at_frame = settings.rest == "FRAME"
    sequence = ([settings.rest_frame] if at_frame else []) + list(frames)
    fx = None
    try:
        with _closing_frames(context, obj, sequence) as meshes:
            if not at_frame:
                fx = _strainshaper(obj, obj.data, stretch, squash, group, channels)
                corrected = np.empty((len(frames), len(obj.data.vertices), 3), np.float32)
            points = None
            for index, mesh in meshes:
                if fx is None:
                    fx = _strainshaper(obj, mesh, stretch, squash, group, channels)
                    corrected = np.empty((len(frames), len(mesh.vertices), 3), np.float32)
                    continue
                frame = index - at_frame
                if len(mesh.vertices) != corrected.shape[1]:
                    raise Problem(f"has {len(mesh.vertices)} points at frame {frames[frame]} where the "
                                  f"corrective stands, its rest has {corrected.shape[1]}")
                points = mesh_arrays.points(mesh, points)
                corrected[frame] = fx.displace(points)
                yield frame + 1, len(frames)
    finally:
        if fx is not None:
            fx.close()
    return corrected


def _strainshaper(obj, rest_mesh, stretch, squash, group, channels):
    points = mesh_arrays.points(rest_mesh)
    count = points.shape[0]
    influence = None
    if group:
        if count != len(obj.data.vertices):
            raise Problem(f"a vertex group is a map of the base mesh's {len(obj.data.vertices)} points; "
                          f"the corrective's rest has {count}")
        influence = mesh_arrays.group_weights(obj, group)
    return kestrin.Strainshaper(points, mesh_arrays.polygons(*mesh_arrays.faces(rest_mesh)),
                                _target_points(stretch, count, "stretch target"),
                                _target_points(squash, count, "squash target"), influence, **channels)


def _play(context, obj, path, frames, position):
    """Sets the Mesh Cache modifier that plays the cache, at `position` in the stack.

    Its file is kept relative to the .blend file (a shot folder moved or
    mounted elsewhere still finds it); it interpolates between baked frames
    (sub-frame samples, motion blur); a driver fades its factor to 0 over the
    frame before and the frame after the range, so that outside the range
    the rig plays through. Later modifiers apply on top of it.
    """
    modifier = obj.modifiers.get(MODIFIER_NAME)
    if modifier is None:
        modifier = obj.modifiers.new(MODIFIER_NAME, "MESH_CACHE")
        with context.temp_override(object=obj):
            bpy.ops.object.modifier_move_to_index(modifier=modifier.name, index=position)
    modifier.cache_format = "PC2" if path.lower().endswith(".pc2") else "MDD"
    modifier.filepath = bpy.path.relpath(path) if bpy.data.filepath else os.path.abspath(path)
    modifier.deform_mode = "OVERWRITE"
    modifier.play_mode = "SCENE"
    modifier.time_mode = "FRAME"
    # Frame numbers index the cache's samples from its first, the range's start.
    modifier.frame_start = frames[0]
    modifier.frame_scale = 1.0
    modifier.interpolation = "LINEAR"
    modifier.driver_remove("factor")
    driver = modifier.driver_add("factor").driver
    driver.type = "SCRIPTED"
    # A simple expression: Blender evaluates it without running Python.
    driver.expression = f"clamp(1 - max({frames[0]} - frame, frame - {frames[-1]}))"
