"""kestrin: the Strainmark, Grainmark and Strainshaper plug-ins on NumPy arrays.

The real plug-in libraries run inside the kestrin host simulator, exactly as
the `kestrin` command-line tool runs them: same inputs, same bits out.

    import numpy as np, kestrin
    rest, faces = kestrin.read_mesh("rest.obj")          # (N, 3) float64, and the polygons
    tool = kestrin.Strainmark(rest, faces, exponent=0.2, clamp=True)
    w = tool.weights(pose)                                # (N,) float32, one pose
    W = kestrin.weights(rest, faces, poses)               # (P, N) float32, a whole sequence
    grain = kestrin.Grainmark(rest, faces, direction="across", axis=(0, 1, 0))
    g = grain.weights(pose)                               # (N,) float32: stretch across the axis
    fx = kestrin.Strainshaper(rest, faces, stretch_target=s, squash_target=q, weight_map=None)
    corrected = fx.displace(pose)                         # (N, 3) float64

Meshes
    Points are (N, 3) arrays of any real dtype, float64 inside; faces are an
    (F, k) integer array when every polygon has k corners, or a sequence of
    polygons, each a sequence of at least 3 point indices. Poses are (N, 3),
    or (P, N, 3) for P of them. Arrays of the wrong shape or dtype, with
    non-finite coordinates, with face indices out of range, or with another
    point count than the rest mesh are refused with ValueError.

Settings
    Every plug-in takes the five tension channels as keywords, with their
    defaults:
{channels}
    The weight tools, Strainmark and Grainmark, add their check boxes:
{toggles}
    Grainmark adds direction= (one of DIRECTIONS: "along", "across", "area",
    "max", "min"; MEASURES says what each means) and axis=(x, y, z), default
    (0, 1, 0), which "along" and "across" follow.
    Each is a property too, to change between poses; help(kestrin.Strainmark)
    says what each does. CHANNELS and TOGGLES list them with their labels,
    saved keys, defaults, ranges and help. save_settings(path) and
    load_settings(path) write and read the JSON settings files of
    `kestrin --save-settings` and `kestrin --settings`.

Instances
    Every object is one plug-in instance on its own object of one host scene
    that the whole process shares, made when first needed. An object releases
    its instance when closed (close(), or a `with` block) or collected.
    Computation runs without the GIL; calls into the scene take turns.

Point caches
    read_cache(path) and write_cache(path, frames) read and write MDD and PC2
    files, (P, N, 3) float32 frames.
    write_weights(path, weights) writes (P, N) weights as float32 .npy, the
    layout of `kestrin weights -o w.npy`.
"""

from ._cache import read_cache, write_cache, write_weights
from ._kestrin import SessionError
from ._mesh import read_mesh
from . import _plugins
from ._plugins import (AXIS, CHANNELS, DIRECTIONS, MEASURES, TOGGLES, Axis, Channel, Grainmark, Measure, Strainmark,
                       Strainshaper, Toggle, attached_records, weights)

if __doc__:
    __doc__ = __doc__.format(**{name: _plugins.defaults_doc(settings)
                                for name, settings in (("channels", CHANNELS), ("toggles", TOGGLES))})

# The tests' view of the scene: records still attached.
_attached_records = attached_records

__all__ = ["Strainmark", "Grainmark", "Strainshaper", "weights", "read_mesh", "read_cache", "write_cache",
           "write_weights", "SessionError", "CHANNELS", "TOGGLES", "Channel", "Toggle", "AXIS", "MEASURES",
           "DIRECTIONS", "Axis", "Measure", "attached_records"]
