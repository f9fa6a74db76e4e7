"""The rest shape: the base mesh, or the evaluated mesh at a rest frame as the viewport and the render see it.

A rest at a frame serves meshes whose modifiers change the point count
(subdivision). Renders evaluate modifiers with their render settings (a
Subdivision Surface's render levels, modifiers shown in renders only), so
the rest is captured twice: as the viewport evaluates it, and with every
modifier of the object set as the render sets it (and the scene's Simplify
limit for renders). Blender offers no render evaluation to scripts outside a
render, so the render capture sets the object's modifiers that way for the
capture and puts them back at once. The render's rest is kept only where it
differs from the viewport's.
"""

import contextlib

import bpy
import numpy as np

from . import mesh_arrays
from .problems import Problem

# Modifiers with a level for the viewport and one for renders.
_LEVELS = {"SUBSURF": "render_levels", "MULTIRES": "render_levels"}


def source(obj, settings, mode="VIEWPORT"):
    """The mesh holding obj's rest points and polygons for a depsgraph of this mode, and a key that changes with it."""
    if settings.rest == "FRAME":
        mesh = settings.rest_mesh
        if mode == "RENDER" and settings.rest_mesh_render is not None:
            mesh = settings.rest_mesh_render
        if mesh is None:
            raise Problem(f"its rest frame {settings.rest_frame} is not captured (Capture Rest)")
    else:
        mesh = obj.data
    if len(mesh.polygons) == 0:
        raise Problem("its rest mesh has no faces; tension is measured over faces")
    return mesh, (settings.rest, mesh.as_pointer(), len(mesh.vertices), len(mesh.loops))


def render_differences(modifiers):
    """Names of these modifiers that a render evaluates otherwise than the viewport."""
    return [m.name for m in modifiers
            if m.show_viewport != m.show_render
            or (m.show_render and m.type in _LEVELS and m.levels != getattr(m, _LEVELS[m.type]))]


@contextlib.contextmanager
def as_rendered(obj, scene):
    """Inside, obj's modifiers (and the scene's Simplify) are set as a render sets them."""
    saved = [(m, m.show_viewport, getattr(m, "levels", None)) for m in obj.modifiers]
    simplify = scene.render.simplify_subdivision
    try:
        for modifier, _, _ in saved:
            modifier.show_viewport = modifier.show_render
            if modifier.type in _LEVELS:
                modifier.levels = getattr(modifier, _LEVELS[modifier.type])
        scene.render.simplify_subdivision = scene.render.simplify_subdivision_render
        yield
    finally:
        for modifier, shown, levels in saved:
            modifier.show_viewport = shown
            if levels is not None:
                modifier.levels = levels
        scene.render.simplify_subdivision = simplify


def _evaluated_copy(context, obj, name):
    depsgraph = context.evaluated_depsgraph_get()
    mesh = bpy.data.meshes.new_from_object(obj.evaluated_get(depsgraph), depsgraph=depsgraph)
    mesh.name = name
    return mesh


def _same(a, b):
    return (len(a.vertices) == len(b.vertices) and len(a.loops) == len(b.loops)
            and np.array_equal(mesh_arrays.points(a), mesh_arrays.points(b))
            and all(np.array_equal(x, y) for x, y in zip(mesh_arrays.faces(a), mesh_arrays.faces(b))))


def capture(context, obj, suspended):
    """Keeps obj's evaluated mesh at its rest frame, as the viewport and as a render evaluate it.

    suspended: a context in which frame changes leave the attribute alone.
    Both meshes are saved with the file (settings.rest_mesh, rest_mesh_render).
    """
    settings = obj.kestrin_strainmark
    scene = context.scene
    frame, subframe = scene.frame_current, scene.frame_subframe
    with suspended():
        try:
            scene.frame_set(settings.rest_frame)
            viewport = _evaluated_copy(context, obj, f"{obj.name} rest")
            with as_rendered(obj, scene):
                render = _evaluated_copy(context, obj, f"{obj.name} rest (render)")
        finally:
            scene.frame_set(frame, subframe=subframe)
    if _same(viewport, render):
        bpy.data.meshes.remove(render)
        render = None
    old = (settings.rest_mesh, settings.rest_mesh_render)
    settings.rest_mesh, settings.rest_mesh_render = viewport, render
    for mesh in old:
        if mesh is not None and mesh.users == 0:
            bpy.data.meshes.remove(mesh)
