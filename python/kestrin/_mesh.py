"""Meshes from files, through the kestrin tool's own OBJ reader."""

import os

import numpy as np

from . import _kestrin
from ._paths import checked_path, shown


def read_mesh(path):
    """Reads an OBJ file: (points, faces).

    points: (N, 3) float64, point i being the file's i-th `v` line.
    faces:  the `f` lines in file order, n-gons kept whole: an (F, k) int32
            array when every polygon has k corners, else a list of int32
            arrays. Either form goes straight into Strainmark and Strainshaper.

    Raises FileNotFoundError for a missing file and ValueError, naming the
    line, for a malformed one, a non-finite coordinate or an index out of range.
    """
    path = checked_path(path)
    if not os.path.isfile(path):
        raise FileNotFoundError(f"{shown(path)}: no such file")
    points, offsets, corners = _kestrin.read_obj(path)
    sizes = np.diff(offsets)
    if sizes.size and (sizes == sizes[0]).all():
        return points, corners.reshape(sizes.size, int(sizes[0]))
    if sizes.size == 0:
        return points, np.zeros((0, 3), dtype=np.int32)
    return points, np.split(corners, offsets[1:-1])
