"""The plug-in's settings as the panel shows them: keyword, label, default and help.

All of it comes from the kestrin module (the channels' and check boxes' lists
and the help of its properties), so the panel shows what the plug-in and the
command-line tool say, written in one place.
"""

from collections import namedtuple

import numpy as np

from ._module import kestrin

Setting = namedtuple("Setting", "keyword label default help")


def _help(keyword):
    # A property's doc reads "The 'Exponent' channel (default 0.2): what it does."
    text = (getattr(kestrin.Strainmark, keyword).__doc__ or "").split("): ", 1)[-1].strip()
    return text[:1].upper() + text[1:]


CHANNELS = tuple(Setting(keyword, label, default, _help(keyword))
                 for label, default, keyword in kestrin.CHANNELS)
TOGGLES = tuple(Setting(keyword, label, default, _help(keyword))
                for keyword, (label, default) in kestrin.TOGGLES.items())


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


def strainmark_keywords(settings):
    """Every Strainmark keyword (channels and check boxes) of a settings group."""
    values = channel_values(settings)
    values.update({s.keyword: bool(getattr(settings, s.keyword)) for s in TOGGLES})
    return values
