"""Point caches: MDD and PC2 files of a mesh's positions frame by frame.

MDD (big-endian): int32 frame count P, int32 point count N, P float32 times
in seconds, then per frame N x (x, y, z) float32.
PC2 (little-endian): b"POINTCACHE2\\0", int32 version 1, int32 point count N,
float32 start frame, float32 sample rate (frames between samples), int32
sample count P, then per sample N x (x, y, z) float32.
"""

import os

import numpy as np

_PC2_MAGIC = b"POINTCACHE2\0"
_PC2_HEADER = np.dtype([("magic", "S12"), ("version", "<i4"), ("points", "<i4"), ("start", "<f4"),
                        ("rate", "<f4"), ("samples", "<i4")])


def _format(path):
    extension = os.path.splitext(path)[1].lower()
    if extension not in (".mdd", ".pc2"):
        raise ValueError(f"{path}: a point cache is .mdd or .pc2, not {extension or 'no extension'}")
    return extension


def read_cache(path):
    """Frames of an MDD or PC2 file (by extension): (P, N, 3) float32.

    Raises ValueError when the header does not match the file's size (a
    truncated or foreign file) and FileNotFoundError for a missing file.
    """
    path = os.fsdecode(os.fspath(path))
    extension = _format(path)
    data = np.fromfile(path, dtype=np.uint8)
    if extension == ".mdd":
        if data.size < 8:
            raise ValueError(f"{path}: {data.size} bytes, too short for an MDD header")
        frames, points = (int(n) for n in data[:8].view(">i4"))
        header = 8 + 4 * max(frames, 0)
        if frames < 0 or points < 0 or data.size != header + 12 * frames * points:
            raise ValueError(f"{path}: an MDD header of {frames} frames of {points} points does not "
                             f"match the file's {data.size} bytes")
        body = data[header:]
        return body.view(">f4").astype(np.float32).reshape(frames, points, 3)
    if data.size < _PC2_HEADER.itemsize:
        raise ValueError(f"{path}: {data.size} bytes, too short for a PC2 header")
    header = data[:_PC2_HEADER.itemsize].view(_PC2_HEADER)[0]
    if header["magic"] + b"\0" * (12 - len(header["magic"])) != _PC2_MAGIC:
        raise ValueError(f"{path}: not a PC2 file (no POINTCACHE2 signature)")
    if header["version"] != 1:
        raise ValueError(f"{path}: PC2 version {header['version']}, only version 1 is read")
    points, samples = int(header["points"]), int(header["samples"])
    if points < 0 or samples < 0 or data.size != _PC2_HEADER.itemsize + 12 * points * samples:
        raise ValueError(f"{path}: a PC2 header of {samples} samples of {points} points does not "
                         f"match the file's {data.size} bytes")
    body = data[_PC2_HEADER.itemsize:]
    return body.view("<f4").astype(np.float32).reshape(samples, points, 3)


def write_cache(path, frames, *, start=0.0, step=1.0, fps=24.0):
    """Writes (P, N, 3) frames to an MDD or PC2 file (by extension), as float32.

    start: the first frame's number; step: frames between samples.
    PC2 keeps them as its start frame and sample rate; MDD keeps each frame's
    time in seconds, (start + i * step) / fps.
    Raises ValueError for frames of another shape or with non-finite values.
    """
    path = os.fsdecode(os.fspath(path))
    extension = _format(path)
    array = np.asarray(frames)
    if array.dtype.kind not in "fiu" or array.ndim != 3 or array.shape[2] != 3:
        raise ValueError(f"frames: expected real numbers of shape (P, N, 3), got {array.dtype} {array.shape}")
    if not np.isfinite(array).all():
        raise ValueError("frames: a coordinate is not finite")
    if not all(np.isfinite(v) for v in (start, step, fps)) or fps <= 0:
        raise ValueError("start, step and fps must be finite, fps above 0")
    count, points = array.shape[0], array.shape[1]
    if extension == ".mdd":
        times = (start + np.arange(count) * step) / fps
        parts = [np.array([count, points], ">i4").tobytes(), times.astype(">f4").tobytes(),
                 array.astype(">f4").tobytes()]
    else:
        header = np.array([(_PC2_MAGIC, 1, points, start, step, count)], dtype=_PC2_HEADER)
        parts = [header.tobytes(), array.astype("<f4").tobytes()]
    with open(path, "wb") as out:
        for part in parts:
            out.write(part)
