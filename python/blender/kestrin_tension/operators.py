"""The add-on's operators: bpy.ops.kestrin.*."""

import contextlib
import sys
import time
import warnings

import bpy
import numpy as np
from bpy.props import FloatProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import bake, interrupts, live, material, objects
from ._module import kestrin
from .problems import Problem
from .settings_list import CHANNELS, TOGGLES, channel_values, plugin_value, strainmark_keywords

# What a bake or a settings file reports as its failure (anything else is a fault of ours).
_FAILURES = (Problem, ValueError, OSError, KeyError, kestrin.SessionError)


def _active(context):
    return context.active_object


def _active_mesh(context):
    obj = context.active_object
    return obj if obj is not None and obj.type == "MESH" else None


class KESTRIN_OT_strainmark_add(bpy.types.Operator):
    """Write the edge tension of the active mesh object into a point attribute at every frame"""
    bl_idname = "kestrin.strainmark_add"
    bl_label = "Add Strainmark"
    bl_options = {"REGISTER", "UNDO"}

    @classmethod
    def poll(cls, context):
        return _active(context) is not None

    def execute(self, context):
        obj = _active(context)
        if obj.type != "MESH":
            self.report({"ERROR"}, f"{obj.name} is a {obj.type.lower()} object; Strainmark needs a mesh")
            return {"CANCELLED"}
        if obj.library is not None:
            # A linked object takes no settings of its own: they go on a library override of it.
            linked = obj.name_full
            obj = obj.override_create(remap_local_usages=True)
            if obj is None:
                self.report({"ERROR"}, f"{linked}: Blender made no library override of it; make one "
                                       "(Object > Library Override > Make) and add Strainmark to that")
                return {"CANCELLED"}
            if obj.name in context.view_layer.objects:
                context.view_layer.objects.active = obj
            self.report({"INFO"}, f"{linked}: its settings are kept on a library override, {obj.name}")
        settings = obj.kestrin_strainmark
        settings.enabled = True
        if settings.rest == "FRAME" and settings.rest_mesh is None:
            live.capture_rest(context, obj)
        if len(obj.data.polygons) == 0:
            self.report({"WARNING"}, f"{obj.name} has no faces; it gets no attribute")
        live.settings_changed(obj)
        return {"FINISHED"}


class KESTRIN_OT_capture_rest(bpy.types.Operator):
    """Keep the evaluated mesh at the rest frame as the rest shape"""
    bl_idname = "kestrin.capture_rest"
    bl_label = "Capture Rest"
    bl_options = {"REGISTER", "UNDO"}

    @classmethod
    def poll(cls, context):
        return _active_mesh(context) is not None

    def execute(self, context):
        live.capture_rest(context, _active(context))
        return {"FINISHED"}


def _frames(operator, scene):
    start = operator.frame_start if operator.properties.is_property_set("frame_start") else scene.frame_start
    end = operator.frame_end if operator.properties.is_property_set("frame_end") else scene.frame_end
    if end < start:
        raise Problem(f"frame range {start}-{end} is empty")
    return list(range(start, end + 1))


_FRAME_RANGE = {
    "frame_start": IntProperty(name="Start", description="First frame (default: the scene's)",
                               options={"SKIP_SAVE"}),
    "frame_end": IntProperty(name="End", description="Last frame (default: the scene's)",
                             options={"SKIP_SAVE"}),
}


class _Bake:
    """What both bakes share: the file dialog, the frame range, progress, stopping, errors as reports.

    Invoked from the interface, a bake runs a frame per timer event, with
    the progress bar and the status bar showing where it is and Esc stopping
    it; run from a script or a command-line Blender it runs to its end,
    printing its progress on standard error, and Ctrl-C stops it there.
    Either way, stopped or failed, the old file is kept.
    """

    def invoke(self, context, event):
        if not self.filepath:
            self.filepath = bpy.path.abspath("//") + _active(context).name + self.filename_ext
        return ExportHelper.invoke(self, context, event)

    @classmethod
    def poll(cls, context):
        return _active(context) is not None

    def execute(self, context):
        self._obj = _active(context)
        try:
            frames = _frames(self, context.scene)
            self._path = bpy.path.abspath(self.filepath)
            self._job = self.bake(context, self._obj, self._path, frames)
        except _FAILURES as error:
            return self._failed(error)
        self._range = f"frames {frames[0]}-{frames[-1]}"
        if self.options.is_invoke and context.window is not None and not bpy.app.background:
            return self._watch(context, len(frames))
        with contextlib.closing(self._job):
            try:
                with interrupts.watched() as ctrl_c:
                    shown = 0.0
                    for done, total in self._job:
                        if done in (1, total) or time.monotonic() - shown > 1.0:
                            print(f"{self._title()}: frame {done} of {total}", file=sys.stderr, flush=True)
                            shown = time.monotonic()
                        ctrl_c.check()
                        if done == total:
                            ctrl_c.raise_from_now()  # what follows is the file's write
            except KeyboardInterrupt:
                return self._stopped("Ctrl-C")
            except _FAILURES as error:
                return self._failed(error)
        return self._done()

    def _watch(self, context, count):
        manager = context.window_manager
        self._timer = manager.event_timer_add(0.001, window=context.window)
        manager.modal_handler_add(self)
        manager.progress_begin(0, count)
        return {"RUNNING_MODAL"}

    def modal(self, context, event):
        if event.type == "ESC":
            self._end(context)
            return self._stopped("Esc")
        if event.type != "TIMER":
            return {"RUNNING_MODAL"}
        try:
            # Frames for a tenth of a second, then the interface draws and reads Esc.
            until = time.monotonic() + 0.1
            done, total = next(self._job)
            while done < total and time.monotonic() < until:
                done, total = next(self._job)
        except StopIteration:
            self._end(context)
            return self._done()
        except _FAILURES as error:
            self._end(context)
            return self._failed(error)
        context.window_manager.progress_update(done)
        context.workspace.status_text_set(f"{self._title()}: frame {done} of {total} (Esc to stop)")
        return {"RUNNING_MODAL"}

    def cancel(self, context):
        self._end(context)

    def _end(self, context):
        self._job.close()
        manager = context.window_manager
        manager.event_timer_remove(self._timer)
        manager.progress_end()
        context.workspace.status_text_set(None)

    def _title(self):
        return f"Kestrin Tension: {self.bl_label} {self._obj.name_full}"

    def _done(self):
        self.report({"INFO"}, f"{self._obj.name}: {self._range} written to {self.filepath}")
        return {"FINISHED"}

    def _stopped(self, how):
        self.report({"WARNING"}, f"{self._obj.name}: stopped ({how}); {self._path} is as it was")
        return {"CANCELLED"}

    def _failed(self, error):
        self.report({"ERROR"}, f"{self._obj.name}: {error}")
        return {"CANCELLED"}


class KESTRIN_OT_bake_weights(_Bake, bpy.types.Operator, ExportHelper):
    """Write the weights of a frame range to a NumPy file: float32, frames x points"""
    bl_idname = "kestrin.bake_weights"
    bl_label = "Bake Weights"
    filename_ext = ".npy"
    filter_glob: StringProperty(default="*.npy", options={"HIDDEN"})
    __annotations__.update(_FRAME_RANGE)

    def bake(self, context, obj, path, frames):
        return bake.weights(context, obj, path, frames)


def _corrective_annotations():
    fields = dict(_FRAME_RANGE)
    fields["filter_glob"] = StringProperty(default="*.pc2;*.mdd", options={"HIDDEN"})
    fields["stretch_target"] = StringProperty(name="Stretch target", description="Mesh object: the rest sculpted as it should look stretched")
    fields["squash_target"] = StringProperty(name="Squash target", description="Mesh object: the rest sculpted as it should look squashed")
    fields["vertex_group"] = StringProperty(name="Influence", description="Vertex group scaling each point's move (empty: all 1)")
    for s in CHANNELS:
        fields[s.keyword] = FloatProperty(name=s.label, description=s.help + " (default: the object's panel value)",
                                          default=s.default, soft_min=s.low, soft_max=s.high,
                                          options={"SKIP_SAVE"})
    return fields


class KESTRIN_OT_bake_corrective(_Bake, bpy.types.Operator, ExportHelper):
    """Run the Strainshaper correction over a frame range into a point cache, played by a Mesh Cache modifier"""
    bl_idname = "kestrin.bake_corrective"
    bl_label = "Bake Corrective"
    bl_options = {"REGISTER", "UNDO"}
    filename_ext = ".pc2"
    check_extension = None  # .pc2 or .mdd, as typed
    __annotations__ = _corrective_annotations()

    def bake(self, context, obj, path, frames):
        if not path.lower().endswith((".pc2", ".mdd")):
            raise Problem(f"{path}: a point cache is .pc2 or .mdd")
        channels = channel_values(obj.kestrin_strainmark)
        for s in CHANNELS:
            if self.properties.is_property_set(s.keyword):
                channels[s.keyword] = plugin_value(getattr(self, s.keyword))
        return bake.corrective(context, obj, path, frames, self.stretch_target, self.squash_target,
                               self.vertex_group, channels)

    def draw(self, context):
        layout = self.layout
        obj = _active(context)
        layout.prop_search(self, "stretch_target", bpy.data, "objects")
        layout.prop_search(self, "squash_target", bpy.data, "objects")
        if obj is not None and obj.type == "MESH":
            layout.prop_search(self, "vertex_group", obj, "vertex_groups")
        layout.prop(self, "frame_start")
        layout.prop(self, "frame_end")


# A scratch Strainmark that carries settings to and from files, reused: the
# module keeps what a closed instance held, so making one per click would grow.
_scratch = None


class _SettingsFile:
    """What saving and loading share: the scratch instance set to the object's settings.

    Loading keeps, for what a file leaves out, the object's own values, and
    loads over values no plug-in takes (a channel that is not a number), so
    that a saved file mends them; saving refuses those.
    """
    filename_ext = ".json"
    mends = False
    filter_glob: StringProperty(default="*.json", options={"HIDDEN"})

    @classmethod
    def poll(cls, context):
        return _active(context) is not None

    def execute(self, context):
        global _scratch
        if _scratch is None:
            _scratch = kestrin.Strainmark(np.eye(3), [[0, 1, 2]])
        settings = _active(context).kestrin_strainmark
        try:
            for keyword, value in strainmark_keywords(settings).items():
                try:
                    setattr(_scratch, keyword, value)
                except ValueError:
                    if not self.mends:
                        raise
            self.transfer(_scratch, bpy.path.abspath(self.filepath), settings)
        except _FAILURES as error:
            self.report({"ERROR"}, str(error))
            return {"CANCELLED"}
        return {"FINISHED"}


class KESTRIN_OT_settings_save(_SettingsFile, bpy.types.Operator, ExportHelper):
    """Save the settings to a JSON file the kestrin tool and module read"""
    bl_idname = "kestrin.settings_save"
    bl_label = "Save Settings"

    def transfer(self, tool, path, settings):
        tool.save_settings(path)


class KESTRIN_OT_settings_load(_SettingsFile, bpy.types.Operator, ImportHelper):
    """Load settings from a JSON file written by the kestrin tool, the module or this add-on"""
    bl_idname = "kestrin.settings_load"
    bl_label = "Load Settings"
    bl_options = {"REGISTER", "UNDO"}
    mends = True

    def transfer(self, tool, path, settings):
        # A file of the effect gives its channels only; the module says so.
        with warnings.catch_warnings(record=True) as notes:
            warnings.simplefilter("always")
            tool.load_settings(path)
        for note in notes:
            self.report({"WARNING"}, str(note.message))
        for s in CHANNELS + TOGGLES:
            setattr(settings, s.keyword, getattr(tool, s.keyword))


class KESTRIN_OT_material_add(bpy.types.Operator):
    """Add a material coloured by the tension (blue squashed, white at rest, red stretched) and an AOV of it for the compositor"""
    bl_idname = "kestrin.material_add"
    bl_label = "Add Tension Material"
    bl_options = {"REGISTER", "UNDO"}

    @classmethod
    def poll(cls, context):
        obj = _active_mesh(context)
        return obj is not None and objects.is_enabled(obj)

    def execute(self, context):
        obj = _active(context)
        name = obj.kestrin_strainmark.attribute
        try:
            added = material.add(obj, context.view_layer, name)
        except Problem as problem:
            self.report({"ERROR"}, f"{obj.name}: attribute {name!r}: {problem}")
            return {"CANCELLED"}
        self.report({"INFO"}, f"{obj.name}: material {added.name} in slot {len(obj.data.materials)}, "
                              f"AOV {name!r} in view layer {context.view_layer.name}")
        return {"FINISHED"}


class KESTRIN_OT_report(bpy.types.Operator):
    """Show a message of the live update in the report area"""
    bl_idname = "kestrin.report"
    bl_label = "Kestrin Report"
    bl_options = {"INTERNAL"}
    message: StringProperty()

    def execute(self, context):
        self.report({"WARNING"}, self.message)
        return {"FINISHED"}


_classes = (KESTRIN_OT_strainmark_add, KESTRIN_OT_capture_rest, KESTRIN_OT_bake_weights,
            KESTRIN_OT_bake_corrective, KESTRIN_OT_settings_save, KESTRIN_OT_settings_load,
            KESTRIN_OT_material_add, KESTRIN_OT_report)


def register():
    for cls in _classes:
        bpy.utils.register_class(cls)


def unregister():
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
