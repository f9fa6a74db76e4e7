"""Paths as Python's own open() takes them: str, bytes or os.PathLike."""

import os
import sys


def checked_path(path):
    """path as the bytes the file system gets, as open() would pass them.

    Names that are not valid UTF-8 (as os.listdir(b".") returns them, or as
    str with the surrogates os.fsdecode gives them) pass unchanged. Raises
    ValueError for an embedded NUL, as open() does, and TypeError for
    anything that is not a path.
    """
    path = os.fsencode(path)
    if b"\0" in path:
        raise ValueError(f"{shown(path)}: embedded null byte")
    return path


def shown(path):
    """A checked path as messages show it: bytes the file system encoding cannot decode as \\x escapes."""
    return path.decode(sys.getfilesystemencoding(), "backslashreplace")
