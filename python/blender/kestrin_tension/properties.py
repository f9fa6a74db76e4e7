"""object.kestrin_strainmark: the settings of Strainmark on one object.

enabled, attribute, colour_attribute, colour_channels, rest ('BASE' or
'FRAME'), rest_frame, the five channels and the three check boxes (names,
labels, defaults and help from the kestrin module), and rest_mesh and
rest_mesh_render, the rest captured at rest_frame as the viewport and as a
render evaluate it (the latter only where they differ).

Grainmark, on the same rest and with the same channels and check boxes:
a check box per measure (grain_along, grain_across, grain_area, grain_max,
grain_min), the typed axis (axis_x, axis_y, axis_z) or an axis_object with
axis_local ('X', 'Y' or 'Z') and, on an armature, axis_bone (grain.py).

Every property may be overridden, so that a library override of a linked
character keeps its own settings.
"""

import bpy
from bpy.props import BoolProperty, EnumProperty, FloatProperty, IntProperty, PointerProperty, StringProperty

from . import live
from .grain import LOCAL_AXES
from .settings_list import AXIS, CHANNELS, MEASURES, TOGGLES


def _changed(self, context):
    live.settings_changed(self.id_data)


def _enabled_changed(self, context):
    live.enabled_changed(self.id_data)


def _rest_changed(self, context):
    live.rest_changed(self.id_data)


def _annotations():
    fields = {
        "enabled": BoolProperty(
            name="Enabled", default=False, update=_enabled_changed,
            description="Write the tension of the evaluated mesh at every frame"),
        "attribute": StringProperty(
            name="Attribute", default="tension", update=_changed,
            description="Float point attribute that receives the weights"),
        "colour_attribute": StringProperty(
            name="Colour attribute", default="", update=_changed,
            description="Optional colour point attribute for the stretch and squash (empty: none)"),
        "colour_channels": EnumProperty(
            name="Channels", default="RED_GREEN", update=_changed,
            items=[("RED_GREEN", "Red / Green", "Stretch in red, squash in green, alpha 1"),
                   ("RED_ALPHA", "Red / Alpha", "Stretch in red, squash in alpha")],
            description="Colour channels of the stretch and the squash"),
        "rest": EnumProperty(
            name="Rest", default="BASE", update=_rest_changed,
            items=[("BASE", "Base mesh", "The mesh's own undeformed points"),
                   ("FRAME", "Frame", "The evaluated mesh at the rest frame (modifiers that change "
                                      "the point count, such as subdivision)")],
            description="The shape the tension is measured against"),
        "rest_frame": IntProperty(
            name="Rest frame", default=1, update=_rest_changed,
            description="Frame whose evaluated mesh is the rest shape"),
        "rest_mesh": PointerProperty(
            type=bpy.types.Mesh, name="Captured rest",
            description="The evaluated mesh captured at the rest frame (kept in the file, for renders)"),
        "rest_mesh_render": PointerProperty(
            type=bpy.types.Mesh, name="Captured rest for renders",
            description="The rest frame's mesh as renders evaluate it (render levels), where it differs"),
    }
    for s in MEASURES:
        fields[s.keyword] = BoolProperty(name=s.label, description=s.help, default=s.default, update=_changed)
    fields.update({
        "axis_object": PointerProperty(
            type=bpy.types.Object, name="Axis object", update=_changed,
            description="Object whose local axis Grainmark's axis follows, frame by frame (empty: the typed axis)"),
        "axis_local": EnumProperty(
            name="Local axis", default="Y", update=_changed,
            items=[(a, a, f"The axis object's (or bone's) local {a}") for a in LOCAL_AXES],
            description="Which of the axis object's local axes (a bone's Y runs from its head to its tail)"),
        "axis_bone": StringProperty(
            name="Bone", default="", update=_changed,
            description="A bone of the axis object, an armature, whose axis is followed (empty: the object's)"),
    })
    for s in CHANNELS + AXIS:
        fields[s.keyword] = FloatProperty(name=s.label, description=s.help, default=s.default,
                                          soft_min=s.low, soft_max=s.high, precision=3, step=1,
                                          update=_changed)
    for s in TOGGLES:
        fields[s.keyword] = BoolProperty(name=s.label, description=s.help, default=s.default,
                                         update=_changed)
    for field in fields.values():
        field.keywords["override"] = _OVERRIDABLE
    return fields


_OVERRIDABLE = {"LIBRARY_OVERRIDABLE"}

KestrinStrainmarkSettings = type("KestrinStrainmarkSettings", (bpy.types.PropertyGroup,),
                                 {"__annotations__": _annotations(), "__doc__": __doc__})


def register():
    bpy.utils.register_class(KestrinStrainmarkSettings)
    bpy.types.Object.kestrin_strainmark = PointerProperty(type=KestrinStrainmarkSettings, override=_OVERRIDABLE)


def unregister():
    del bpy.types.Object.kestrin_strainmark
    bpy.utils.unregister_class(KestrinStrainmarkSettings)
