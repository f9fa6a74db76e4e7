"""The attribute layers written into an evaluated mesh: each its own, each write checked.

An evaluated mesh starts with its layers borrowed: evaluated copies of one
mesh (linked duplicates, Alt+D) share their memory with each other, so a
write for one object would land in all of them. The layer of that name is
therefore removed from the evaluated mesh and added again there, which
gives this evaluated object memory of its own and leaves the original and
the other copies untouched.

The values are copied straight into that new layer's memory, once its
items are seen to lie back to back, and read back at a few points: a write
that did not take is a Problem, and the layer is removed rather than left
holding zeros. Blender's data API (foreach_set) does the same copy item
by item, at many times the cost, and refuses the evaluated copy of a mesh
linked from a library (its data is not editable) without a word, leaving
the zeros; the layer is this evaluated object's own all the same.
"""

import ctypes

import numpy as np

from .problems import Problem

# Blender keeps attribute names in 64 bytes with their terminating zero.
NAME_BYTES = 63

# (property of an item, float32 values per point) of each kind of layer.
_KINDS = {"FLOAT": ("value", 1), "FLOAT_COLOR": ("color", 4)}
# Layers of ours (or the original's carried copy) that may be replaced.
_REPLACEABLE = {"FLOAT": ("FLOAT",), "FLOAT_COLOR": ("FLOAT_COLOR", "BYTE_COLOR")}


def name_problem(name):
    """Why Blender would not keep `name` as an attribute name as it is, or None.

    What only Blender can say (a built-in attribute, a vertex group of that
    name) is found when the layer is made; see fresh().
    """
    if not name:
        return "an attribute needs a name"
    size = len(name.encode("utf-8"))
    if size > NAME_BYTES:
        return f"Blender keeps at most {NAME_BYTES} bytes of an attribute name; {name[:16]!r}... has {size}"
    if name.startswith("."):
        return f"names starting with '.' are Blender's internal attributes, hidden and rewritten by it ({name!r})"
    return None


def fresh(mesh, name, kind, obj):
    """A new POINT layer `name` of `kind` in the evaluated mesh, this object's own.

    obj: the original object, whose vertex groups share the name space (on
    a scratch mesh, this checks a name for obj).
    Raises Problem with Blender's reason when the name is not available.
    """
    reason = name_problem(name)
    if reason:
        raise Problem(reason)
    if name in obj.vertex_groups:
        raise Problem(f"{name!r} is the name of one of its vertex groups, and Blender keeps one name "
                      "for a vertex group and an attribute; choose another attribute name")
    old = mesh.attributes.get(name)
    if old is not None:
        if old.domain != "POINT" or old.data_type not in _REPLACEABLE[kind]:
            raise Problem(f"another layer of its mesh has the name {name!r} (a {old.data_type} attribute on "
                          f"{old.domain}); choose another attribute name")
        mesh.attributes.remove(old)
    layer = mesh.attributes.new(name, kind, "POINT")
    if layer is None:
        raise Problem(f"Blender keeps {name!r} for a built-in attribute; choose another attribute name")
    if layer.name != name:
        given = layer.name
        mesh.attributes.remove(layer)
        raise Problem(f"another layer of its mesh (a UV map, a colour attribute) has the name {name!r}, so "
                      f"Blender named the attribute {given!r}; choose another attribute name")
    return layer


def remove(mesh, layers):
    """Removes (name, kind) layers of ours from the evaluated mesh: an object that cannot be measured has none.

    A layer of another kind under that name (a built-in, the user's) stays.
    """
    for name, kind in layers:
        layer = mesh.attributes.get(name) if name else None
        if layer is not None and layer.domain == "POINT" and layer.data_type in _REPLACEABLE[kind]:
            mesh.attributes.remove(layer)


def write(layer, values):
    """Copies (N,) or (N, k) float32 values into a layer made by fresh(), and reads them back."""
    item, width = _KINDS[layer.data_type]
    flat = np.ascontiguousarray(values, np.float32).ravel()
    count = len(layer.data)
    if count:
        first = layer.data[0].as_pointer()
        if layer.data[count - 1].as_pointer() - first != (count - 1) * width * 4 or flat.size != count * width:
            raise Problem("Blender gives it no writable evaluated mesh (the attribute's items are not laid out "
                          "as one array)", kind="not writable")
        ctypes.memmove(first, flat.ctypes.data, flat.nbytes)
    if not _took(layer, item, width, flat):
        raise Problem("Blender gives it no writable evaluated mesh (its values did not reach the attribute)",
                      kind="not writable")


def _took(layer, item, width, flat):
    count = len(layer.data)
    for index in sorted({0, count // 2, count - 1}) if count else ():
        got = getattr(layer.data[index], item)
        expected = flat[index * width:(index + 1) * width]
        if np.float32(got if width == 1 else tuple(got)).tobytes() != expected.tobytes():
            return False
    return True
