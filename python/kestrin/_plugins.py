"""The plug-ins as Python objects, and the one-call weights of a sequence."""

import functools
import inspect
import numbers
import os
import textwrap
import warnings
from collections import namedtuple

import numpy as np

from . import _checks
from . import _kestrin
from ._paths import checked_path as _path, shown as _shown

Channel = namedtuple("Channel", "keyword name weight_tool_label effect_label saved_key default low high option help")
Channel.__doc__ = """A tension channel: its keyword and name, its labels in Strainmark's and
Strainshaper's panels, its saved key (None: carried by the channel only), its
default, the range a slider offers (low, high; values beyond are taken too),
the tool's option and its help."""
Toggle = namedtuple("Toggle", "keyword label saved_key default option help")
Toggle.__doc__ = """One of Strainmark's check boxes: its keyword, panel label, saved key,
default, the tool's option and its help."""

# The five tension channels in channel order and Strainmark's check boxes in
# panel order, from the plug-ins' own lists: every signature, docstring and
# property below is made from these, as the tool's options and the Blender
# add-on's properties are.
CHANNELS = tuple(Channel(**channel) for channel in _kestrin.CHANNELS)
TOGGLES = tuple(Toggle(**toggle) for toggle in _kestrin.TOGGLES)

Axis = namedtuple("Axis", "name default help")
Axis.__doc__ = """One of Grainmark's axis channels: its name (also its control's label), default and help."""
Measure = namedtuple("Measure", "label direction help")
Measure.__doc__ = """One of Grainmark's measures: its check box's label, its direction keyword and what it means."""
# Grainmark's axis channels and measures, from its lists.
AXIS = tuple(Axis(**axis) for axis in _kestrin.AXIS)
MEASURES = tuple(Measure(**measure) for measure in _kestrin.MEASURES)
DIRECTIONS = tuple(measure.direction for measure in MEASURES)


def _channel_property(channel):
    def get(self):
        return self._core().channel(channel.name)

    def set(self, value):
        self._core().set_channel(channel.name, _finite(value, channel.keyword))

    return property(get, set, doc=f"The {channel.name!r} channel (default {channel.default!r}, usually "
                                  f"{channel.low:g} to {channel.high:g}): {channel.help}.")


def _toggle_property(toggle):
    def get(self):
        return self._core().toggle(toggle.label)

    def set(self, value):
        self._core().set_toggle(toggle.label, _check_box(value, toggle.keyword))

    return property(get, set, doc=f"The {toggle.label!r} check box (default {toggle.default!r}): {toggle.help}.")


def _with_settings(settings):
    """Gives a function taking **settings the signature of its own parameters
    followed by the settings as keyword-only parameters with their defaults.

    A call binds as a function written with that signature would (an unknown
    or missing argument is a TypeError naming it); the function gets every
    setting, the defaults filled in.
    """
    keywords = [setting.keyword for setting in settings]

    def decorate(function):
        own = inspect.signature(function)
        parameters = [p for p in own.parameters.values() if p.kind is not p.VAR_KEYWORD]
        parameters += [inspect.Parameter(s.keyword, inspect.Parameter.KEYWORD_ONLY, default=s.default)
                       for s in settings]
        signature = own.replace(parameters=parameters)

        @functools.wraps(function)
        def call(*args, **kwargs):
            bound = signature.bind(*args, **kwargs)
            bound.apply_defaults()
            given = {keyword: bound.arguments.pop(keyword) for keyword in keywords}
            return function(*bound.args, **dict(bound.kwargs, **given))

        call.__signature__ = signature
        return call

    return decorate


def _settings_doc(settings):
    """The settings' part of a docstring: keyword=default, then what it does."""
    lines = []
    for s in settings:
        if isinstance(s, Channel):
            text = f"{s.keyword}={s.default!r}: the {s.name!r} channel, usually {s.low:g} to {s.high:g}; {s.help}."
        else:
            text = f"{s.keyword}={s.default!r}: the {s.label!r} check box; {s.help}."
        lines.append(textwrap.fill(text, 79, initial_indent="    ", subsequent_indent="        "))
    return "\n".join(lines)


def defaults_doc(settings):
    """keyword=default of each setting, as an indented paragraph."""
    return textwrap.fill(", ".join(f"{s.keyword}={s.default!r}" for s in settings), 79,
                         initial_indent="        ", subsequent_indent="        ")


def _document(target, signature_of, settings):
    """Fills target's docstring: {call} with how it is called, {settings} with the settings' part."""
    if target.__doc__:
        call = target.__name__ + str(inspect.signature(signature_of)).replace("(self, ", "(")
        call = textwrap.fill(call, 75, subsequent_indent=" " * (5 + len(target.__name__)))
        target.__doc__ = target.__doc__.format(call=call, settings=_settings_doc(settings))


def _check_box(value, keyword):
    """value as a bool when it is one (NumPy's too): a string such as "False" would tick the box."""
    if not isinstance(value, (bool, np.bool_)):
        raise ValueError(f"{keyword}: {value!r} is not True or False")
    return bool(value)


def _finite(value, keyword):
    """value as a float when it is a real number (NumPy's, and 0-d arrays, too), finite; not a bool or a string."""
    real = isinstance(value, numbers.Real) or (isinstance(value, np.ndarray) and value.ndim == 0
                                               and value.dtype.kind in "fiu")
    if not real or isinstance(value, (bool, np.bool_)):
        raise ValueError(f"{keyword}: {value!r} is not a number")
    number = float(value)
    if not np.isfinite(number):
        raise ValueError(f"{keyword}: {value!r} is not a finite number")
    return number


def _channel_values(values):
    """The channel values given as keywords, in channel order, checked."""
    return [(c.name, _finite(values[c.keyword], c.keyword)) for c in CHANNELS]


def _run(call, value, count, out, dtype, tail):
    """call(poses, out) over every pose of value, into one result array.

    value: (N, 3), (P, N, 3) of any real dtype, byte order and strides (read
    in place, pose by pose), or any iterable of (N, 3) poses (preallocated
    when it has a len). tail: the result's shape per pose.
    """
    if _checks.is_stream(value):
        return _run_stream(call, value, count, out, dtype, tail)
    poses, single = _checks.poses(value, "poses", count)
    poses = _checks.core_dtype(poses)
    if single:
        result = _checks.output(out, (count,) + tail, dtype)
        call(poses, result[np.newaxis])
        return result
    result = _checks.output(out, (poses.shape[0], count) + tail, dtype)
    call(poses, result)
    return result


def _run_stream(call, value, count, out, dtype, tail):
    try:
        length = len(value)
    except TypeError:
        length = None
    if length is None and out is not None:
        raise ValueError("out: given for poses of unknown length")
    result = _checks.output(out, (length, count) + tail, dtype) if length is not None else None
    rows = []
    given = 0
    for pose in value:
        pose, single = _checks.poses(pose, f"poses[{given}]", count)
        if not single:
            raise ValueError(f"poses[{given}]: expected shape ({count}, 3), got {pose.shape[1:]}")
        if result is not None and given >= length:
            raise ValueError(f"poses: more than the {length} poses its len() gave")
        row = result[given:given + 1] if result is not None else np.empty((1, count) + tail, dtype=dtype)
        call(_checks.core_dtype(pose), row)
        if result is None:
            rows.append(row)
        given += 1
    if result is None:
        return np.concatenate(rows) if rows else np.empty((0, count) + tail, dtype=dtype)
    if given != length:
        raise ValueError(f"poses: {given} poses, but its len() gave {length}")
    return result


class _PluginObject:
    """What both plug-in objects share: lifetime, settings files."""

    _object = None

    def _core(self):
        if self._object is None or self._object.closed:
            raise ValueError(f"{type(self).__name__}: the object is closed")
        return self._object

    @property
    def point_count(self):
        """Number of points of the rest mesh; every pose has as many."""
        return self._core().point_count

    @property
    def closed(self):
        """True once close() has released the plug-in instance."""
        return self._object is None or self._object.closed

    def close(self):
        """Releases the plug-in instance (the host destroys it); closing twice is harmless.

        Collecting the object does the same; `with` closes it at the block's end.
        """
        if self._object is not None:
            self._object.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()

    def save_settings(self, path):
        """Writes the plug-in's settings to a JSON file, as `kestrin --save-settings` does."""
        self._core().save_settings(_path(path))

    def load_settings(self, path):
        """Reads settings from a JSON file written by save_settings or `kestrin --save-settings`.

        A file of the other plug-in gives its five channel values only, with a
        UserWarning saying that the rest does not apply. Raises
        FileNotFoundError for a missing file and ValueError for one that holds
        no settings of these plug-ins.
        """
        path = _path(path)
        if not os.path.isfile(path):
            raise FileNotFoundError(f"{_shown(path)}: no such settings file")
        note = self._core().load_settings(path)
        if note:
            warnings.warn(note, stacklevel=2)

    def __repr__(self):
        if self.closed:
            return f"<kestrin.{type(self).__name__} (closed)>"
        settings = ", ".join(f"{keyword}={getattr(self, keyword)!r}" for keyword in self._settings())
        return f"<kestrin.{type(self).__name__} of {self.point_count} points, {settings}>"


class _WeightTool(_PluginObject):
    """What both weight tools share: weights of poses."""

    def weights(self, pose, out=None):
        """Weights of the mesh posed at pose.

        pose: (N, 3) positions of the rest mesh's points, (P, N, 3) for P
        poses (any real dtype, byte order or strides, a memory-mapped cache
        too: read one pose at a time, never copied whole), or an iterable of
        (N, 3) poses. Returns (N,) float32, or (P, N) float32 for P poses,
        written into out when given (ValueError if its shape or dtype differ).
        """
        core = self._core()
        return _run(core.weights, pose, core.point_count, out, np.float32, ())


class Strainmark(_WeightTool):
    """The Strainmark weight tool on a mesh: how stretched or squashed each point is.

    {call}

    rest:  (N, 3) point positions at rest (any real dtype; float64 inside).
    faces: an (F, k) integer array, or a sequence of polygons, each a
           sequence of at least 3 point indices in boundary order.

    Settings, each also a property that may change between poses:
{settings}

    weights(pose) gives one weight per point: positive where the edges around
    the point are longer than at rest, negative where shorter, 0 at rest.
    """

    @_with_settings(CHANNELS + TOGGLES)
    def __init__(self, rest, faces, **settings):
        rest = _checks.points(rest, "rest")
        offsets, corners = _checks.faces(faces, rest.shape[0])
        toggles = [(t.label, _check_box(settings[t.keyword], t.keyword)) for t in TOGGLES]
        self._object = _kestrin.Strainmark(rest, offsets, corners, _channel_values(settings), toggles)

    @staticmethod
    def _settings():
        return [s.keyword for s in CHANNELS + TOGGLES]


def _direction(value):
    """The measure of a direction keyword ("along", "across", "area", "max", "min")."""
    for measure in MEASURES:
        if value == measure.direction:
            return measure
    raise ValueError(f"direction: {value!r} is not one of {', '.join(DIRECTIONS)}")


def _axis(value):
    """Three finite numbers."""
    values = np.asarray(value, dtype=object).ravel() if not isinstance(value, str) else None
    if values is None or values.shape != (3,):
        raise ValueError(f"axis: {value!r} is not three numbers")
    return [_finite(v, "axis") for v in values]


class Grainmark(_WeightTool):
    """The Grainmark weight tool on a mesh: the surface's stretch along a direction.

    {call}

    rest, faces: as for Strainmark.
    direction:   what each point's weight measures, as the log2 of a ratio
                 against the rest surface through Strainmark's curve:
                 "along" the axis (projected on the rest surface), "across"
                 it (at right angles, in the surface), "area", "max" (the
                 most stretched direction) or "min" (the most squashed).
    axis:        three numbers in the mesh's own space, default (0, 1, 0);
                 "along" and "across" read 0 where it lies along the normal.

    Settings, each also a property that may change between poses (direction
    and axis too):
{settings}

    weights(pose) gives one weight per point, positive where stretched.
    """

    @_with_settings(CHANNELS + TOGGLES)
    def __init__(self, rest, faces, *, direction=DIRECTIONS[0], axis=tuple(a.default for a in AXIS), **settings):
        rest = _checks.points(rest, "rest")
        offsets, corners = _checks.faces(faces, rest.shape[0])
        toggles = [(t.label, _check_box(settings[t.keyword], t.keyword)) for t in TOGGLES]
        toggles.append((_direction(direction).label, True))
        channels = _channel_values(settings) + list(zip((a.name for a in AXIS), _axis(axis)))
        self._object = _kestrin.Grainmark(rest, offsets, corners, channels, toggles)

    @property
    def direction(self):
        """The measure, as its direction keyword ("along", "across", "area", "max" or "min")."""
        core = self._core()
        return next((m.direction for m in MEASURES if core.toggle(m.label)), None)

    @direction.setter
    def direction(self, value):
        self._core().set_toggle(_direction(value).label, True)

    @property
    def axis(self):
        """The axis channels' values (x, y, z), in the mesh's own space."""
        core = self._core()
        return tuple(core.channel(a.name) for a in AXIS)

    @axis.setter
    def axis(self, value):
        core = self._core()
        for a, v in zip(AXIS, _axis(value)):
            core.set_channel(a.name, v)

    @staticmethod
    def _settings():
        return ["direction", "axis"] + [s.keyword for s in CHANNELS + TOGGLES]


class Strainshaper(_PluginObject):
    """The Strainshaper effect on a mesh: posed points move toward sculpted targets by tension.

    {call}

    rest, faces:    as for Strainmark.
    stretch_target: (N, 3) the rest mesh sculpted as it should look stretched.
    squash_target:  (N, 3) the same for squashed.
    weight_map:     None, or (N,) per-point weights that scale each point's move.

    Settings, each also a property that may change between poses:
{settings}

    The targets' offsets from rest are captured in each point's surface frame
    when the object is made; displace(pose) turns them with the posed surface
    and scales them by the point's tension.
    """

    @_with_settings(CHANNELS)
    def __init__(self, rest, faces, stretch_target, squash_target, weight_map=None, **settings):
        rest = _checks.points(rest, "rest")
        count = rest.shape[0]
        offsets, corners = _checks.faces(faces, count)
        stretch = _checks.points(stretch_target, "stretch_target", count)
        squash = _checks.points(squash_target, "squash_target", count)
        weights = _checks.weight_map(weight_map, count)
        self._object = _kestrin.Strainshaper(rest, offsets, corners, stretch, squash, weights,
                                             _channel_values(settings))

    def displace(self, pose, out=None):
        """Corrected positions of the mesh posed at pose.

        pose: as for Strainmark.weights. Returns float64 of shape (N, 3), or
        (P, N, 3) for P poses, into out when given; points the effect leaves
        alone keep their posed position.
        """
        core = self._core()
        return _run(core.displace, pose, core.point_count, out, np.float64, (3,))

    def load_settings(self, path):
        """Reads settings as for Strainmark; this object's targets and weight map stay chosen.

        The rest state is captured again afterwards, as the host does when the
        effect's settings change.
        """
        super().load_settings(path)

    @staticmethod
    def _settings():
        return [c.keyword for c in CHANNELS]


for _channel in CHANNELS:
    for _class in (Strainmark, Grainmark, Strainshaper):
        setattr(_class, _channel.keyword, _channel_property(_channel))
for _toggle in TOGGLES:
    for _class in (Strainmark, Grainmark):
        setattr(_class, _toggle.keyword, _toggle_property(_toggle))
del _channel, _toggle, _class


@_with_settings(CHANNELS + TOGGLES)
def weights(rest, faces, poses, out=None, **settings):
    """Strainmark's weights of a whole sequence: (P, N) float32 for (P, N, 3) poses.

    {call}

    poses and out as for Strainmark.weights (read_cache(path, mmap=True)
    streams a cache of any length). The instance, and everything it added to
    the scene, lives for this call only. Settings, as for Strainmark:
{settings}
    """
    with Strainmark(rest, faces, **settings) as tool:
        return tool.weights(poses, out)


_document(Strainmark, Strainmark.__init__, CHANNELS + TOGGLES)
_document(Grainmark, Grainmark.__init__, CHANNELS + TOGGLES)
_document(Strainshaper, Strainshaper.__init__, CHANNELS)
_document(weights, weights, CHANNELS + TOGGLES)


def attached_records():
    """Plug-in records still attached to objects of the process's scene (for tests)."""
    return _kestrin.attached_records()
