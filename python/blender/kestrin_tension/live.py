"""Live tension: Strainmark's weights written to the evaluated mesh at every frame change.

Where the values go, and why:
frame_change_post runs once the depsgraph it is handed has evaluated the new
frame: the viewport's during playback and scrubbing, and the render's own
depsgraph (mode 'RENDER') in F12 and `blender -b FILE -a` renders, where it
runs on the render thread while the viewport goes on drawing from the main
one. Writing the attribute into the original mesh from there is the known
crash (the other thread reads that mesh meanwhile), and even where it does
not crash it tags the mesh, so Blender evaluates the frame a second time in
the viewport, while a render, which does not, shows the previous frame's
values. So the handler reads originals only (settings, rest shape) and
writes the values into the evaluated mesh of the depsgraph it was handed.
That copy belongs to that depsgraph alone; the viewport's draw code and the
render engine read it after the handler has run; nothing gets tagged, so no
evaluation is repeated or re-entered. The attribute's layer is created on
the original from the interface (strainmark_add, a new name), so every
evaluated copy carries one to fill.
An update at the same frame (a changed setting, an edit, a bone moved)
builds the evaluated mesh again from the original; depsgraph_update_post,
which Blender runs after such updates and not on frame changes, writes the
values again. Handlers may run on two threads (render and viewport): the
per-object state is shared under one lock.
"""

import contextlib
import sys
import threading

import bpy
import numpy as np
from bpy.app.handlers import persistent

from . import mesh_arrays
from ._module import kestrin
from .settings_list import strainmark_keywords

lock = threading.RLock()
_states = {}      # original object's address -> _State
_problems = {}    # object name -> the message reported for it
_pending = []     # messages not yet shown in the interface's report area
_suspended = 0    # bakes and rest captures step frames themselves


class Problem(Exception):
    """Why an object's attribute was left as it was; reported once per kind.

    kind: what makes two problems the same (a point count that changes from
    frame to frame is one problem); by default the message.
    """

    def __init__(self, message, kind=None):
        super().__init__(message)
        self.kind = kind or message


class _State:
    """Strainmark on one object, kept between frames: rest, plug-in instance, buffers.

    Made again only when the rest changes; settings are set on the instance
    when they differ from the last frame's.
    """

    def __init__(self, rest_key, rest, faces):
        self.rest_key = rest_key
        self.rest = rest
        self.count = rest.shape[0]
        self.tool = kestrin.Strainmark(rest, faces)
        self.keywords = None
        self.points = None
        self.colours = None

    def weights(self, mesh, keywords):
        """The weights of the evaluated mesh, (N,) float32, with these settings."""
        if keywords != self.keywords:
            for keyword, value in keywords.items():
                setattr(self.tool, keyword, value)
            self.keywords = keywords
        self.points = mesh_arrays.points(mesh, self.points)
        return self.tool.weights(self.points)

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


def rest_source(obj, settings):
    """The mesh holding obj's rest points and polygons, and a key that changes with it."""
    if settings.rest == "FRAME":
        mesh = settings.rest_mesh
        if mesh is None:
            raise Problem(f"its rest frame {settings.rest_frame} is not captured (Capture rest)")
    else:
        mesh = obj.data
    if len(mesh.polygons) == 0:
        raise Problem("its rest mesh has no faces; tension is measured over faces")
    return mesh, (settings.rest, mesh.as_pointer(), len(mesh.vertices), len(mesh.loops))


def state_for(obj, check_rest=False):
    """obj's cached state, made (again) when its rest changed. Call with the lock held.

    check_rest also compares the rest points, for updates that may have
    edited them (never on frame changes).
    """
    mesh, rest_key = rest_source(obj, obj.kestrin_strainmark)
    key = obj.as_pointer()
    state = _states.get(key)
    if state is not None and state.rest_key == rest_key:
        if not check_rest or np.array_equal(mesh_arrays.points(mesh), state.rest):
            return state
    fresh = _State(rest_key, mesh_arrays.points(mesh), mesh_arrays.polygons(mesh))
    if state is not None:
        state.close()
    _states[key] = fresh
    return fresh


def _layer(mesh, name, kinds):
    layer = mesh.attributes.get(name)
    if layer is None:
        raise Problem(f"its mesh has no attribute {name!r} (enable Strainmark again to add it)")
    if layer.domain != "POINT" or layer.data_type not in kinds:
        raise Problem(f"attribute {name!r} is {layer.data_type} on {layer.domain}, "
                      f"not {' or '.join(kinds)} on POINT")
    return layer


def check_mesh_object(obj):
    if obj.type != "MESH":
        raise Problem(f"is a {obj.type.lower()} object; Strainmark needs a mesh")


def check_count(state, mesh):
    if len(mesh.vertices) != state.count:
        raise Problem(f"has {len(mesh.vertices)} points where its rest has {state.count}; "
                      "its attribute is left as it was (a rest at a frame serves meshes whose "
                      "modifiers change the point count)", kind="point count")


def update(obj, depsgraph, check_rest=False):
    """Writes obj's weights into its evaluated mesh in depsgraph; reports what stops it."""
    settings = obj.kestrin_strainmark
    try:
        check_mesh_object(obj)
        if obj.mode == "EDIT":
            return
        mesh = obj.evaluated_get(depsgraph).data
        with lock:
            state = state_for(obj, check_rest)
            check_count(state, mesh)
            layer = _layer(mesh, settings.attribute, ("FLOAT",))
            colour = (_layer(mesh, settings.colour_attribute, ("FLOAT_COLOR", "BYTE_COLOR"))
                      if settings.colour_attribute else None)
            weights = state.weights(mesh, strainmark_keywords(settings))
            layer.data.foreach_set("value", weights)
            if colour is not None:
                colour.data.foreach_set("color", state.colour(weights, settings.colour_channels).ravel())
        _solved(obj)
    except Problem as problem:
        report(obj, str(problem), problem.kind)
    except (ValueError, RuntimeError, kestrin.SessionError) as error:
        report(obj, f"{type(error).__name__}: {error}")


def report(obj, message, kind=None):
    """Reports obj's problem once: again only after it was solved or another came."""
    kind = kind or message
    with lock:
        if _problems.get(obj.name, (None,))[0] == kind:
            return
        _problems[obj.name] = (kind, message)
        text = f"Kestrin Tension: {obj.name}: {message}"
        _pending.append(text)
    print(text, file=sys.stderr, flush=True)


def _solved(obj):
    if obj.name in _problems:
        with lock:
            _problems.pop(obj.name, None)


def problem(obj):
    """The message reported for obj (an object or a name) and not yet solved, or None."""
    return _problems.get(obj if isinstance(obj, str) else obj.name, (None, None))[1]


def _flush_reports():
    # A timer on the main thread: the report area takes reports from operators only.
    with lock:
        messages, _pending[:] = list(_pending), []
    for message in messages:
        try:
            bpy.ops.kestrin.report(message=message)
        except RuntimeError:
            pass
    return 0.5


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
    if _suspended:
        return
    for obj in scene.objects:
        if obj.kestrin_strainmark.enabled:
            update(obj, depsgraph)


@persistent
def _on_depsgraph_update(scene, depsgraph):
    if _suspended:
        return
    for change in depsgraph.updates:
        obj = change.id
        if isinstance(obj, bpy.types.Object) and change.is_updated_geometry:
            obj = obj.original
            if obj.kestrin_strainmark.enabled:
                update(obj, depsgraph, check_rest=True)


@persistent
def _on_load(*_):
    with lock:
        for state in _states.values():
            state.close()
        _states.clear()
        _problems.clear()


def ensure_attributes(obj):
    """Adds the attribute layers to obj's original mesh (from the interface, never a handler)."""
    settings = obj.kestrin_strainmark
    if obj.type != "MESH" or not settings.enabled:
        return
    attributes = obj.data.attributes
    for name, kind in ((settings.attribute, "FLOAT"), (settings.colour_attribute, "FLOAT_COLOR")):
        if name and attributes.get(name) is None:
            attributes.new(name, kind, "POINT")


def settings_changed(obj):
    """Evaluates obj again, so that depsgraph_update_post writes the new values."""
    obj.update_tag()


def capture_rest(context, obj):
    """Keeps obj's evaluated mesh at its rest frame as settings.rest_mesh (saved with the file)."""
    settings = obj.kestrin_strainmark
    scene = context.scene
    frame, subframe = scene.frame_current, scene.frame_subframe
    with suspended():
        scene.frame_set(settings.rest_frame)
        depsgraph = context.evaluated_depsgraph_get()
        mesh = bpy.data.meshes.new_from_object(obj.evaluated_get(depsgraph), depsgraph=depsgraph)
        scene.frame_set(frame, subframe=subframe)
    mesh.name = f"{obj.name} rest"
    old = settings.rest_mesh
    settings.rest_mesh = mesh
    if old is not None and old.users == 0:
        bpy.data.meshes.remove(old)
    settings_changed(obj)


def rest_changed(obj):
    """The rest mode or frame changed: capture now when this is the interface's thread."""
    settings = obj.kestrin_strainmark
    if (settings.rest == "FRAME" and obj.type == "MESH"
            and threading.current_thread() is threading.main_thread()
            and not bpy.app.is_job_running("RENDER")):
        capture_rest(bpy.context, obj)
    settings_changed(obj)


def register():
    bpy.app.handlers.frame_change_post.append(_on_frame_change)
    bpy.app.handlers.depsgraph_update_post.append(_on_depsgraph_update)
    bpy.app.handlers.load_post.append(_on_load)
    if not bpy.app.background:
        bpy.app.timers.register(_flush_reports, first_interval=0.5, persistent=True)


def unregister():
    if bpy.app.timers.is_registered(_flush_reports):
        bpy.app.timers.unregister(_flush_reports)
    for handlers, handler in ((bpy.app.handlers.frame_change_post, _on_frame_change),
                              (bpy.app.handlers.depsgraph_update_post, _on_depsgraph_update),
                              (bpy.app.handlers.load_post, _on_load)):
        if handler in handlers:
            handlers.remove(handler)
    _on_load()
