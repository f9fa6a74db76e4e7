"""One point of the scaling figures in Blender: a frame step's time and Blender's peak memory.

blender -b --factory-startup --python-exit-code 1 --python scaling.py -- SIDE MODE [FRAMES]
(BLENDER_USER_SCRIPTS: the build's add-on folder, for MODE addon)

A SIDE x SIDE quad grid skinned to two bones (the second bending over the
frames) gets a per-point stretch value at every frame, one of two ways:

- addon: the add-on's Strainmark live attribute, as a user adds it;
- geometry-nodes: what a user builds without us, two geometry-nodes
  modifiers around the armature. The first stores the rest positions as the
  point attribute "rest"; the second, after the armature, takes each edge's
  current length over its rest length less one and averages it onto the
  points as the point attribute "stretch" (Interpolate Domain from edges).

After one warm-up step (the add-on sets its plug-in up there), FRAMES frame
steps (default 8) are timed with scene.frame_set. It prints one line,
"kestrin-blender-scaling " and a JSON object: points, mode, frames, the
median seconds per frame and the process's peak resident memory in MiB
(ru_maxrss, Blender's own memory included). It fails, rather than print a
figure, where the last frame's evaluated grid did not bend or its values
are not a stretch (0 on the part that stays put, not 0 elsewhere).
"""

import json
import os
import resource
import statistics
import sys
import time

import addon_utils
import bpy
import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rigged_grid  # noqa: E402

MODES = ("addon", "geometry-nodes")


def socket(sockets, identifier):
    """The socket of that identifier: a node's sockets share names across data types."""
    return next(s for s in sockets if s.identifier == identifier)


def node_modifier(obj, name, build):
    """A geometry-nodes modifier at the end of obj's stack; build(nodes, link, geometry) returns its output."""
    tree = bpy.data.node_groups.new(name, "GeometryNodeTree")
    tree.inputs.new("NodeSocketGeometry", "Geometry")
    tree.outputs.new("NodeSocketGeometry", "Geometry")
    given, result = tree.nodes.new("NodeGroupInput"), tree.nodes.new("NodeGroupOutput")
    link = tree.links.new
    link(build(tree.nodes, link, given.outputs[0]), result.inputs[0])
    obj.modifiers.new(name, "NODES").node_group = tree


def store(nodes, link, geometry, name, data_type, identifier, value):
    """Geometry with value stored as the point attribute name."""
    node = nodes.new("GeometryNodeStoreNamedAttribute")
    node.data_type, node.domain = data_type, "POINT"
    link(geometry, node.inputs["Geometry"])
    node.inputs["Name"].default_value = name
    link(value, socket(node.inputs, identifier))
    return node.outputs["Geometry"]


def store_rest(nodes, link, geometry):
    position = nodes.new("GeometryNodeInputPosition").outputs[0]
    return store(nodes, link, geometry, "rest", "FLOAT_VECTOR", "Value_Vector", position)


def store_stretch(nodes, link, geometry):
    edge = nodes.new("GeometryNodeInputMeshEdgeVertices").outputs
    rest = nodes.new("GeometryNodeInputNamedAttribute")
    rest.data_type = "FLOAT_VECTOR"
    rest.inputs["Name"].default_value = "rest"

    def rest_at(index):
        at = nodes.new("GeometryNodeFieldAtIndex")
        at.domain, at.data_type = "POINT", "FLOAT_VECTOR"
        link(edge[index], at.inputs["Index"])
        link(socket(rest.outputs, "Attribute_Vector"), socket(at.inputs, "Value_Vector"))
        return socket(at.outputs, "Value_Vector")

    def math(node_type, operation, a, b):
        node = nodes.new(node_type)
        node.operation = operation
        link(a, node.inputs[0])
        if isinstance(b, float):
            node.inputs[1].default_value = b
        else:
            link(b, node.inputs[1])
        return node.outputs["Value"]

    now = math("ShaderNodeVectorMath", "DISTANCE", edge["Position 1"], edge["Position 2"])
    then = math("ShaderNodeVectorMath", "DISTANCE", rest_at("Vertex Index 1"), rest_at("Vertex Index 2"))
    stretch = math("ShaderNodeMath", "SUBTRACT", math("ShaderNodeMath", "DIVIDE", now, then), 1.0)
    on_points = nodes.new("GeometryNodeFieldOnDomain")
    on_points.domain, on_points.data_type = "EDGE", "FLOAT"
    link(stretch, socket(on_points.inputs, "Value_Float"))
    return store(nodes, link, geometry, "stretch", "FLOAT", "Value_Float", socket(on_points.outputs, "Value_Float"))


def build(side, mode, frames):
    """The scene's rigged grid with its stretch value made the mode's way; returns the grid and the attribute's name."""
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    scene = bpy.context.scene
    obj, points = rigged_grid.grid(side, side)
    scene.collection.objects.link(obj)
    if mode == "geometry-nodes":
        node_modifier(obj, "rest", store_rest)
    rigged_grid.rig(scene, obj, points, frames)
    if mode == "geometry-nodes":
        node_modifier(obj, "stretch", store_stretch)
        return obj, "stretch"
    addon_utils.enable("kestrin_tension", default_set=True, handle_error=None)
    if not hasattr(obj, "kestrin_strainmark"):
        sys.exit("the kestrin_tension add-on did not load: is BLENDER_USER_SCRIPTS the build's add-on folder?")
    bpy.ops.kestrin.strainmark_add()
    return obj, obj.kestrin_strainmark.attribute


def check(obj, attribute):
    """Fails unless the last frame's evaluated grid bent and its values are 0 where it did not and not 0 elsewhere."""
    depsgraph = bpy.context.evaluated_depsgraph_get()
    mesh = obj.evaluated_get(depsgraph).data
    rest, posed = np.empty(len(obj.data.vertices) * 3), np.empty(len(mesh.vertices) * 3)
    obj.data.vertices.foreach_get("co", rest)
    mesh.vertices.foreach_get("co", posed)
    layer = mesh.attributes.get(attribute)
    if layer is None or layer.domain != "POINT":
        sys.exit(f"the evaluated grid has no point attribute {attribute!r}")
    values = np.empty(len(layer.data), np.float32)
    layer.data.foreach_get("value", values)
    still = rest[0::3] < 2.0  # the first bone's alone, which stays put
    if np.array_equal(rest, posed) or not np.isfinite(values).all() or np.abs(values[still]).max() > 1e-5 \
            or not values[~still].any():
        sys.exit(f"the grid did not bend, or {attribute!r} is not its stretch: the figure would measure nothing")


def main():
    words = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    if len(words) not in (2, 3) or words[1] not in MODES:
        sys.exit(f"usage: blender -b --factory-startup --python scaling.py -- SIDE {'|'.join(MODES)} [FRAMES]")
    side, mode, frames = int(words[0]), words[1], int(words[2]) if len(words) == 3 else 8
    obj, attribute = build(side, mode, frames + 2)
    scene = bpy.context.scene
    scene.frame_set(2)
    steps = []
    for frame in range(3, frames + 3):
        start = time.perf_counter()
        scene.frame_set(frame)
        steps.append(time.perf_counter() - start)
    check(obj, attribute)
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0  # KiB on Linux
    print("kestrin-blender-scaling " + json.dumps({"points": side * side, "mode": mode, "frames": frames,
                                                   "seconds_per_frame": statistics.median(steps),
                                                   "peak_mb": peak}), flush=True)


main()
