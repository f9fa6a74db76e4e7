"""Live tension: Strainmark's weights and Grainmark's measures written to each evaluated object of a depsgraph.

Where the values go, and why:
frame_change_post runs once the depsgraph it is handed has evaluated the new
frame: the viewport's during playback and scrubbing, and the render's own
depsgraph (mode 'RENDER') in F12 and `blender -b FILE -a` renders, where it
runs on the render thread while the viewport goes on drawing from the main
one. Writing into original data from there is the known crash (the other
thread reads it), and even where it does not crash it tags the mesh, so
Blender evaluates the frame a second time in the viewport, while a render,
which does not, shows the previous frame's values. So the handler reads
originals only (settings, rest shape) and writes into the evaluated meshes of
the depsgraph it was handed, a layer of each evaluated object's own
(layers.py). Nothing gets tagged, so no evaluation is repeated.

Every enabled object the depsgraph evaluated is written, however it got
there: in the view layer, inside a collection instance, linked from a
library or overridden, instanced by particles or geometry nodes. An enabled
object the depsgraph did not evaluate (an excluded collection, a scene not
rendered) is left alone: evaluated_get gives the original back for it, and
the original is never written.

An update at the same frame (a changed setting, an edit, a bone moved)
builds the evaluated mesh again from the original; depsgraph_update_post,
which Blender runs after such updates and not on frame changes, writes the
values again. Opening a file evaluates it without either, so load_post
writes the file's current frame. Handlers may run on two threads (render and
viewport): the per-object state is shared under one lock.
"""

import contextlib
import functools
import threading

import bpy
import numpy as np
from bpy.app.handlers import persistent

from . import grain, layers, mesh_arrays, objects, problems, rest
from ._module import kestrin
from .problems import Problem
from .settings_list import strainmark_keywords

lock = threading.RLock()
_states = {}      # (original object's address, depsgraph mode) -> _State
_suspended = 0    # bakes and rest captures step frames themselves


class _State:
    """The weight tools on one object for one kind of depsgraph, kept between frames: rest, plug-in instances, buffers.

    Made again only when the rest changes; settings are set on an instance
    when they differ from the last frame's. Grainmark's instance is made
    when a measure is first ticked, and serves every measure in turn.
    """

    def __init__(self, rest_key, points, faces):
        self.rest_key = rest_key
        self.rest = points
        self.faces = faces
        self.count = points.shape[0]
        self.tool = kestrin.Strainmark(points, mesh_arrays.polygons(*faces))
        self.grain = None
        self.keywords = {}  # id of an instance -> the settings last set on it
        self.points = None
        self.colours = None

    def same_rest(self, mesh):
        return (np.array_equal(mesh_arrays.points(mesh), self.rest)
                and all(np.array_equal(a, b) for a, b in zip(mesh_arrays.faces(mesh), self.faces)))

    def _set(self, tool, keywords):
        if keywords != self.keywords.get(id(tool)):
            for keyword, value in keywords.items():
                setattr(tool, keyword, value)
            self.keywords[id(tool)] = keywords

    def weights(self, mesh, keywords, axis=None, directions=()):
        """Strainmark's weights of the evaluated mesh, (N,) float32, and Grainmark's: {direction: (N,) float32}.

        keywords: both tools' settings; axis: Grainmark's, in the object's space.
        """
        self.points = mesh_arrays.points(mesh, self.points)
        self._set(self.tool, keywords)
        strain = self.tool.weights(self.points)
        grains = {}
        if directions:
            if self.grain is None:
                self.grain = kestrin.Grainmark(self.rest, mesh_arrays.polygons(*self.faces))
            self._set(self.grain, dict(keywords, axis=axis))
            for direction in directions:
                self.grain.direction = direction
                grains[direction] = self.grain.weights(self.points)
        return strain, grains

    def colour(self, weights, channels):
        """Stretch in red, squash in green (alpha 1) or in alpha: (N, 4) float32."""
        if self.colours is None:
            self.colours = np.zeros((self.count, 4), np.float32)
        np.maximum(weights, 0.0, out=self.colours[:, 0])
        squash = self.colours[:, 1] if channels == "RED_GREEN" else self.colours[:, 3]
        np.maximum(-weights, 0.0, out=squash)
        if channels == "RED_GREEN":
            self.colours[:, 3] = 1.0
        return self.colours

    def close(self):
        self.tool.close()
        if self.grain is not None:
            self.grain.close()


def state_for(obj, mode="VIEWPORT", check_rest=False):
    """obj's cached state for a depsgraph of this mode, made (again) when its rest changed. Call with the lock held.

    check_rest also compares the rest's points and faces (a Rotate Edge keeps
    every count), for updates that may have edited them, never on frame changes.
    """
    mesh, rest_key = rest.source(obj, obj.kestrin_strainmark, mode)
    key = (obj.as_pointer(), mode)
    state = _states.get(key)
    if state is not None and state.rest_key == rest_key and (not check_rest or state.same_rest(mesh)):
        return state
    fresh = _State(rest_key, mesh_arrays.points(mesh), mesh_arrays.faces(mesh))
    if state is not None:
        state.close()
    _states[key] = fresh
    return fresh


def check_mesh_object(obj):
    if obj.type != "MESH":
        raise Problem(f"is a {obj.type.lower()} object; Strainmark needs a mesh")


def check_count(state, mesh):
    if len(mesh.vertices) != state.count:
        raise Problem(f"has {len(mesh.vertices)} points where its rest has {state.count}; it gets no "
                      "attribute (a rest at a frame serves meshes whose modifiers change the point count)",
                      kind="point count")


def _ours(settings):
    """(name, kind) of every layer obj's settings write."""
    return ((settings.attribute, "FLOAT"), (settings.colour_attribute, "FLOAT_COLOR"),
            *((grain.attribute(settings, d), "FLOAT") for d in grain.directions(settings)))


def frame_settings(obj, depsgraph, directions):
    """What _State.weights takes at the frame depsgraph evaluated: (keywords, axis, directions).

    Animated settings are read from obj's evaluated copy, which holds their
    value at that frame; the original holds the viewport's frame, not a
    render's. directions: the ticked measures' (axis None without any).
    """
    animated = obj.evaluated_get(depsgraph).kestrin_strainmark
    return strainmark_keywords(animated), (grain.axis(obj, depsgraph) if directions else None), directions


def update(obj, depsgraph, check_rest=False, written=None):
    """Writes obj's weights into its evaluated mesh in depsgraph; reports what stops it.

    Strainmark's attribute (and colour) and one attribute per ticked
    Grainmark measure, all or none.
    written: {evaluated mesh address: (object, what was written)} of this
    pass. Objects that share a mesh and have no modifiers and no shape keys
    share one evaluated mesh too: written once, or refused when their
    settings differ.
    """
    evaluated = obj.evaluated_get(depsgraph)
    if not evaluated.is_evaluated:
        return
    settings = obj.kestrin_strainmark
    mesh = None
    try:
        check_mesh_object(obj)
        if obj.mode == "EDIT":
            return  # its evaluated mesh follows the edit cage
        mesh = evaluated.data
        keywords, axis, directions = frame_settings(obj, depsgraph, grain.directions(settings))
        with lock:
            state = state_for(obj, depsgraph.mode, check_rest)
            check_count(state, mesh)
            if written is not None:
                what = (state.rest_key, keywords, axis, _ours(settings), settings.colour_channels)
                first, done = written.setdefault(mesh.as_pointer(), (obj, what))
                if first != obj:
                    if done != what:
                        mesh = None  # the evaluated mesh, and its attribute, are the first object's
                        raise Problem(f"shares one evaluated mesh with {first.name_full} (the same mesh, neither "
                                      "with a modifier or shape key) but not its settings; give it a modifier",
                                      kind="shared mesh")
                    problems.solved(obj)
                    return
            weights, grains = state.weights(mesh, keywords, axis, directions)
            layers.write(layers.fresh(mesh, settings.attribute, "FLOAT", obj), weights)
            if settings.colour_attribute:
                layers.write(layers.fresh(mesh, settings.colour_attribute, "FLOAT_COLOR", obj),
                             state.colour(weights, settings.colour_channels))
            for direction, values in grains.items():
                layers.write(layers.fresh(mesh, grain.attribute(settings, direction), "FLOAT", obj), values)
        problems.solved(obj)
    except (Problem, ValueError, RuntimeError, kestrin.SessionError) as error:
        if mesh is not None:
            layers.remove(mesh, _ours(settings))
        if isinstance(error, Problem):
            problems.report(obj, str(error), error.kind)
        else:
            problems.report(obj, f"{type(error).__name__}: {error}")


def update_all(depsgraph):
    """Writes every enabled object the depsgraph evaluated."""
    enabled = objects.enabled()
    written = {}
    for obj in enabled:
        update(obj, depsgraph, written=written)
    _keep_only(enabled)


def _keep_only(enabled):
    """Forgets the plug-in instances and problems of objects no longer enabled (deleted, undone)."""
    alive = {obj.as_pointer() for obj in enabled}
    with lock:
        for key in [k for k in _states if k[0] not in alive]:
            _states.pop(key).close()
    problems.keep_only(enabled)


@contextlib.contextmanager
def suspended():
    """Frame changes made inside leave the attribute alone (bakes compute themselves)."""
    global _suspended
    _suspended += 1
    try:
        yield
    finally:
        _suspended -= 1


@persistent
def _on_frame_change(scene, depsgraph):
    if not _suspended:
        update_all(depsgraph)


@persistent
def _on_depsgraph_update(scene, depsgraph):
    if depsgraph.id_type_updated("LIBRARY"):
        objects.changed()
    if _suspended:
        return
    written = {}
    updated, measured = set(), set()
    for change in depsgraph.updates:
        obj = change.id
        if isinstance(obj, bpy.types.Object):
            obj = obj.original
            updated.add(obj.as_pointer())
            if change.is_updated_geometry and objects.is_enabled(obj):
                update(obj, depsgraph, check_rest=True, written=written)
                measured.add(obj.as_pointer())
    if updated:
        _follow_axes(depsgraph, updated, measured, written)


def _follow_axes(depsgraph, updated, measured, written):
    """Writes again the objects whose Grainmark axis turned while their mesh was not evaluated.

    Nothing ties an axis object to the measured mesh in the depsgraph, so
    moving the axis object (or the measured object alone) at the same frame
    evaluates no mesh. The values are written into the evaluated mesh as it
    stands, for scripts and exporters at once. A tag here would not do: the
    depsgraph evaluates what a handler tags at once, without handlers, which
    would leave the mesh without attributes. In the interface the viewport
    draws the new values once the mesh is evaluated again, so it is tagged
    from a timer, after this update; that evaluation writes them as any does.
    """
    followers = []
    for obj in objects.enabled():
        settings = obj.kestrin_strainmark
        source = settings.axis_object
        if (source is not None and obj.as_pointer() not in measured and grain.directions(settings)
                and (source.as_pointer() in updated or obj.as_pointer() in updated)):
            update(obj, depsgraph, written=written)
            followers.append(objects.key(obj))
    if followers and not bpy.app.background:
        bpy.app.timers.register(functools.partial(_redraw, followers), first_interval=0.0)


def _redraw(keys):
    for key in keys:
        obj = bpy.data.objects.get(key)
        if obj is not None:
            obj.update_tag()


def _forget():
    with lock:
        for state in _states.values():
            state.close()
        _states.clear()
    problems.clear()
    objects.changed()


@persistent
def _on_load(*_):
    _forget()
    if objects.enabled():
        update_all(bpy.context.evaluated_depsgraph_get())


def enabled_changed(obj):
    objects.changed()
    settings_changed(obj)


def settings_changed(obj):
    """Evaluates obj again, so that depsgraph_update_post writes the new values."""
    obj.update_tag()


def capture_rest(context, obj):
    rest.capture(context, obj, suspended)
    settings_changed(obj)


def rest_changed(obj):
    """The rest mode or frame changed: capture now when this is the interface's thread."""
    settings = obj.kestrin_strainmark
    if (settings.rest == "FRAME" and obj.type == "MESH"
            and threading.current_thread() is threading.main_thread()
            and not bpy.app.is_job_running("RENDER")):
        capture_rest(bpy.context, obj)
    settings_changed(obj)


_HANDLERS = ((bpy.app.handlers.frame_change_post, _on_frame_change),
             (bpy.app.handlers.depsgraph_update_post, _on_depsgraph_update),
             (bpy.app.handlers.load_post, _on_load),
             (bpy.app.handlers.undo_post, objects.changed),
             (bpy.app.handlers.redo_post, objects.changed),
             (bpy.app.handlers.render_init, objects.changed))


def register():
    for handlers, handler in _HANDLERS:
        handlers.append(handler)


def unregister():
    for handlers, handler in _HANDLERS:
        if handler in handlers:
            handlers.remove(handler)
    _forget()
