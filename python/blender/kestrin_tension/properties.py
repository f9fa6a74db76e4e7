"""object.kestrin_strainmark: the settings of Strainmark on one object.

enabled, attribute, colour_attribute, colour_channels, rest ('BASE' or
'FRAME'), rest_frame, the five channels and the three check boxes (names,
labels, defaults and help from the kestrin module), and rest_mesh, the rest
captured at rest_frame.
"""

import bpy
from bpy.props import BoolProperty, EnumProperty, FloatProperty, IntProperty, PointerProperty, StringProperty

from . import live
from .settings_list import CHANNELS, TOGGLES


def _changed(self, context):
    live.settings_changed(self.id_data)


def _attribute_changed(self, context):
    live.ensure_attributes(self.id_data)
    live.settings_changed(self.id_data)


def _rest_changed(self, context):
    live.rest_changed(self.id_data)


def _annotations():
    fields = {
        "enabled": BoolProperty(
            name="Enabled", default=False, update=_attribute_changed,
            description="Write the tension of the evaluated mesh at every frame"),
        "attribute": StringProperty(
            name="Attribute", default="tension", update=_attribute_changed,
            description="Float point attribute that receives the weights"),
        "colour_attribute": StringProperty(
            name="Colour attribute", default="", update=_attribute_changed,
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
    }
    for s in CHANNELS:
        fields[s.keyword] = FloatProperty(name=s.label, description=s.help, default=s.default,
                                          soft_min=s.low, soft_max=s.high, precision=3, step=1,
                                          update=_changed)
    for s in TOGGLES:
        fields[s.keyword] = BoolProperty(name=s.label, description=s.help, default=s.default,
                                         update=_changed)
    return fields


KestrinStrainmarkSettings = type("KestrinStrainmarkSettings", (bpy.types.PropertyGroup,),
                                 {"__annotations__": _annotations(), "__doc__": __doc__})


def register():
    bpy.utils.register_class(KestrinStrainmarkSettings)
    bpy.types.Object.kestrin_strainmark = PointerProperty(type=KestrinStrainmarkSettings)


def unregister():
    del bpy.types.Object.kestrin_strainmark
    bpy.utils.unregister_class(KestrinStrainmarkSettings)
