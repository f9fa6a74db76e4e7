"""The panel in the object's properties: Strainmark's settings, rest, attributes, Grainmark's measures and axis, bakes."""

import bpy

from . import grain, objects, problems
from .settings_list import AXIS, CHANNELS, MEASURES, TOGGLES, direction


class OBJECT_PT_kestrin_tension(bpy.types.Panel):
    bl_label = "Kestrin Tension"
    bl_space_type = "PROPERTIES"
    bl_region_type = "WINDOW"
    bl_context = "object"
    bl_options = {"DEFAULT_CLOSED"}

    def draw_header(self, context):
        settings = objects.settings(context.object)  # drawn without creating settings on every object shown
        if settings is not None:
            self.layout.prop(settings, "enabled", text="")

    def draw(self, context):
        obj = context.object
        settings = objects.settings(obj)
        layout = self.layout
        layout.use_property_split = True
        if obj.type != "MESH":
            layout.label(text="Strainmark works on mesh objects", icon="INFO")
            return
        if settings is None or not settings.enabled:
            layout.operator("kestrin.strainmark_add")
            if settings is None:
                return
        message = problems.message(obj)
        if message:
            layout.label(text=message, icon="ERROR")

        column = layout.column()
        column.prop(settings, "attribute")
        column.prop(settings, "colour_attribute")
        row = column.row()
        row.active = bool(settings.colour_attribute)
        row.prop(settings, "colour_channels")

        column = layout.column()
        column.prop(settings, "rest")
        if settings.rest == "FRAME":
            column.prop(settings, "rest_frame")
            column.operator("kestrin.capture_rest")

        column = layout.column(heading="Channels")
        for s in CHANNELS:
            column.prop(settings, s.keyword)
        column = layout.column(heading="Weights")
        for s in TOGGLES:
            column.prop(settings, s.keyword)
        _draw_grainmark(layout, obj, settings)

        row = layout.row(align=True)
        row.operator("kestrin.settings_load", icon="FILEBROWSER")
        row.operator("kestrin.settings_save", icon="FILE_TICK")
        row = layout.row(align=True)
        row.operator("kestrin.bake_weights", icon="EXPORT")
        row.operator("kestrin.bake_corrective", icon="MOD_MESHDEFORM")
        layout.operator("kestrin.material_add", icon="MATERIAL")


def _draw_grainmark(layout, obj, settings):
    column = layout.column(heading="Grainmark")
    for s in MEASURES:
        row = column.row()
        row.prop(settings, s.keyword)
        if getattr(settings, s.keyword):
            row.label(text=grain.attribute(settings, direction(s)))
    column = layout.column()
    column.active = bool(grain.directions(settings))
    column.prop(settings, "axis_object")
    source = settings.axis_object
    if source is not None:
        if source.type == "ARMATURE":
            column.prop_search(settings, "axis_bone", source.data, "bones")
        column.prop(settings, "axis_local")
    else:
        for s in AXIS:
            column.prop(settings, s.keyword)


def register():
    bpy.utils.register_class(OBJECT_PT_kestrin_tension)


def unregister():
    bpy.utils.unregister_class(OBJECT_PT_kestrin_tension)
