"""The plug-ins' settings as the panel shows them: keyword, label, default, range and help.

All of it comes from the kestrin module's lists of channels, check boxes,
Grainmark's measures and axis channels (the plug-ins' own), so the panel
shows what the plug-ins and the command-line tool say, written in one place.
"""

from collections import namedtuple

import numpy as np

from ._module import kestrin

# low and high: a slider's range (None for a check box).
Setting = namedtuple("Setting", "keyword label default low high help")


def _sentence(text):
    return text[:1].upper() + text[1:]


CHANNELS = tuple(Setting(c.keyword, c.name, c.default, c.low, c.high, _sentence(c.help))
                 for c in kestrin.CHANNELS)
TOGGLES = tuple(Setting(t.keyword, t.label, t.default, None, None, _sentence(t.help))
                for t in kestrin.TOGGLES)
# Grainmark's measures, a check box each (keyword "grain_" + the direction), none ticked at first.
MEASURES = tuple(Setting("grain_" + m.direction, m.label, False, None, None, _sentence(m.help))
                 for m in kestrin.MEASURES)
# Grainmark's typed axis: "Axis X" is axis_x.
AXIS = tuple(Setting(a.name.lower().replace(" ", "_"), a.name, a.default, -1.0, 1.0, _sentence(a.help))
             for a in kestrin.AXIS)


def plugin_value(value):
    """A float property's value as the number the user typed.

    Blender keeps float properties in single precision, so 0.2 typed is held
    as 0.20000000298...; the shortest decimal that reads back to the same
    float32 is what was typed (or what a slider showed), and that decimal, as
    a double, is what the plug-in gets: 0.2 arrives as 0.2.
    """
    return float(repr(np.float32(value)))


def channel_values(settings):
    """The five channels of a settings group, keyword -> plug-in value."""
    return {s.keyword: plugin_value(getattr(settings, s.keyword)) for s in CHANNELS}


def direction(measure):
    """The kestrin direction keyword of a measure setting ("grain_along" -> "along")."""
    return measure.keyword[len("grain_"):]


def strainmark_keywords(settings):
    """Every Strainmark keyword (channels and check boxes) of a settings group."""
    values = channel_values(settings)
    values.update({s.keyword: bool(getattr(settings, s.keyword)) for s in TOGGLES})
    return values
