"""Point caches (MDD and PC2 files of a mesh's positions frame by frame) and weight files (NPY).

Read and written by the same code as the kestrin tool's (the compiled core),
so both read each other's files byte for byte; a cache is written under a
temporary name and renamed into place once whole, so a failed write (a full
disk, a size limit, Ctrl-C) leaves any earlier file as it was.
"""

import os

import numpy as np

from . import _kestrin
from ._paths import checked_path, shown


def _format(path):
    extension = shown(os.path.splitext(path)[1]).lower()
    if extension not in (".mdd", ".pc2"):
        raise ValueError(f"{shown(path)}: a point cache is .mdd or .pc2, not {extension or 'no extension'}")
    return extension[1:]


def read_cache(path, mmap=False):
    """Frames of an MDD or PC2 file (by extension): (P, N, 3) float32.

    mmap=True reads nothing ahead: the result is a read-only memory map of the
    file's frames in the file's own byte order (big-endian for MDD), which
    Strainmark.weights, Strainshaper.displace and kestrin.weights read pose by
    pose. Either way the header is checked against the file's size first.

    Raises ValueError when the header does not match the file's size (a
    truncated or foreign file) or a coordinate is not finite, and
    FileNotFoundError for a missing file.
    """
    path = checked_path(path)
    kind = _format(path)
    if not os.path.isfile(path):
        raise FileNotFoundError(f"{shown(path)}: no such file")
    if not mmap:
        return _kestrin.read_cache(path, kind)
    frames, points, offset, big_endian = _kestrin.read_cache_header(path, kind)
    dtype = np.dtype(">f4" if big_endian else "<f4")
    if frames * points == 0:
        return np.zeros((frames, points, 3), dtype=dtype)
    return np.memmap(path, dtype=dtype, mode="r", offset=offset, shape=(frames, points, 3))


def write_cache(path, frames, *, start=0.0, step=1.0, fps=24.0):
    """Writes (P, N, 3) frames to an MDD or PC2 file (by extension), as float32.

    start: the first frame's number; step: frames between samples.
    PC2 keeps them as its start frame and sample rate; MDD keeps each frame's
    time in seconds, (start + i * step) / fps.
    Raises ValueError for frames of another shape, or with values that are not
    finite or do not fit a float32; the file is then left as it was.
    """
    path = checked_path(path)
    kind = _format(path)
    array = np.asarray(frames)
    if array.dtype.kind not in "fiu" or array.ndim != 3 or array.shape[2] != 3:
        raise ValueError(f"frames: expected real numbers of shape (P, N, 3), got {array.dtype} {array.shape}")
    if array.dtype.kind == "f" and array.dtype.itemsize not in (4, 8):
        array = array.astype(np.float64)
    if not all(np.isfinite(v) for v in (start, step, fps)) or fps <= 0:
        raise ValueError("start, step and fps must be finite, fps above 0")
    _kestrin.write_cache(path, kind, array, float(start), float(step), float(fps))


def write_weights(path, weights):
    """Writes (P, N) weights to a .npy file as little-endian float32, the layout of `kestrin weights -o w.npy`.

    Written as write_cache writes: under a temporary name, renamed into place
    once whole, so a failed write (a full disk, Ctrl-C) leaves any earlier
    file as it was. Raises ValueError for another shape, or for values that
    are not finite or do not fit a float32.
    """
    path = checked_path(path)
    array = np.asarray(weights)
    if array.dtype.kind not in "fiu" or array.ndim != 2:
        raise ValueError(f"weights: expected real numbers of shape (P, N), got {array.dtype} {array.shape}")
    with np.errstate(over="ignore"):  # a value beyond float32 becomes infinite, which the writer refuses
        _kestrin.write_weights(path, array.astype(np.float32, copy=False))
