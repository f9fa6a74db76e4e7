"""What stops an object's attribute, reported once per kind and shown with its current numbers.

Problems are kept per object (its address and full name while it lives),
not per name alone: a new object given a deleted one's name starts clean. Each kind of problem is
printed once to standard error (the report area of a command-line render)
and queued for the interface's report area; the message kept for the panel
is always the latest, so its numbers are the current ones.
"""

import sys
import threading

import bpy

_lock = threading.Lock()
_problems = {}   # (object address, full name) -> (kind, message)
_pending = []    # messages not yet shown in the interface's report area


class Problem(Exception):
    """Why an object's attribute was not written.

    kind: what makes two problems the same (a point count that changes from
    frame to frame is one problem); by default the message.
    """

    def __init__(self, message, kind=None):
        super().__init__(message)
        self.kind = kind or message


def _key(obj):
    return obj.as_pointer(), obj.name_full


def report(obj, message, kind=None):
    kind = kind or message
    with _lock:
        previous = _problems.get(_key(obj))
        _problems[_key(obj)] = (kind, message)
        if previous is not None and previous[0] == kind:
            return
        text = f"Kestrin Tension: {obj.name_full}: {message}"
        _pending.append(text)
    print(text, file=sys.stderr, flush=True)


def solved(obj):
    if _problems and _key(obj) in _problems:
        with _lock:
            _problems.pop(_key(obj), None)


def message(obj):
    """The message reported for obj and not yet solved, or None."""
    return _problems.get(_key(obj), (None, None))[1]


def keep_only(objects):
    """Forgets the problems of objects other than these (deleted, or freed by an undo)."""
    if not _problems:
        return
    alive = {_key(obj) for obj in objects}
    with _lock:
        for key in [k for k in _problems if k not in alive]:
            del _problems[key]


def clear():
    with _lock:
        _problems.clear()


def _flush():
    # A timer on the main thread: the report area takes reports from operators only.
    with _lock:
        messages, _pending[:] = list(_pending), []
    for text in messages:
        try:
            bpy.ops.kestrin.report(message=text)
        except RuntimeError:
            pass
    return 0.5


def register():
    if not bpy.app.background:
        bpy.app.timers.register(_flush, first_interval=0.5, persistent=True)


def unregister():
    if bpy.app.timers.is_registered(_flush):
        bpy.app.timers.unregister(_flush)
    clear()
