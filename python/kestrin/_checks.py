"""Checks and conversions of what users pass, before any of it reaches a plug-in.

Every refusal is a ValueError that names the argument and what is wrong with
it. What passes comes out in the form the compiled core takes: C-contiguous
float64 points, packed int32 polygons, float32 weights.
"""

import numpy as np

_INT32_MAX = np.iinfo(np.int32).max
# The tool's readers refuse coordinates beyond this: their squares overflow.
LARGEST_COORDINATE = 1e18


def _real_array(value, name, target):
    """value as an ndarray whose dtype converts to target without loss of kind."""
    try:
        array = np.asarray(value)
    except (ValueError, TypeError) as error:  # ragged nested lists, odd objects
        raise ValueError(f"{name}: not an array of numbers ({error})") from None
    if array.dtype == np.bool_ or not np.can_cast(array.dtype, target, casting="same_kind"):
        raise ValueError(f"{name}: an array of {array.dtype} cannot be used as {np.dtype(target)} numbers")
    if array.dtype.kind not in "fiu":
        raise ValueError(f"{name}: an array of {array.dtype} cannot be used as {np.dtype(target)} numbers")
    return array


def _require_finite(array, name):
    finite = np.isfinite(array)
    if not finite.all():
        index = np.argwhere(~finite)[0]
        where = f"point {index[-2]}" if array.ndim >= 2 else f"entry {index[0]}"
        if array.ndim == 3:
            where = f"pose {index[0]}, point {index[1]}"
        raise ValueError(f"{name}: {where} is not finite ({array[tuple(index)]})")


def points(value, name, count=None):
    """An (N, 3) array of finite coordinates as float64; N == count when given."""
    array = _real_array(value, name, np.float64)
    if array.ndim != 2 or array.shape[1] != 3:
        raise ValueError(f"{name}: expected shape (N, 3), got {array.shape}")
    if array.shape[0] == 0:
        raise ValueError(f"{name}: the mesh has no points")
    if count is not None and array.shape[0] != count:
        raise ValueError(f"{name}: {array.shape[0]} points, but the rest mesh has {count}")
    array = np.ascontiguousarray(array, dtype=np.float64)
    _require_finite(array, name)
    if np.abs(array).max() > LARGEST_COORDINATE:
        point = int(np.argmax(np.abs(array).max(axis=1)))
        raise ValueError(f"{name}: point {point} lies beyond +-1e18, which the kestrin tool refuses")
    return array


def poses(value, name, count):
    """(N, 3) or (P, N, 3) poses as a (P, N, 3) array read in place (no copy), and whether one pose was given.

    Any real dtype, byte order and strides pass; the compiled core converts
    and checks the coordinates one pose at a time.
    """
    array = _real_array(value, name, np.float64)
    single = array.ndim == 2
    if array.ndim not in (2, 3) or array.shape[-1] != 3:
        raise ValueError(f"{name}: expected shape (N, 3) or (P, N, 3), got {array.shape}")
    if array.shape[-2] != count:
        raise ValueError(f"{name}: {array.shape[-2]} points, but the rest mesh has {count}")
    if single:
        array = array[np.newaxis]
    return array, single


def is_stream(value):
    """Whether value is an iterable of poses rather than an array (a generator, an iterator, a reader)."""
    if isinstance(value, (np.ndarray, list, tuple)) or hasattr(value, "__array__"):
        return False
    return hasattr(value, "__iter__")


def core_dtype(array):
    """array itself when the compiled core reads its dtype, else one converted to float64."""
    if array.dtype.kind == "f" and array.dtype.itemsize not in (4, 8):
        return array.astype(np.float64)
    return array


def output(out, shape, dtype):
    """out when it is a writeable C-contiguous array of that shape and dtype; else ValueError. None: a new one."""
    if out is None:
        return np.empty(shape, dtype=dtype)
    if not isinstance(out, np.ndarray) or out.shape != tuple(shape) or out.dtype != dtype:
        got = f"{out.dtype} {out.shape}" if isinstance(out, np.ndarray) else type(out).__name__
        raise ValueError(f"out: expected {np.dtype(dtype)} of shape {tuple(shape)}, got {got}")
    if not out.flags.c_contiguous or not out.flags.writeable:
        raise ValueError("out: must be a writeable C-contiguous array")
    return out


def weight_map(value, count):
    """None, or count finite weights as float32."""
    if value is None:
        return None
    array = _real_array(value, "weight_map", np.float32)
    if array.ndim != 1 or array.shape[0] != count:
        raise ValueError(f"weight_map: expected shape ({count},), got {array.shape}")
    # Checked as the plug-in receives it: a value beyond float32's range
    # would reach it as an infinity.
    with np.errstate(over="ignore"):
        weights = np.ascontiguousarray(array, dtype=np.float32)
    if not np.isfinite(weights).all():
        raise ValueError(f"weight_map: entry {int(np.argmin(np.isfinite(weights)))} is not finite as a float32")
    return weights


def _indices(value, name):
    array = np.asarray(value)
    if array.dtype.kind not in "iu":
        raise ValueError(f"{name}: point indices must be integers, got {array.dtype}")
    return array


def faces(value, count):
    """Polygons as packed (offsets, corners) int32 arrays.

    value is an (F, k) integer array (every polygon with k corners) or a
    sequence of index sequences. Every polygon needs at least 3 corners, each
    an index of one of the count points.
    """
    if isinstance(value, np.ndarray) and value.ndim == 2:
        array = _indices(value, "faces")
        sizes = np.full(array.shape[0], array.shape[1], dtype=np.int64)
        flat = array.reshape(-1)
    elif isinstance(value, np.ndarray) and value.ndim != 1:
        raise ValueError(f"faces: expected shape (F, k) or a sequence of polygons, got {value.shape}")
    else:
        try:
            polygons = [_indices(polygon, f"faces[{i}]") for i, polygon in enumerate(value)]
        except TypeError:
            raise ValueError("faces: expected a sequence of polygons (sequences of point indices)") from None
        for i, polygon in enumerate(polygons):
            if polygon.ndim != 1:
                raise ValueError(f"faces[{i}]: a polygon is a flat sequence of point indices")
        sizes = np.array([len(polygon) for polygon in polygons], dtype=np.int64)
        flat = np.concatenate(polygons) if polygons else np.zeros(0, dtype=np.int64)
        if flat.dtype.kind not in "iu":  # polygons of no corners concatenate as float
            flat = flat.astype(np.int64)
    if sizes.size and sizes.min() < 3:
        bad = int(np.argmin(sizes))
        raise ValueError(f"faces[{bad}]: a polygon needs at least 3 corners, it has {sizes[bad]}")
    if flat.size > _INT32_MAX:
        raise ValueError("faces: more corners than a mesh can hold")
    if flat.size and (flat.min() < 0 or flat.max() >= count):
        bad = int(np.argmax((flat < 0) | (flat >= count)))
        polygon = int(np.searchsorted(np.cumsum(sizes), bad, side="right"))
        raise ValueError(f"faces[{polygon}]: point index {flat[bad]} is out of range for {count} points")
    offsets = np.zeros(sizes.size + 1, dtype=np.int32)
    offsets[1:] = np.cumsum(sizes)
    return offsets, np.ascontiguousarray(flat, dtype=np.int32)
