"""The module shows each channel and check box as the plug-ins' lists declare them.

Signatures, help() and the properties take keyword, default, range and help
from kestrin.CHANNELS and kestrin.TOGGLES, which the extension exposes from
the plug-ins' own lists; a new instance starts at those defaults.
"""

import inspect
import pydoc

import numpy as np
import pytest

import kestrin
from conftest import bent_poses, grid

ALL = kestrin.CHANNELS + kestrin.TOGGLES
SETTINGS = [(kestrin.Strainmark, ALL), (kestrin.Strainshaper, kestrin.CHANNELS), (kestrin.weights, ALL)]


def flat(text):
    return " ".join(text.split())


@pytest.mark.parametrize("target, settings", SETTINGS, ids=lambda v: getattr(v, "__name__", ""))
def test_signature_and_help_take_every_setting_from_the_lists(target, settings):
    keywords = [p for p in inspect.signature(target).parameters.values() if p.kind is p.KEYWORD_ONLY]
    assert [(p.name, p.default) for p in keywords] == [(s.keyword, s.default) for s in settings]
    shown = flat(pydoc.render_doc(target, renderer=pydoc.plaintext))
    for s in settings:
        assert f"{s.keyword}={s.default!r}" in shown
        assert flat(s.help) in shown
        if isinstance(s, kestrin.Channel):
            assert f"the {s.name!r} channel, usually {s.low:g} to {s.high:g}" in shown
        else:
            assert f"the {s.label!r} check box" in shown
    if target is not kestrin.weights:
        for s in settings:
            doc = getattr(target, s.keyword).__doc__
            assert f"(default {s.default!r}" in doc and doc.endswith(f"{s.help}.")


def test_a_new_instance_starts_at_the_lists_defaults_and_takes_only_its_keywords():
    rest, faces = grid()
    poses = bent_poses(rest)
    with kestrin.Strainmark(rest, faces) as tool:
        for s in ALL:
            assert getattr(tool, s.keyword) == s.default, s.keyword
        implied = tool.weights(poses)
    explicit = kestrin.weights(rest, faces, poses, **{s.keyword: s.default for s in ALL})
    assert np.array_equal(implied, explicit)
    with pytest.raises(TypeError, match="exponant"):
        kestrin.Strainmark(rest, faces, exponant=0.3)
    with pytest.raises(TypeError):
        kestrin.Strainmark(rest, faces, 0.3)
