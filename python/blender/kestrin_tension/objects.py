"""Which objects have Strainmark on, found without touching the others.

Reading obj.kestrin_strainmark creates its settings (an ID property saved in
the file) on an object that never had them, so only objects whose ID
property already exists are read through it: the rest of a scene of
thousands of objects is never written to. (Blender 5.0 no longer shows these
properties through obj.get(); the extension's manifest stops before it.)

The handlers run at every frame; a walk over every object (or every
depsgraph instance) there costs milliseconds per thousand objects. The
enabled objects are kept as keys instead, (name, library path), looked up
each frame, and found again by a walk over bpy.data.objects only when the
file changed in a way that may have changed them: another count of objects
or libraries, a file opened, an undo, a render starting, a switch flipped,
or a kept key that no longer leads to an enabled object. Keys rather than
the objects themselves: an undo frees and reallocates them.
"""

import threading

import bpy
from bpy.app.handlers import persistent

KEY = "kestrin_strainmark"

_lock = threading.RLock()
_keys = None     # [(name, library path or None)] of enabled objects
_stamp = None    # (objects, libraries) counted when _keys were found


def settings(obj):
    """obj's settings, or None when Strainmark was never switched on for it (nothing is created)."""
    return obj.kestrin_strainmark if obj.get(KEY) is not None else None


def is_enabled(obj):
    group = obj.get(KEY)
    return group is not None and bool(group.get("enabled", False))


def key(obj):
    """What finds obj again in bpy.data.objects after an undo: (name, library path or None)."""
    return obj.name, obj.library.filepath if obj.library else None


def _scan(stamp):
    global _keys, _stamp
    found = [obj for obj in bpy.data.objects if is_enabled(obj)]
    _keys, _stamp = [key(obj) for obj in found], stamp
    return found


def enabled():
    """The objects with Strainmark on, local, linked or overridden alike."""
    stamp = (len(bpy.data.objects), len(bpy.data.libraries))
    with _lock:
        if _keys is None or stamp != _stamp:
            return _scan(stamp)
        found = []
        for kept in _keys:
            obj = bpy.data.objects.get(kept)
            if obj is None or not is_enabled(obj):
                return _scan(stamp)
            found.append(obj)
        return found


@persistent
def changed(*_):
    """Something may have switched Strainmark on or off: find the objects again next time."""
    global _keys
    with _lock:
        _keys = None
