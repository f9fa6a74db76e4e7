"""A ready material for the tension attribute, and an AOV of it for the compositor.

Attribute -> Map Range (-0.5..0.5 to 0..1, saturated beyond) -> Color Ramp
(blue squashed, white at rest, red stretched) -> the Principled BSDF's Base
Color; the raw weight goes to a shader AOV of the attribute's name, added
to the view layer, which the compositor's Render Layers node offers as a
pass (Cycles and Eevee).
"""

import bpy

from . import layers
from .problems import Problem

SATURATION = 0.5  # the weight shown fully blue or red
COLOURS = ((0.0, (0.02, 0.1, 1.0, 1.0)), (0.5, (1.0, 1.0, 1.0, 1.0)), (1.0, (1.0, 0.02, 0.02, 1.0)))


def check_name(obj, name):
    """Raises Problem with Blender's reason when `name` cannot be obj's point attribute."""
    scratch = bpy.data.meshes.new(".kestrin attribute name")
    try:
        layers.fresh(scratch, name, "FLOAT", obj)
    finally:
        bpy.data.meshes.remove(scratch)


def _aov_output(nodes, name):
    node = nodes.new("ShaderNodeOutputAOV")
    # The AOV's name is `name` up to Blender 4.x's early releases, `aov_name` since.
    setattr(node, "aov_name" if hasattr(node, "aov_name") else "name", name)
    return node


def add(obj, view_layer, name):
    """Adds the material in a new slot of obj's mesh and the AOV `name` to view_layer; returns the material."""
    if obj.data.library is not None:
        raise Problem(f"its mesh is linked from {obj.data.library.filepath}; add the material in that file")
    check_name(obj, name)
    material = bpy.data.materials.new(f"{obj.name} {name}")
    material.use_nodes = True
    nodes, links = material.node_tree.nodes, material.node_tree.links
    shader = next(node for node in nodes if node.type == "BSDF_PRINCIPLED")
    read = nodes.new("ShaderNodeAttribute")
    read.attribute_name = name
    to_unit = nodes.new("ShaderNodeMapRange")
    to_unit.inputs["From Min"].default_value = -SATURATION
    to_unit.inputs["From Max"].default_value = SATURATION
    to_unit.clamp = True
    ramp = nodes.new("ShaderNodeValToRGB")
    elements = ramp.color_ramp.elements
    elements.new(COLOURS[1][0])
    for element, (position, colour) in zip(sorted(elements, key=lambda e: e.position), COLOURS):
        element.position, element.color = position, colour
    links.new(read.outputs["Fac"], to_unit.inputs["Value"])
    links.new(to_unit.outputs["Result"], ramp.inputs["Fac"])
    links.new(ramp.outputs["Color"], shader.inputs["Base Color"])
    links.new(read.outputs["Fac"], _aov_output(nodes, name).inputs["Value"])
    for x, node in enumerate((read, to_unit, ramp)):
        node.location = (-900 + 300 * x, 300)
    obj.data.materials.append(material)
    if not any(aov.name == name for aov in view_layer.aovs):
        aov = view_layer.aovs.add()
        aov.name, aov.type = name, "VALUE"
    return material
