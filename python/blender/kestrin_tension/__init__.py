"""Kestrin Tension: the Strainmark plug-in's tension on Blender meshes, live and baked.

Scripting interface:
    addon_utils.enable("kestrin_tension")
    bpy.ops.kestrin.strainmark_add()                      # on the active mesh object
    obj.kestrin_strainmark.exponent = 0.3                 # settings (see properties.py)
    bpy.ops.kestrin.bake_weights(filepath="w.npy", frame_start=1, frame_end=48)
    bpy.ops.kestrin.bake_corrective(filepath="fix.pc2", stretch_target="Stretched",
                                    squash_target="Squashed", vertex_group="", frame_start=1,
                                    frame_end=48, exponent=0.2)
    bpy.ops.kestrin.settings_save(filepath="s.json"); bpy.ops.kestrin.settings_load(filepath="s.json")
    bpy.ops.kestrin.material_add()                        # material and AOV of the attribute

The attribute lives on each evaluated mesh (obj.evaluated_get(depsgraph).data), where
shaders, renders and exporters of evaluated data read it; the original mesh is never written.
"""

bl_info = {
    "name": "Kestrin Tension",
    "author": "kestrin developers",
    "version": (1, 1, 0),
    "blender": (3, 4, 0),
    "location": "Properties > Object > Kestrin Tension",
    "description": "Edge tension of a deforming mesh as a point attribute (Strainmark), "
                   "live in the viewport and in renders; baked weights and correctives (Strainshaper)",
    "category": "Animation",
}

from . import _module  # noqa: F401  (the shipped kestrin module, importable before the rest)
from . import live, operators, panel, problems, properties

_parts = (properties, operators, panel, problems, live)


def register():
    for part in _parts:
        part.register()


def unregister():
    for part in reversed(_parts):
        part.unregister()


def problem(obj):
    """The message last reported for obj (an object or its name), or None while it computes fine."""
    import bpy
    return problems.message(bpy.data.objects[obj] if isinstance(obj, str) else obj)
