"""Paths as Python's own open() takes them."""

import os


def checked_path(path):
    """path (str, bytes or os.PathLike) as str; ValueError for an embedded NUL, as open() refuses it."""
    path = os.fsdecode(os.fspath(path))
    if "\0" in path:
        raise ValueError(f"{path!r}: embedded null byte")
    return path
