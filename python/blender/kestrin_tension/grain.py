"""Grainmark on an object: its ticked measures, their attribute names, and its axis at a frame.

Each ticked measure gets a float point attribute of its own, named after the
Strainmark attribute with the direction added ("tension" gives
"tension_along", "tension_across", ...), so that a shader finds each by name.

The axis is typed (three animatable floats, in the object's own space) or
taken from an object: one of its local axes, or a bone's of an armature (a
bone's Y runs from its head to its tail), as the depsgraph at hand evaluated
it, turned into the measured object's own space, as evaluated there too. An
empty parented to the rig thus turns the axis with the rig, in renders as in
the viewport. Both, and a typed axis that is animated, are read from the
evaluated objects of that depsgraph, never from the originals, which hold
the viewport's frame while a render evaluates its own. Either way the axis
passes to the plug-in unnormalised; it projects it on each point's rest
surface itself.
"""

import os

from mathutils import Vector

from .problems import Problem
from .settings_list import AXIS, MEASURES, direction, plugin_value

LOCAL_AXES = {"X": Vector((1.0, 0.0, 0.0)), "Y": Vector((0.0, 1.0, 0.0)), "Z": Vector((0.0, 0.0, 1.0))}


def directions(settings):
    """The kestrin directions of the ticked measures, in the list's order."""
    return tuple(direction(m) for m in MEASURES if getattr(settings, m.keyword))


def attribute(settings, measure_direction):
    """The attribute name of one measure: the Strainmark attribute's, an underscore, the direction."""
    return f"{settings.attribute}_{measure_direction}"


def bake_path(path, measure_direction):
    """Where a bake writes one measure's weights: the direction before the extension, as the kestrin tool names them."""
    stem, extension = os.path.splitext(path)
    return f"{stem}.{measure_direction}{extension}"


def axis(obj, depsgraph):
    """The axis in obj's own space at the frame depsgraph evaluated: (x, y, z) floats.

    Raises Problem when the axis object (or its bone) is not there to read.
    """
    settings = obj.kestrin_strainmark
    source = settings.axis_object
    if source is None:
        animated = obj.evaluated_get(depsgraph).kestrin_strainmark
        return tuple(plugin_value(getattr(animated, s.keyword)) for s in AXIS)
    evaluated = source.evaluated_get(depsgraph)
    if not evaluated.is_evaluated:
        raise Problem(f"its axis object {source.name_full} is not evaluated with it (an excluded collection, "
                      "another scene, hidden from renders?); the measures need it where the object is",
                      kind="axis object")
    matrix = evaluated.matrix_world
    if settings.axis_bone:
        bone = evaluated.pose.bones.get(settings.axis_bone) if source.type == "ARMATURE" else None
        if bone is None:
            raise Problem(f"its axis object {source.name_full} has no bone {settings.axis_bone!r}",
                          kind="axis bone")
        matrix = matrix @ bone.matrix
    world = matrix.to_3x3() @ LOCAL_AXES[settings.axis_local]
    own = obj.evaluated_get(depsgraph).matrix_world.to_3x3()
    return tuple(own.inverted_safe() @ world)
