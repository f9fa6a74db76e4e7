"""Blender mesh data as the NumPy arrays the kestrin module takes, through foreach_get."""

import numpy as np


def points(mesh, out=None):
    """The mesh's point positions, (N, 3) float32; into out when it has that shape."""
    count = len(mesh.vertices)
    if out is None or out.shape != (count, 3):
        out = np.empty((count, 3), np.float32)
    mesh.vertices.foreach_get("co", out.ravel())
    return out


def faces(mesh):
    """The mesh's polygons: (first corners, corner counts, corners' point indices), int32 arrays."""
    starts = np.empty(len(mesh.polygons), np.int32)
    mesh.polygons.foreach_get("loop_start", starts)
    sizes = np.empty(len(mesh.polygons), np.int32)
    mesh.polygons.foreach_get("loop_total", sizes)
    corners = np.empty(len(mesh.loops), np.int32)
    mesh.loops.foreach_get("vertex_index", corners)
    return starts, sizes, corners


def polygons(starts, sizes, corners):
    """Polygons of faces() as the kestrin module takes them: (F, k) when all have k corners, else a list."""
    if sizes.size and (sizes == sizes[0]).all() and np.array_equal(starts, np.arange(sizes.size) * sizes[0]):
        return corners.reshape(-1, int(sizes[0]))
    return [corners[s:s + n] for s, n in zip(starts.tolist(), sizes.tolist())]


def group_weights(obj, name):
    """Weights of obj's vertex group `name`, (N,) float32, 0 where a point is not in it."""
    group = obj.vertex_groups[name].index
    weights = np.zeros(len(obj.data.vertices), np.float32)
    for vertex in obj.data.vertices:
        for element in vertex.groups:
            if element.group == group:
                weights[vertex.index] = element.weight
    return weights
