"""Packs files into a wheel, the form in which Blender's extensions carry a Python module.

make_wheel.py WHEEL PACKAGE VERSION TAG REQUIRES FILE...

WHEEL: the path to write (its name is NAME-VERSION-TAG.whl); PACKAGE: the
folder name the files go under; REQUIRES: one Requires-Dist, or "" for
none. Entries are stored with a fixed date, so the same files make the
same bytes.
"""

import base64
import hashlib
import os
import sys
import zipfile

DATE = (1980, 1, 1, 0, 0, 0)


def main(wheel, package, version, tag, requires, *files):
    info = f"{package}-{version}.dist-info"
    entries = [(f"{package}/{os.path.basename(path)}", open(path, "rb").read(), os.stat(path).st_mode)
               for path in sorted(files, key=os.path.basename)]
    metadata = f"Metadata-Version: 2.1\nName: {package}\nVersion: {version}\n"
    if requires:
        metadata += f"Requires-Dist: {requires}\n"
    entries.append((f"{info}/METADATA", metadata.encode(), 0o644))
    entries.append((f"{info}/WHEEL", (f"Wheel-Version: 1.0\nGenerator: kestrin make_wheel.py\n"
                                     f"Root-Is-Purelib: false\nTag: {tag}\n").encode(), 0o644))
    record = "".join(f"{name},sha256={_digest(data)},{len(data)}\n" for name, data, _ in entries)
    entries.append((f"{info}/RECORD", (record + f"{info}/RECORD,,\n").encode(), 0o644))
    temporary = wheel + ".part"
    with zipfile.ZipFile(temporary, "w", zipfile.ZIP_DEFLATED) as out:
        for name, data, mode in entries:
            entry = zipfile.ZipInfo(name, DATE)
            entry.external_attr = (mode & 0o777 | 0o100000) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            out.writestr(entry, data)
    os.replace(temporary, wheel)


def _digest(data):
    return base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()


if __name__ == "__main__":
    main(*sys.argv[1:])
