"""Prints where, under PREFIX, this interpreter imports packages from.

    PYTHON cmake/python_site_folder.py PREFIX

The folder is printed relative to PREFIX. It is one of the interpreter's own
site folders under PREFIX when there is one: Debian's python3 reads
/usr/lib/python3/dist-packages, /usr/local/lib/python3.X/dist-packages and
~/.local/lib/python3.X/site-packages, none of which the plain prefix scheme
names. Otherwise it is the prefix scheme's folder, which the user puts on
PYTHONPATH (an install into /opt/studio, say).
"""

import os
import site
import sys
import sysconfig


def main(prefix):
    prefix = os.path.abspath(prefix)
    folders = list(site.getsitepackages()) if hasattr(site, "getsitepackages") else []
    if site.ENABLE_USER_SITE is not False:
        folders.append(site.getusersitepackages())
    for folder in folders:
        relative = os.path.relpath(os.path.abspath(folder), prefix)
        # Under the prefix itself: /usr/local/lib/... is not /usr's folder.
        if relative.split(os.sep)[0] == sys.platlibdir:
            return relative
    scheme = sysconfig.get_path("platlib", "posix_prefix", vars={"base": prefix, "platbase": prefix})
    return os.path.relpath(scheme, prefix)


print(main(sys.argv[1]))
