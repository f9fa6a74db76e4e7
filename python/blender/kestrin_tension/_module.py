"""The kestrin module the add-on drives: the copy shipped with the add-on.

The legacy add-on's folder carries the module, with its native extension
and the three plug-in libraries it loads from its own folder, in modules/,
so that one folder (or zip) installs everything; that copy goes first on
sys.path, so `import kestrin` in Blender's console and in scripts gives the
same module the add-on uses. The extension (Blender 4.2 and later) carries
it as a wheel instead, which Blender installs on its own path. A kestrin
imported before the add-on was enabled is kept as it is.
"""

import os
import sys

_BUNDLED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "modules")

if "kestrin" not in sys.modules and os.path.isdir(os.path.join(_BUNDLED, "kestrin")):
    if _BUNDLED not in sys.path:
        sys.path.insert(0, _BUNDLED)

try:
    import kestrin
except ImportError as error:
    raise ImportError(
        "kestrin_tension: the kestrin module is missing or was built for another Python "
        f"({sys.version.split()[0]} here); build the add-on for this Blender's Python "
        f"(see docs/blender.md): {error}") from error
