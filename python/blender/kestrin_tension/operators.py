"""The add-on's operators: bpy.ops.kestrin.*."""

import bpy
import numpy as np
from bpy.props import FloatProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import bake, live
from ._module import kestrin
from .settings_list import CHANNELS, TOGGLES, channel_values, plugin_value, strainmark_keywords


def _active(context):
    return context.active_object


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
        settings = obj.kestrin_strainmark
        settings.enabled = True
        live.ensure_attributes(obj)
        if settings.rest == "FRAME" and settings.rest_mesh is None:
            live.capture_rest(context, obj)
        if len(obj.data.polygons) == 0:
            self.report({"WARNING"}, f"{obj.name} has no faces; its attribute stays as it is")
        live.settings_changed(obj)
        return {"FINISHED"}


class KESTRIN_OT_capture_rest(bpy.types.Operator):
    """Keep the evaluated mesh at the rest frame as the rest shape"""
    bl_idname = "kestrin.capture_rest"
    bl_label = "Capture Rest"
    bl_options = {"REGISTER", "UNDO"}

    @classmethod
    def poll(cls, context):
        obj = _active(context)
        return obj is not None and obj.type == "MESH"

    def execute(self, context):
        live.capture_rest(context, _active(context))
        return {"FINISHED"}


def _frames(operator, scene):
    start = operator.frame_start if operator.properties.is_property_set("frame_start") else scene.frame_start
    end = operator.frame_end if operator.properties.is_property_set("frame_end") else scene.frame_end
    if end < start:
        raise live.Problem(f"frame range {start}-{end} is empty")
    return list(range(start, end + 1))


_FRAME_RANGE = {
    "frame_start": IntProperty(name="Start", description="First frame (default: the scene's)",
                               options={"SKIP_SAVE"}),
    "frame_end": IntProperty(name="End", description="Last frame (default: the scene's)",
                             options={"SKIP_SAVE"}),
}


class _Bake:
    """What both bakes share: the file dialog, the frame range, errors as reports."""

    def invoke(self, context, event):
        if not self.filepath:
            self.filepath = bpy.path.abspath("//") + _active(context).name + self.filename_ext
        return ExportHelper.invoke(self, context, event)

    def execute(self, context):
        obj = _active(context)
        try:
            frames = _frames(self, context.scene)
            self.bake(context, obj, bpy.path.abspath(self.filepath), frames)
        except (live.Problem, ValueError, OSError, KeyError, kestrin.SessionError) as error:
            self.report({"ERROR"}, f"{obj.name}: {error}")
            return {"CANCELLED"}
        self.report({"INFO"}, f"{obj.name}: frames {frames[0]}-{frames[-1]} written to {self.filepath}")
        return {"FINISHED"}

    @classmethod
    def poll(cls, context):
        return _active(context) is not None


class KESTRIN_OT_bake_weights(_Bake, bpy.types.Operator, ExportHelper):
    """Write the weights of a frame range to a NumPy file: float32, frames x points"""
    bl_idname = "kestrin.bake_weights"
    bl_label = "Bake Weights"
    filename_ext = ".npy"
    filter_glob: StringProperty(default="*.npy", options={"HIDDEN"})
    __annotations__.update(_FRAME_RANGE)

    def bake(self, context, obj, path, frames):
        bake.weights(context, obj, path, frames)


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
            raise live.Problem(f"{path}: a point cache is .pc2 or .mdd")
        channels = channel_values(obj.kestrin_strainmark)
        for s in CHANNELS:
            if self.properties.is_property_set(s.keyword):
                channels[s.keyword] = plugin_value(getattr(self, s.keyword))
        bake.corrective(context, obj, path, frames, self.stretch_target, self.squash_target,
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
    """What saving and loading share: the scratch instance set to the object's settings."""
    filename_ext = ".json"
    filter_glob: StringProperty(default="*.json", options={"HIDDEN"})

    @classmethod
    def poll(cls, context):
        return _active(context) is not None

    def execute(self, context):
        global _scratch
        if _scratch is None:
            _scratch = kestrin.Strainmark(np.eye(3), [[0, 1, 2]])
        settings = _active(context).kestrin_strainmark
        for keyword, value in strainmark_keywords(settings).items():
            setattr(_scratch, keyword, value)
        try:
            self.transfer(_scratch, bpy.path.abspath(self.filepath), settings)
        except (OSError, ValueError, kestrin.SessionError) as error:
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

    def transfer(self, tool, path, settings):
        tool.load_settings(path)
        for s in CHANNELS + TOGGLES:
            setattr(settings, s.keyword, getattr(tool, s.keyword))


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
            KESTRIN_OT_report)


def register():
    for cls in _classes:
        bpy.utils.register_class(cls)


def unregister():
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
