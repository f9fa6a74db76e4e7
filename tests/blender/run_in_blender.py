"""Runs a pytest file inside Blender: blender -b --factory-startup --python run_in_blender.py -- FILE.

One Blender process per test file; the add-on is enabled first, from
BLENDER_USER_SCRIPTS (the build's add-on folder). The exit status is pytest's.
"""

import os
import sys

import addon_utils
import pytest

addon_utils.enable("kestrin_tension", default_set=True, handle_error=None)
arguments = sys.argv[sys.argv.index("--") + 1:]
here = os.path.dirname(__file__)
code = pytest.main(["-q", "-p", "no:cacheprovider", "--rootdir", here, "--confcutdir", here] + arguments)
sys.stdout.flush()
# Through Blender's own exit, which removes its temporary folder (os._exit
# left one in /tmp for every test file run).
sys.exit(int(code))
