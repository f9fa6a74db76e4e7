"""Ctrl-C during a bake in a command-line Blender (blender -b).

There Blender's own SIGINT handler only sets a flag that scripts cannot
read, so a bake ran on to its end and replaced the old file; a second Ctrl-C
kills Blender where it stands. For the length of a bake in background mode
a Python handler takes its place. It only notes the Ctrl-C while frames are
stepped: an exception raised there would surface inside whatever Python
runs next, often a frame-change handler, where Blender prints it and goes
on. The bake looks at the note between frames; for its file's write, the
handler raises KeyboardInterrupt, which the kestrin module's writers look
for between rows, leaving the old file. Blender's handler is then put back
exactly as it was, its sigaction record saved and restored whole. The
interface stops a bake with Esc instead (operators.py).
"""

import contextlib
import ctypes
import signal
import threading

import bpy

# More than struct sigaction takes on any Linux ABI.
_SIGACTION_BYTES = 512


class CtrlC:
    """Whether Ctrl-C was pressed, and whether it now raises KeyboardInterrupt at once."""

    def __init__(self):
        self.pressed = False
        self._raises = False

    def _handle(self, signum, frame):
        self.pressed = True
        if self._raises:
            raise KeyboardInterrupt

    def check(self):
        if self.pressed:
            raise KeyboardInterrupt

    def raise_from_now(self):
        """From here on (a file's write), Ctrl-C raises where the code stands."""
        self.check()
        self._raises = True


@contextlib.contextmanager
def watched():
    """A CtrlC for the block; in an interactive Blender or off the main thread, one that never sees Ctrl-C."""
    ctrl_c = CtrlC()
    if not bpy.app.background or threading.current_thread() is not threading.main_thread():
        yield ctrl_c
        return
    libc = ctypes.CDLL(None, use_errno=True)
    libc.sigaction.argtypes = (ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
    saved = ctypes.create_string_buffer(_SIGACTION_BYTES)
    if libc.sigaction(signal.SIGINT, None, ctypes.addressof(saved)) != 0:
        yield ctrl_c
        return
    previous = signal.signal(signal.SIGINT, ctrl_c._handle)
    try:
        yield ctrl_c
    finally:
        # Python's own record first (a handler set outside Python reads as None), then Blender's.
        signal.signal(signal.SIGINT, signal.SIG_DFL if previous is None else previous)
        libc.sigaction(signal.SIGINT, ctypes.addressof(saved), None)
